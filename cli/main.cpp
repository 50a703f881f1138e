// velmora-cli: the editor's core from a terminal.
//
//     velmora-cli INPUT [STEP ...]
//
// Opens INPUT into a working file in a private folder, runs the steps in
// order, removes the working file.  Exit status 0 on success, 1 when the
// program refuses (its message on stderr), 2 for a usage error.

#include "CommandLine.h"
#include "Session.h"
#include "TerminalDialogs.h"

#include "history/Manifest.h"
#include "platform/PrivateTempFolder.h"
#include "platform/SignalCleanup.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

extern "C" void RemoveWhatIsPendingAndExit(int signal)
{
    velmora::SignalCleanup::RemoveRegisteredNow();
    ::_exit(128 + signal);
}

} // namespace

int main(int argc, char** argv)
{
    using namespace velmora;
    using namespace velmora::cli;

    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const auto line = ReadCommandLine(args, error);
    if (!line) {
        std::fprintf(stderr, "velmora-cli: %s\nTry 'velmora-cli --help'.\n", error.c_str());
        return 2;
    }
    if (line->Help || line->Version) {
        std::fputs(line->Help ? UsageText() : VersionText(), stdout);
        return 0;
    }

    // A file size limit should fail a write, not kill the program mid-save.
    std::signal(SIGXFSZ, SIG_IGN);

    // Folders of killed editors with unsaved edits are the editor's to offer back.
    PrivateTempFolder folder(velmora::HoldsUnsavedEdits);
    if (!folder.IsValid()) {
        std::fprintf(stderr, "velmora-cli: Cannot creat the temporary file.\n");
        return 1;
    }
    // A stop by signal takes the working file and folder, and the
    // temporary output of a save in progress, with it.
    const velmora::RemovedOnSignal workFile(folder.Path() + velmora::WorkFileName);
    const velmora::RemovedOnSignal journal(folder.Path() + velmora::JournalFileName);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, RemoveWhatIsPendingAndExit);

    TerminalDialogs dialogs;
    Session session(folder.Path(), dialogs);
    // Benchmarks time the steps alone, without the program's start and end.
    auto timed = [&line](std::size_t index, auto run) {
        const auto start = std::chrono::steady_clock::now();
        const Session::Status status = run();
        if (line->Times) {
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            std::fprintf(stderr, "velmora-cli: step %zu took %.6f s\n", index, took.count());
        }
        return status;
    };
    // Every exit 1 says why: a step that failed without a message of its
    // own is named here.
    auto failed = [&dialogs](int messagesBefore, const std::string& what) {
        if (dialogs.MessagesShown() == messagesBefore)
            dialogs.ShowMessage(what + " did not complete.", {}, UserDialogs::Icon::None);
        return 1;
    };
    int messages = dialogs.MessagesShown();
    if (timed(0, [&] { return session.Open(line->Input); }) != Session::Status::Ok)
        return failed(messages, "Opening the file");
    for (std::size_t i = 0; i < line->Steps.size(); ++i) {
        messages = dialogs.MessagesShown();
        const Session::Status status = timed(i + 1, [&] { return session.Run(line->Steps[i]); });
        if (status == Session::Status::Usage)
            return 2;  // said already
        if (status != Session::Status::Ok)
            return failed(messages, "Step " + std::to_string(i + 1) + " (" + line->Steps[i].Option + ")");
    }
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "velmora-cli: the output could not be written.\n");
        return 1;
    }
    return 0;
}
