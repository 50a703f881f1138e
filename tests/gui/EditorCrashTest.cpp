// The editor itself killed while it edits, undoes and redoes a four-minute
// file, driven by keys as a user drives it (Xvfb, openbox, xdotool): by the
// preloaded fault library at its nth change of a file, part way through,
// and by a real SIGKILL at a moment after a key.  The folder it leaves is
// taken up as the next start would: one of the session's states, byte for
// byte with its markers, from which Undo reaches the opened file.
// VELMORA_EDITOR_KILLS sets how many kills of each kind (few by default);
// VELMORA_EDITOR_FIRST_KILL and VELMORA_EDITOR_KILL_STRIDE which changes
// the first kills at.

#include "document/Document.h"
#include "document/LoadWorkFile.h"
#include "import/OpenSequence.h"
#include "history/Manifest.h"
#include "edit/EditSequence.h"
#include "history/Recovery.h"
#include "support/Fakes.h"
#include "support/WaveBuilder.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <sys/wait.h>
#include <thread>

namespace velmora {
namespace {

using Bytes = std::vector<unsigned char>;

struct State {
    Bytes File;
    std::uint32_t SelStart = 0, SelFinish = 0;
    bool operator==(const State&) const = default;
};

enum class Key { SelectAll, FadeIn, FadeOut, Delete, Undo, Redo };
// The session: what the user does, and the number of undo steps after it.
constexpr std::pair<Key, std::size_t> Session[] = {
    {Key::SelectAll, 0}, {Key::FadeIn, 1}, {Key::FadeOut, 2}, {Key::Delete, 3},
    {Key::Undo, 2},      {Key::Undo, 1},   {Key::Redo, 2},
};

class EditorCrashTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!test::Shell("command -v Xvfb >/dev/null && command -v xdotool >/dev/null && "
                         "command -v openbox >/dev/null && command -v sox >/dev/null"))
            GTEST_SKIP() << "needs Xvfb, openbox, xdotool and sox";
        display = test::StartVirtualDisplay("1280x1024x24", server);
        ASSERT_FALSE(display.empty());
        windowManager = test::StartProcess({"openbox"}, {{"DISPLAY", display}});
        input = dir.Path() + "/four minutes.wav";
        ASSERT_TRUE(test::Shell("sox -n -r 44100 -c 2 -b 16 '" + input + "' synth 240 sine 200:4000 vol 0.8"));
        MakeStates();
    }

    void TearDown() override
    {
        if (windowManager > 0) {
            ::kill(windowManager, SIGTERM);
            test::WaitProcess(windowManager);
        }
        if (server > 0) {
            ::kill(server, SIGTERM);
            test::WaitProcess(server);
        }
    }

    // The session's states, as the core gives them.
    void MakeStates()
    {
        test::TempDir folder;
        Document doc;
        EditHistory history;
        doc.TempFolder = folder.Path() + "/";
        doc.WorkFile = doc.TempFolder + WorkFileName;
        std::filesystem::copy_file(input, doc.WorkFile);
        NullProgress none;
        test::RecordingDialogs dialogs;
        ASSERT_TRUE(LoadWorkFile(doc, none, dialogs));
        FinishOpen(doc, history);
        auto state = [&] { return State{test::ReadWholeFile(doc.WorkFile), doc.SelStart, doc.SelFinish}; };
        states.push_back(state());
        for (const auto& [key, undoSteps] : Session) {
            switch (key) {
            case Key::SelectAll: SelectAll(doc); break;
            case Key::FadeIn: RunEdit(doc, history, {EditCommand::FadeIn}, none, none, dialogs); break;
            case Key::FadeOut: RunEdit(doc, history, {EditCommand::FadeOut}, none, none, dialogs); break;
            case Key::Delete: RunEdit(doc, history, {EditCommand::Delete}, none, none, dialogs); break;
            case Key::Undo: UndoEdit(doc, history, none, none, dialogs); break;
            case Key::Redo: RedoEdit(doc, history, none, none, dialogs); break;
            }
            ASSERT_EQ(history.Undo.size(), undoSteps);
            states.push_back(state());
        }
    }

    void Xdotool(const std::vector<std::string>& args)
    {
        // Never waits long on a window that went away.
        std::vector<std::string> argv{"timeout", "10", "xdotool"};
        argv.insert(argv.end(), args.begin(), args.end());
        test::RunProcess(argv, {{"DISPLAY", display}});
    }

    // Whether the editor still runs; once it has ended it is reaped here.
    bool Alive(int pid)
    {
        if (!reaped_ && ::waitpid(pid, nullptr, WNOHANG) == pid)
            reaped_ = true;
        return !reaped_;
    }

    // The undo steps the editor's manifest holds, once no step is under way.
    std::optional<std::size_t> UndoSteps() const
    {
        for (const auto& entry : std::filesystem::directory_iterator(tmp.Path())) {
            const std::optional<Manifest> manifest = ReadManifest(entry.path());
            if (manifest && manifest->History.PendingWhat == PendingAction::None)
                return manifest->History.Undo.size();
        }
        return std::nullopt;
    }

    // Waits until the editor's manifest says undoSteps, or it died.
    bool WaitForSteps(int pid, std::size_t undoSteps)
    {
        for (int waited = 0; waited < 20000; waited += 20) {
            if (!Alive(pid))
                return false;
            if (UndoSteps() == undoSteps)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    void Press(Key key)
    {
        const std::string window = "^Velmora Audio Editor$";
        // The menu takes its keys once it is on the screen.
        auto menu = [&](int downs) {
            Xdotool({"search", "--onlyvisible", "--name", window, "windowactivate", "--sync", "key", "alt+e"});
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            std::vector<std::string> keys{"key", "--delay", "50"};
            for (int i = 0; i < downs; ++i)
                keys.push_back("Down");
            keys.push_back("Return");
            Xdotool(keys);
        };
        switch (key) {
        case Key::SelectAll: Xdotool({"search", "--onlyvisible", "--name", window, "windowactivate", "--sync", "key", "ctrl+a"}); break;
        // (Select All, Set Selection, Delete, Cut Out, Clean Joins, Volume, Fade In, ...)
        case Key::FadeIn: menu(6); break;
        case Key::FadeOut: menu(7); break;
        case Key::Delete: Xdotool({"search", "--onlyvisible", "--name", window, "windowactivate", "--sync", "key", "Delete"}); break;
        case Key::Undo: Xdotool({"search", "--onlyvisible", "--name", window, "windowactivate", "--sync", "key", "ctrl+z"}); break;
        case Key::Redo: Xdotool({"search", "--onlyvisible", "--name", window, "windowactivate", "--sync", "key", "ctrl+shift+z"}); break;
        }
    }

    enum class Ended { Died, Completed, Stalled };

    // Starts the editor on the input and plays the session until it dies
    // (or, after the last key or a key that never took, is killed);
    // killAfter, when given, kills it that long after the key of step
    // killStep.
    Ended RunSession(const std::vector<std::pair<std::string, std::string>>& extraEnv,
                    std::optional<std::chrono::microseconds> killAfter = {}, std::size_t killStep = 0)
    {
        std::vector<std::pair<std::string, std::string>> env = {
            {"DISPLAY", display}, {"QT_QPA_PLATFORM", "xcb"}, {"SDL_AUDIODRIVER", "dummy"}, {"TMPDIR", tmp.Path()}};
        env.insert(env.end(), extraEnv.begin(), extraEnv.end());
        reaped_ = false;
        const int pid = test::StartProcess({VELMORA_PATH, input}, env);
        bool waited = WaitForSteps(pid, 0);
        for (std::size_t i = 0; i < std::size(Session) && waited; ++i) {
            Press(Session[i].first);
            if (killAfter && i == killStep) {
                std::this_thread::sleep_for(*killAfter);
                ::kill(pid, SIGKILL);
            }
            waited = WaitForSteps(pid, Session[i].second);
        }
        // Died on its own, or is ended now (also when a step never came:
        // a key the X server lost).
        const Ended ended = !Alive(pid) ? Ended::Died : waited ? Ended::Completed : Ended::Stalled;
        if (!reaped_) {
            ::kill(pid, SIGKILL);
            test::WaitProcess(pid);
        }
        return ended;
    }

    // The folder the killed editor left, taken up; false when it held
    // nothing unsaved.
    bool CheckLeftFolder()
    {
        bool taken = false;
        for (const auto& entry : std::filesystem::directory_iterator(tmp.Path())) {
            const std::string folder = entry.path().string();
            if (HoldsUnsavedEdits(folder)) {
                const std::optional<Manifest> manifest = ReadManifest(folder);
                Document doc;
                EditHistory history;
                doc.TempFolder = folder + "/";
                test::RecordingDialogs dialogs;
                NullProgress none;
                EXPECT_TRUE(manifest && RecoverDocument(doc, history, *manifest, none, dialogs));
                const State state{test::ReadWholeFile(doc.WorkFile), doc.SelStart, doc.SelFinish};
                EXPECT_TRUE(std::find(states.begin(), states.end(), state) != states.end())
                    << "the recovered document is none of the session's states";
                while (history.CanUndo())
                    EXPECT_EQ(UndoEdit(doc, history, none, none, dialogs), EditEnd::Done);
                EXPECT_TRUE(test::ReadWholeFile(doc.WorkFile) == states.front().File) << "undo back";
                taken = true;
            }
            std::filesystem::remove_all(folder);
        }
        return taken;
    }

    static int Runs(int byDefault)
    {
        const char* asked = std::getenv("VELMORA_EDITOR_KILLS");
        return asked != nullptr ? std::atoi(asked) : byDefault;
    }

    test::TempDir dir;
    test::TempDir tmp;
    std::string display;
    int server = -1;
    int windowManager = -1;
    std::string input;
    std::vector<State> states;
    bool reaped_ = false;
};

TEST_F(EditorCrashTest, KilledAtAChangeOfAFilePartWayTheDocumentComesBackWhole)
{
    // Kill points spread over the session's changes of files; the session
    // makes a few hundred.
    const int runs = Runs(4);
    const char* first = std::getenv("VELMORA_EDITOR_FIRST_KILL");
    const char* every = std::getenv("VELMORA_EDITOR_KILL_STRIDE");
    const long stride = every != nullptr ? std::atol(every) : runs >= 100 ? 1 : 53;
    int kills = 0, taken = 0;
    for (long nth = first != nullptr ? std::atol(first) : 7; kills < runs; nth += stride) {
        const long pages = nth % 3 == 0 ? 0 : nth % 3 == 1 ? 3 : 100000;
        SCOPED_TRACE(testing::Message() << "killed at change " << nth << ", " << pages << " pages through");
        const Ended ended = RunSession({{"LD_PRELOAD", VELMORA_FAULT_SHIM_PATH},
                                        {"VELMORA_KILL", std::to_string(nth) + ":" + std::to_string(pages)}});
        const bool tookUp = CheckLeftFolder();
        taken += tookUp ? 1 : 0;
        std::printf("change %ld: %s%s\n", nth,
                    ended == Ended::Died ? "killed" : ended == Ended::Completed ? "ran to its end" : "a key was lost",
                    tookUp ? ", taken up" : "");
        std::fflush(stdout);
        if (ended == Ended::Completed)
            break;  // past the session's last change
        kills += ended == Ended::Died ? 1 : 0;
    }
    std::printf("editor: %d kills at changes, %d documents taken up\n", kills, taken);
    EXPECT_GT(taken, 0);
}

TEST_F(EditorCrashTest, KilledWithSigkillAtAnyMomentOfAStepTheDocumentComesBackWhole)
{
    std::mt19937 random(17);
    const int runs = Runs(3);
    int taken = 0;
    for (int run = 0; run < runs; ++run) {
        // A fade, the delete, an undo or the redo, killed up to half a
        // second after its key.
        const std::size_t step = 1 + random() % (std::size(Session) - 1);
        const std::chrono::microseconds after(random() % 500'000);
        SCOPED_TRACE(testing::Message() << "step " << step << " killed after " << after.count() << " us");
        RunSession({}, after, step);
        taken += CheckLeftFolder() ? 1 : 0;
    }
    std::printf("editor: %d SIGKILLs, %d documents taken up\n", runs, taken);
    EXPECT_GT(taken, 0);
}

} // namespace
} // namespace velmora
