// Kills at every moment of every kind of step.  A forked child runs a
// script of edits, undos, redos and a zoom change, and the preloaded fault
// library kills it (as kill -9 does) at its nth call that changes a file,
// part way through that call; then the document is taken up again as the
// editor's next start would.  What comes back is, byte for byte and with
// its markers and zoom, the document after one of the script's steps, and
// Undo from there reaches the opened file.  A start that is itself killed
// while it takes a step back is taken up again all the same.

#include "document/Document.h"
#include "document/LoadWorkFile.h"
#include "import/OpenSequence.h"
#include "history/Manifest.h"
#include "document/Zoom.h"
#include "history/EditPlan.h"
#include "edit/EditKinds.h"
#include "edit/EditSequence.h"
#include "history/ApplyPlan.h"
#include "history/Keeping.h"
#include "history/RunHooks.h"
#include "history/Recovery.h"
#include "history/RewriteLog.h"
#include "platform/File.h"
#include "support/Fakes.h"
#include "support/Process.h"
#include "support/ReferenceModel.h"
#include "support/TempDir.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <sstream>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

namespace velmora {
namespace {

using test::Bytes;

// The fault library's kill switch, for a forked child.
class KillSwitch {
public:
    KillSwitch() : arm_(reinterpret_cast<ArmFn>(::dlsym(RTLD_DEFAULT, "velmora_kill_arm"))) {}
    bool Loaded() const { return arm_ != nullptr; }
    void Arm(long nth, long pages) const { arm_(nth, pages); }

private:
    using ArmFn = void (*)(long, long);
    ArmFn arm_;
};

// One step of a script, as a front end runs it.
struct Step {
    enum Kind { Markers, Edit, Undo, Redo, Zoom } What;
    std::uint32_t Start = 0, Finish = 0;  // Markers: columns; a Finish of 0 means the last column
    EditRequest Request{};
    std::int32_t FramesPerColumn = 0;     // Zoom
};

Step Marks(std::uint32_t start, std::uint32_t finish) { return {Step::Markers, start, finish}; }
Step Do(EditCommand command, float gain = 1.0f, bool mute = false)
{
    return {Step::Edit, 0, 0, {command, gain, mute}};
}
Step DoWithCleanJoins(EditCommand command)
{
    Step step{Step::Edit, 0, 0, {command}};
    step.Request.CleanJoins = true;
    return step;
}
Step UndoStep_() { return {Step::Undo}; }
Step RedoStep_() { return {Step::Redo}; }
Step ZoomTo(std::int32_t frames) { return {Step::Zoom, 0, 0, {}, frames}; }

// What a document is: its working file's bytes and its markers (frames:
// the same at any zoom, as the steps to redo are).
struct State {
    Bytes File;
    std::uint32_t SelStartFrame = 0, SelFinishFrame = 0;
    bool operator==(const State&) const = default;
};

State StateOf(const Document& doc)
{
    return {test::ReadWholeFile(doc.WorkFile), doc.SelStartFrame, doc.SelFinishFrame};
}

struct Script {
    const char* Name;
    int Channels, Bits;
    std::uint32_t Frames;
    std::vector<Step> Steps;
};

class CrashRecoveryTest : public testing::TestWithParam<Script> {
protected:
    void SetUp() override { ASSERT_TRUE(kill.Loaded()) << "run with the fault library preloaded"; }

    // A document opened in folder from the script's samples.
    void Open(Document& doc, EditHistory& history, const std::string& folder)
    {
        const Script& script = GetParam();
        doc = Document{};
        doc.TempFolder = folder + "/";
        doc.WorkFile = doc.TempFolder + WorkFileName;
        doc.SourceFile = folder + "/source\nname \xff.wav";  // a name no line of text carries
        test::WaveBuilder()
            .Format(1, static_cast<std::uint16_t>(script.Channels), 22050, static_cast<std::uint16_t>(script.Bits))
            .Samples(test::TryingSamples(script.Bits, static_cast<std::size_t>(script.Frames) * script.Channels))
            .ChunkAfterData("id3 ", Bytes(10, 'r'))
            .WriteTo(doc.WorkFile);
        NullProgress none;
        ASSERT_TRUE(LoadWorkFile(doc, none, dialogs));
        FinishOpen(doc, history);
    }

    void Run(Document& doc, EditHistory& history, const Step& step)
    {
        NullProgress none;
        switch (step.What) {
        case Step::Markers:
            SetMarkers(doc, step.Start, step.Finish == 0 ? doc.ColumnCount - 1 : step.Finish);
            break;
        case Step::Edit: RunEdit(doc, history, step.Request, none, none, dialogs); break;
        case Step::Undo: UndoEdit(doc, history, none, none, dialogs); break;
        case Step::Redo: RedoEdit(doc, history, none, none, dialogs); break;
        case Step::Zoom: ApplyZoomChange(doc, step.FramesPerColumn, none, dialogs); break;
        }
    }

    // The document after every step, run without a kill.
    std::vector<State> States()
    {
        test::TempDir folder;
        Document doc;
        EditHistory history;
        Open(doc, history, folder.Path());
        std::vector<State> states{StateOf(doc)};
        for (const Step& step : GetParam().Steps) {
            Run(doc, history, step);
            states.push_back(StateOf(doc));
        }
        EXPECT_TRUE(dialogs.Messages.empty());
        return states;
    }

    // Runs fn in a child killed at its nth change of a file (pages of that
    // call getting through); true when the child was killed, false when
    // it finished first.
    bool KilledAt(long nth, long pages, const std::function<void()>& fn)
    {
        const pid_t child = ::fork();
        if (child == 0) {
            kill.Arm(nth, pages);
            fn();
            // A failure in the child is the test's too.
            ::_exit(testing::Test::HasFailure() ? 3 : 0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << "the child failed";
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }

    // The document a start would take up from folder; nothing when it
    // would offer none.
    std::optional<State> Recover(const std::string& folder, Document& doc, EditHistory& history)
    {
        if (!HoldsUnsavedEdits(folder))
            return std::nullopt;
        const std::optional<Manifest> manifest = ReadManifest(folder);
        doc = Document{};
        doc.TempFolder = folder + "/";
        NullProgress none;
        if (!manifest || !RecoverDocument(doc, history, *manifest, none, dialogs))
            return State{};
        return StateOf(doc);
    }

    KillSwitch kill;
    test::RecordingDialogs dialogs;
};

TEST_P(CrashRecoveryTest, AKillAnywhereLeavesAStepsStateAndUndoReachesTheOpenedFile)
{
    const std::vector<State> states = States();
    const Bytes& opened = states.front().File;
    int kills = 0, recovered = 0, killedRecoveries = 0;
    // The page counts that get through the call cut off: none, one, part of
    // a block, all of it.
    constexpr long Pages[] = {0, 1, 100, 100000};
#ifdef VELMORA_SANITIZED
    constexpr long Stride = 3;
#else
    constexpr long Stride = 1;
#endif
    for (long nth = 1;; nth += Stride) {
        test::TempDir folder;
        const long pages = Pages[nth % 4];
        const bool killed = KilledAt(nth, pages, [&] {
            Document doc;
            EditHistory history;
            Open(doc, history, folder.Path());
            for (const Step& step : GetParam().Steps)
                Run(doc, history, step);
        });
        if (!killed)
            break;  // the script ran to its end: every call has been tried
        ++kills;
        SCOPED_TRACE(testing::Message() << GetParam().Name << ": killed at change " << nth << ", " << pages
                                        << " pages through");
        // Every third time, the start that takes the document up is killed
        // too, part way, and the next one takes it up from there.
        if (kills % 3 == 0) {
            for (long again = 1; again <= 40; again += 7) {
                const bool recoveryKilled = KilledAt(again, Pages[again % 4], [&] {
                    Document doc;
                    EditHistory history;
                    Recover(folder.Path(), doc, history);
                });
                killedRecoveries += recoveryKilled ? 1 : 0;
                if (!recoveryKilled)
                    break;
            }
        }
        Document doc;
        EditHistory history;
        const std::optional<State> state = Recover(folder.Path(), doc, history);
        if (!state)
            continue;  // nothing unsaved: the opened file is what the user has
        ++recovered;
        ASSERT_TRUE(std::find(states.begin(), states.end(), *state) != states.end())
            << "the recovered document is none of the script's states";
        EXPECT_EQ(doc.SourceFile, folder.Path() + "/source\nname \xff.wav");
        EXPECT_TRUE(doc.Modified);
        // Redo reaches a state of the script too, and Undo from there the
        // opened file.
        NullProgress none;
        while (history.CanRedo())
            ASSERT_EQ(RedoEdit(doc, history, none, none, dialogs), EditEnd::Done);
        ASSERT_TRUE(std::find(states.begin(), states.end(), StateOf(doc)) != states.end())
            << "redone from the recovered document";
        while (history.CanUndo())
            ASSERT_EQ(UndoEdit(doc, history, none, none, dialogs), EditEnd::Done);
        ASSERT_EQ(test::ReadWholeFile(doc.WorkFile), opened) << "undo back from the recovered document";
    }
    EXPECT_TRUE(dialogs.Messages.empty());
    EXPECT_GT(recovered, kills / 2);
    std::printf("%s: %d kills, %d documents taken up, %d starts killed while taking one up\n", GetParam().Name,
                kills, recovered, killedRecoveries);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, CrashRecoveryTest,
    testing::Values(
        // About three rewrite blocks, 66 columns.
        Script{"stereo16",
               2,
               16,
               660'000,
               {Marks(0, 0), Do(EditCommand::FadeIn), Do(EditCommand::FadeOut),
                Marks(50, 55), Do(EditCommand::Delete),        // kept in place, the tail moving back
                Marks(2, 40), Do(EditCommand::Delete),         // into a new file, the old one kept whole
                Marks(1, 9), Do(EditCommand::Volume, 0.5f),
                Marks(3, 6), Do(EditCommand::Volume, 2.5f), Do(EditCommand::Volume, 1.0f, true),
                Marks(1, 8), Do(EditCommand::CutOut),          // into a new file
                UndoStep_(), UndoStep_(), RedoStep_(), UndoStep_(), UndoStep_(), UndoStep_(), RedoStep_(),
                ZoomTo(2000), UndoStep_(), Marks(3, 20), Do(EditCommand::FadeOut)}},
        Script{"mono8",
               1,
               8,
               2'500'000,
               {Marks(0, 0), Do(EditCommand::FadeOut), Marks(10, 200), Do(EditCommand::Volume, 0.25f),
                Marks(200, 240), Do(EditCommand::Delete), UndoStep_(), RedoStep_(), UndoStep_(),
                Marks(5, 100), Do(EditCommand::FadeIn), UndoStep_(), UndoStep_()}},
        // Joins from silence (no crossing: crossfaded, in place and into a
        // new file) and in noise (the points moved).
        Script{"cleanJoins",
               2,
               16,
               300'000,
               {Marks(15, 20), DoWithCleanJoins(EditCommand::Delete),
                Marks(20, 21), DoWithCleanJoins(EditCommand::Delete),
                Marks(2, 12), DoWithCleanJoins(EditCommand::CutOut),
                UndoStep_(), UndoStep_(), RedoStep_()}}),
    [](const testing::TestParamInfo<Script>& info) { return std::string(info.param.Name); });

// A Cut Out kept in place (the folder too short of room for a new file)
// killed at every change of the working file, part way: taken back to the
// bytes before it.
TEST(CutOutInPlaceCrashTest, TakenBackFromAKillAnywhere)
{
    const KillSwitch kill;
    ASSERT_TRUE(kill.Loaded());
    test::TempDir folder;
    test::RecordingDialogs dialogs;
    NullProgress none;
    EditHistory history;
    auto open = [&](Document& doc) {
        doc = Document{};
        doc.TempFolder = folder.Path() + "/";
        doc.WorkFile = doc.TempFolder + WorkFileName;
        test::WaveBuilder()
            .Format(1, 2, 22050, 16)
            .Samples(test::TryingSamples(16, 2 * 500'000))
            .ChunkAfterData("id3 ", Bytes(10, 'r'))
            .WriteTo(doc.WorkFile);
        ASSERT_TRUE(LoadWorkFile(doc, none, dialogs));
        FinishOpen(doc, history);
        SetMarkers(doc, 3, 40);
    };
    Document doc;
    open(doc);
    const Bytes before = test::ReadWholeFile(doc.WorkFile);
    const EditPlan plan = PlanEdit(doc, {EditCommand::CutOut});
    UndoStep step;
    // Room for what goes, not for what stays.
    ASSERT_TRUE(ChooseKeeping(doc, history, plan, before.size(), before.size() / 2, step));
    ASSERT_EQ(step.Kept, KeptAs::Pieces);
    int kills = 0;
    for (long nth = 1;; ++nth) {
        open(doc);
        File journal = File::Open(history.JournalPath, File::Mode::Create);
        {
            // Closed before the edit, which opens the file for itself alone.
            File work = File::Open(doc.WorkFile, File::Mode::ReadWrite);
            ASSERT_TRUE(KeepingOf(step.Kept).Record(doc, work, journal, step, none));
        }
        const std::string logs = folder.Path() + "/";
        const pid_t child = ::fork();
        if (child == 0) {
            kill.Arm(nth, nth % 2 == 0 ? 0 : 7);
            RewriteLog log = RewriteLog::Open(logs + EditLogName);
            log.Begin(1);
            UndoStep kept = step;
            const auto hooks = KeepingOf(kept.Kept).Hooks(history, kept, journal, log);
            const EditEnd end = ApplyPlan(doc, plan, *hooks, none, none, dialogs);
            ::_exit(end == EditEnd::Done ? 0 : 3);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << "the cut failed";
        File work = File::Open(doc.WorkFile, File::Mode::ReadWrite);
        RewriteLog editLog = RewriteLog::Open(logs + EditLogName);
        RewriteLog undoLog = RewriteLog::Open(logs + TakeBackLogName);
        ASSERT_TRUE(TakeBack(doc, history, step, StepReach{false, editLog.Last(1)}, work, journal, undoLog, 1, ScalingFor,
                             none));
        ASSERT_EQ(test::ReadWholeFile(doc.WorkFile), before) << "killed at change " << nth;
        if (!WIFSIGNALED(status))
            break;
        ++kills;
    }
    EXPECT_GT(kills, 10);  // the move's blocks, the cut and the header
}

// velmora-cli killed with a real SIGKILL at moments spread over a run of
// edits, undos and redos of a four-minute file: the folder it leaves is
// taken up as one of the run's states (or holds nothing unsaved), and Undo
// reaches the opened file.  VELMORA_KILL_RUNS sets how many kills.
TEST(CliCrashTest, KilledAtAnyMomentTheNextStartTakesUpAWholeStep)
{
    test::TempDir dir;
    test::TempDir tmp;
    const std::string input = dir.Path() + "/two minutes.wav";
    ASSERT_TRUE(test::Shell("sox -n -r 44100 -c 2 -b 16 '" + input +
                            "' synth 120 sine 300:3000 vol 0.9 fade 0 120 20"));
    const std::vector<std::string> steps = {
        "--select-all", "--fade-in",  "--fade-out",  "--markers", "100:300", "--delete", "--markers", "2:60",
        "--volume",     "50",         "--markers",   "40:45",     "--mute",  "--undo",   "--undo",    "--redo",
        "--markers",    "10:300",     "--delete",    "--undo",    "--undo",  "--undo",   "--redo"};
    // The states: the working file (saved byte for byte) and markers after every step.
    std::vector<std::string> reference = {VELMORA_CLI_PATH, input, "--save", dir.Path() + "/s0.wav", "--info"};
    std::size_t count = 1;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        reference.push_back(steps[i]);
        const bool takesValue = steps[i] == "--markers" || steps[i] == "--volume";
        if (takesValue)
            reference.push_back(steps[++i]);
        reference.insert(reference.end(), {"--save", dir.Path() + "/s" + std::to_string(count++) + ".wav", "--info"});
    }
    const test::ProcessResult ran = test::RunProcess(reference, {{"TMPDIR", tmp.Path()}});
    ASSERT_EQ(ran.ExitCode, 0) << ran.Err;
    std::vector<std::pair<Bytes, std::string>> states;  // the file and its --info markers
    std::istringstream info(ran.Out);
    std::string line, markers;
    std::size_t state = 0;
    while (std::getline(info, line)) {
        if (line.starts_with("SelStart=") || line.starts_with("SelFinish=") || line.starts_with("FramesPerColumn="))
            markers += line + "\n";
        if (line.starts_with("SourceBitrate=")) {
            states.emplace_back(test::ReadWholeFile(dir.Path() + "/s" + std::to_string(state) + ".wav"), markers);
            std::filesystem::remove(dir.Path() + "/s" + std::to_string(state++) + ".wav");
            markers.clear();
        }
    }
    ASSERT_EQ(states.size(), count);

    // The run alone, timed: the kills spread over it.
    // With a tag set first: the tags live outside the working file, in
    // the private folder's record, and come back with the document.
    std::vector<std::string> run = {VELMORA_CLI_PATH, input, "--tag", "title=Kept"};
    run.insert(run.end(), steps.begin(), steps.end());
    const auto timedStart = std::chrono::steady_clock::now();
    ASSERT_EQ(test::RunProcess(run, {{"TMPDIR", tmp.Path()}}).ExitCode, 0);
    const auto took = std::chrono::steady_clock::now() - timedStart;

    const char* asked = std::getenv("VELMORA_KILL_RUNS");
#ifdef VELMORA_SANITIZED
    const int byDefault = 6;
#else
    const int byDefault = 24;
#endif
    const int kills = asked != nullptr ? std::atoi(asked) : byDefault;
    int recovered = 0;
    for (int k = 0; k < kills; ++k) {
        const auto delay = took * (k + 0.5) / kills;
        const int pid = test::StartProcess(run, {{"TMPDIR", tmp.Path()}});
        std::this_thread::sleep_for(delay);
        ::kill(pid, SIGKILL);
        test::WaitProcess(pid);
        SCOPED_TRACE(testing::Message() << "killed after " << std::chrono::duration<double>(delay).count() << " s");
        for (const auto& entry : std::filesystem::directory_iterator(tmp.Path())) {
            const std::string folder = entry.path().string();
            if (!HoldsUnsavedEdits(folder)) {
                std::filesystem::remove_all(folder);
                continue;
            }
            const std::optional<Manifest> manifest = ReadManifest(folder);
            ASSERT_TRUE(manifest);
            Document doc;
            EditHistory history;
            doc.TempFolder = folder + "/";
            test::RecordingDialogs dialogs;
            NullProgress none;
            ASSERT_TRUE(RecoverDocument(doc, history, *manifest, none, dialogs));
            ++recovered;
            EXPECT_EQ(doc.Metadata.Title, "Kept");
            // In the order --info prints them.
            const std::string marks = "FramesPerColumn=" + std::to_string(doc.FramesPerColumn) + "\nSelStart=" +
                                      std::to_string(doc.SelStart) + "\nSelFinish=" + std::to_string(doc.SelFinish) +
                                      "\n";
            const Bytes file = test::ReadWholeFile(doc.WorkFile);
            EXPECT_TRUE(std::find(states.begin(), states.end(), std::make_pair(file, marks)) != states.end())
                << "the recovered document is none of the run's states: " << marks;
            while (history.CanUndo())
                ASSERT_EQ(UndoEdit(doc, history, none, none, dialogs), EditEnd::Done);
            EXPECT_TRUE(test::ReadWholeFile(doc.WorkFile) == states.front().first) << "undo back";
            EXPECT_TRUE(dialogs.Messages.empty());
            std::filesystem::remove_all(folder);
        }
    }
    std::printf("velmora-cli: %d kills, %d documents taken up\n", kills, recovered);
}

} // namespace
} // namespace velmora
