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

#include "platform/PrivateTempFolder.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Paths removed by the signal handler, prepared before any work starts.
char g_workFilePath[4096];
char g_folderPath[4096];

extern "C" void RemoveWorkingFolderAndExit(int signal)
{
    ::unlink(g_workFilePath);
    ::rmdir(g_folderPath);
    ::_exit(128 + signal);
}

void RemoveWorkingFolderOnSignals(const std::string& folder)
{
    const std::string workFile = folder + "AudioTemp.wav";
    if (workFile.size() >= sizeof g_workFilePath)
        return;
    std::memcpy(g_workFilePath, workFile.c_str(), workFile.size() + 1);
    std::memcpy(g_folderPath, folder.c_str(), folder.size() + 1);
    std::signal(SIGINT, RemoveWorkingFolderAndExit);
    std::signal(SIGTERM, RemoveWorkingFolderAndExit);
    std::signal(SIGHUP, RemoveWorkingFolderAndExit);
}

} // namespace

int main(int argc, char** argv)
{
    using namespace velmora;
    using namespace velmora::cli;

    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const auto line = ParseCommandLine(args, error);
    if (!line) {
        std::fprintf(stderr, "velmora-cli: %s\n\n%s", error.c_str(), UsageText());
        return 2;
    }
    if (line->Help) {
        std::fputs(UsageText(), stdout);
        return 0;
    }

    // A file size limit should fail a write, not kill the program mid-save.
    std::signal(SIGXFSZ, SIG_IGN);

    PrivateTempFolder folder;
    if (!folder.IsValid()) {
        std::fprintf(stderr, "Cannot creat the temporary file.\n");
        return 1;
    }
    RemoveWorkingFolderOnSignals(folder.Path());

    TerminalDialogs dialogs;
    Session session(folder.Path(), dialogs);
    if (session.Open(line->Input) != Session::Status::Ok)
        return 1;
    for (const Step& step : line->Steps) {
        if (session.Run(step) != Session::Status::Ok)
            return 1;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
