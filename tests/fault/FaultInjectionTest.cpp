// Failing reads, writes, truncations, flushes and closes at every point of
// the edits, the saves and the open, through the preloaded fault library:
// no failure is passed off as success.  An edit either completes or says
// so and leaves a document that describes the working file as it now is; a
// save leaves the old destination or the new one and no temporary file; an
// open that could not finish its working file refuses.

#include "document/Document.h"
#include "document/LoadWorkFile.h"
#include "import/OpenSequence.h"
#include "edit/EditSequence.h"
#include "export/SaveBody.h"
#include "support/Fakes.h"
#include "support/Process.h"
#include "support/ReferenceModel.h"
#include "support/TempDir.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <dlfcn.h>
#include <filesystem>

namespace velmora {
namespace {

using test::Bytes;

// The fault library's switch; the tests run with it preloaded.
class Fault {
public:
    Fault()
    {
        arm_ = reinterpret_cast<ArmFn>(::dlsym(RTLD_DEFAULT, "velmora_fault_arm"));
        calls_ = reinterpret_cast<CallsFn>(::dlsym(RTLD_DEFAULT, "velmora_fault_calls"));
    }
    bool Loaded() const { return arm_ != nullptr && calls_ != nullptr; }
    void Arm(const char* op, long nth, int error, bool sticky) { arm_(op, nth, error, sticky ? 1 : 0); }
    void Disarm() { arm_(nullptr, 0, 0, 0); }
    // Whether the armed call was reached.
    bool Fired(long nth) const { return calls_() >= nth; }

private:
    using ArmFn = void (*)(const char*, long, int, int);
    using CallsFn = long (*)();
    ArmFn arm_ = nullptr;
    CallsFn calls_ = nullptr;
};

class FaultTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fault.Loaded()) << "run with the fault library preloaded"; }
    void TearDown() override { fault.Disarm(); }

    // A stereo 16-bit working file of about three rewrite blocks, loaded.
    void LoadWorkFile3Blocks()
    {
        doc = Document{};
        doc.WorkFile = dir / "AudioTemp.wav";
        doc.ProgramFolder = VELMORA_PLUGIN_DIR;
        test::WaveBuilder()
            .Format(1, 2, 44100, 16)
            .Samples(test::RandomBytes(4u * 800000, 7))
            .ChunkAfterData("id3 ", Bytes(10, 'r'))
            .WriteTo(doc.WorkFile);
        NullProgress none;
        ASSERT_TRUE(LoadWorkFile(doc, none, dialogs));
        SetMarkers(doc, 10, 60);
    }

    // The document describes the working file as it is on the disk.
    void ExpectDocumentDescribesTheFile(const std::string& what) const
    {
        const Bytes file = test::ReadWholeFile(doc.WorkFile);
        EXPECT_LE(doc.DataEnd, file.size()) << what;
        EXPECT_EQ(doc.TotalFrames, doc.DataSize / 4) << what;
        EXPECT_EQ(doc.ColumnCount, ColumnCountFor(doc.TotalFrames, doc.FramesPerColumn)) << what;
        test::ModelFormat f;
        f.DataOffset = doc.DataOffset;
        f.DataEnd = doc.DataEnd;
        EXPECT_EQ(doc.PeakUpper, test::ModelScan(file, f, doc.ColumnCount).Upper) << what;
        EXPECT_LE(doc.SelStart, doc.SelFinish) << what;
        EXPECT_LT(doc.SelFinish, std::max(doc.ColumnCount, 1u)) << what;
    }

    Fault fault;
    test::TempDir dir;
    Document doc;
    EditHistory history;
    test::RecordingDialogs dialogs;
};

TEST_F(FaultTest, AnEditThatCannotWriteSaysSoAndDescribesTheFileAsItIs)
{
    const EditRequest edits[] = {{EditCommand::Delete}, {EditCommand::CutOut}, {EditCommand::Volume, 0.5f, false},
                                 {EditCommand::Volume, 1.0f, true}, {EditCommand::FadeIn}};
    struct Point {
        const char* Op;
        long Nth;
        bool Sticky;
    };
    // Writes and truncations anywhere; a read only where it is the
    // rewrite's own (the first one: the rescan afterwards reads too).
    const Point points[] = {{"pwrite", 1, false}, {"pwrite", 2, false}, {"pwrite", 3, true}, {"pwrite", 1, true},
                            {"ftruncate", 1, false}, {"ftruncate", 2, false}, {"pread", 1, false}};
    for (const EditRequest& edit : edits) {
        for (const Point& point : points) {
            if (std::string(point.Op) == "pread" && edit.Mute)
                continue;  // silence is written without reading
            const std::string what = std::to_string(static_cast<int>(edit.Command)) + " " + point.Op + " " +
                                     std::to_string(point.Nth) + (point.Sticky ? "+" : "");
            LoadWorkFile3Blocks();
            dialogs.Messages.clear();
            NullProgress processing, reloading;
            fault.Arm(point.Op, point.Nth, ENOSPC, point.Sticky);
            const EditEnd end = RunEdit(doc, history, edit, processing, reloading, dialogs);
            const bool fired = fault.Fired(point.Nth);
            fault.Disarm();
            EXPECT_EQ(end, fired ? EditEnd::Failed : EditEnd::Done) << what;
            if (end == EditEnd::Failed) {
                EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Cannot write the temporary file."}) << what;
            }
            EXPECT_TRUE(doc.Modified) << what;
            ExpectDocumentDescribesTheFile(what);
        }
    }
}

TEST_F(FaultTest, AJournalWithoutRoomAsksAndAnUndoThatCannotWriteSaysSo)
{
    for (UserDialogs::Answer answer : {UserDialogs::Answer::Yes, UserDialogs::Answer::No}) {
        LoadWorkFile3Blocks();
        doc.TempFolder = dir.Path() + "/";
        FinishOpen(doc, history);
        NullProgress processing, reloading;
        SetMarkers(doc, 10, 60);
        ASSERT_EQ(RunEdit(doc, history, {EditCommand::FadeIn}, processing, reloading, dialogs), EditEnd::Done);
        const Bytes before = test::ReadWholeFile(doc.WorkFile);
        dialogs.Answers = {answer};
        // The journal's first write (the peaks) fails; the edit's own writes do not.
        fault.Arm("pwrite", 1, ENOSPC, false);
        const EditEnd end = RunEdit(doc, history, {EditCommand::Volume, 0.5f, false}, processing, reloading, dialogs);
        fault.Disarm();
        ASSERT_EQ(dialogs.Questions.size(), 1u);
        EXPECT_EQ(dialogs.Questions[0].Text, "There is not enough room in the temporary folder to keep this edit "
                                             "for Undo.\nDo you want to go on without Undo?");
        dialogs.Questions.clear();
        if (answer == UserDialogs::Answer::Yes) {
            EXPECT_EQ(end, EditEnd::Done);
            EXPECT_NE(test::ReadWholeFile(doc.WorkFile), before);
            EXPECT_FALSE(history.CanUndo());  // not past an edit it cannot take back
        } else {
            EXPECT_EQ(end, EditEnd::Refused);
            EXPECT_EQ(test::ReadWholeFile(doc.WorkFile), before);
            EXPECT_TRUE(history.CanUndo());
        }
    }

    // A copy failing after its first piece (Delete's header) is asked
    // about: what an edit destroys is kept before it begins.  (A tenth near
    // the end: kept in place, the rest moving up.)
    {
        NullProgress processing, reloading;
        dialogs.Messages.clear();
        dialogs.Questions.clear();
        dialogs.Answers = {UserDialogs::Answer::Yes};
        SetMarkers(doc, 60, 70);
        const std::uint32_t columns = doc.ColumnCount;
        fault.Arm("copy_file_range", 2, ENOSPC, true);
        EXPECT_EQ(RunEdit(doc, history, {EditCommand::Delete}, processing, reloading, dialogs), EditEnd::Done);
        fault.Disarm();
        EXPECT_EQ(dialogs.Questions.size(), 1u);
        EXPECT_TRUE(dialogs.Messages.empty());
        EXPECT_EQ(doc.ColumnCount, columns - 10);
        EXPECT_FALSE(history.CanUndo());
        ExpectDocumentDescribesTheFile("delete without its journal");
    }

    // An undo whose manifest cannot be written is refused, the history
    // kept: a kill part way could not be told from the edit.
    NullProgress processing, reloading;
    SetMarkers(doc, 60, 62);
    ASSERT_EQ(RunEdit(doc, history, {EditCommand::Delete}, processing, reloading, dialogs), EditEnd::Done);
    const Bytes deleted = test::ReadWholeFile(doc.WorkFile);
    dialogs.Messages.clear();
    fault.Arm("pwrite", 1, ENOSPC, false);
    EXPECT_EQ(UndoEdit(doc, history, processing, reloading, dialogs), EditEnd::Refused);
    fault.Disarm();
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Cannot write the temporary file."});
    EXPECT_TRUE(history.CanUndo());
    EXPECT_EQ(test::ReadWholeFile(doc.WorkFile), deleted);

    // Delete's undo moves the tail back up: a write failing there (after
    // the manifest's).
    dialogs.Messages.clear();
    fault.Arm("pwrite", 2, EIO, false);
    EXPECT_EQ(UndoEdit(doc, history, processing, reloading, dialogs), EditEnd::Failed);
    fault.Disarm();
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Cannot write the temporary file."});
    EXPECT_FALSE(history.CanUndo());
    EXPECT_TRUE(doc.Modified);
    ExpectDocumentDescribesTheFile("undo");
}

TEST_F(FaultTest, ACutIntoANewFileCopesWithoutTradingNamesAndFailsCleanly)
{
    // A Cut Out of two columns copies them into a new working file.
    LoadWorkFile3Blocks();
    doc.TempFolder = dir.Path() + "/";
    FinishOpen(doc, history);
    NullProgress processing, reloading;
    const Bytes before = test::ReadWholeFile(doc.WorkFile);
    SetMarkers(doc, 10, 12);
    // A file system without links: the old file is renamed before the new
    // one takes its name; Undo puts it back all the same.
    fault.Arm("link", 1, EPERM, true);
    ASSERT_EQ(RunEdit(doc, history, {EditCommand::CutOut}, processing, reloading, dialogs), EditEnd::Done);
    EXPECT_TRUE(fault.Fired(1));
    const Bytes cut = test::ReadWholeFile(doc.WorkFile);
    EXPECT_LT(cut.size(), before.size() / 10);
    ASSERT_EQ(UndoEdit(doc, history, processing, reloading, dialogs), EditEnd::Done);
    fault.Disarm();
    EXPECT_EQ(test::ReadWholeFile(doc.WorkFile), before);
    ASSERT_EQ(RedoEdit(doc, history, processing, reloading, dialogs), EditEnd::Done);
    EXPECT_EQ(test::ReadWholeFile(doc.WorkFile), cut);
    ASSERT_EQ(UndoEdit(doc, history, processing, reloading, dialogs), EditEnd::Done);
    EXPECT_TRUE(dialogs.Messages.empty());

    // A file system that cannot set the new file's blocks aside: the copy
    // allocates them as it goes.
    SetMarkers(doc, 10, 12);
    fault.Arm("fallocate", 1, EOPNOTSUPP, true);
    ASSERT_EQ(RunEdit(doc, history, {EditCommand::CutOut}, processing, reloading, dialogs), EditEnd::Done);
    EXPECT_TRUE(fault.Fired(1));
    fault.Disarm();
    EXPECT_EQ(test::ReadWholeFile(doc.WorkFile), cut);
    ASSERT_EQ(UndoEdit(doc, history, processing, reloading, dialogs), EditEnd::Done);

    // The copy failing part way leaves the working file as it was, and no
    // new file behind.
    SetMarkers(doc, 10, 12);
    fault.Arm("copy_file_range", 2, ENOSPC, true);
    EXPECT_EQ(RunEdit(doc, history, {EditCommand::CutOut}, processing, reloading, dialogs), EditEnd::Failed);
    fault.Disarm();
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Cannot write the temporary file."});
    EXPECT_EQ(test::ReadWholeFile(doc.WorkFile), before);
    EXPECT_FALSE(std::filesystem::exists(doc.WorkFile + ".new"));
    ExpectDocumentDescribesTheFile("cut out into a new file");
}

TEST_F(FaultTest, ASaveThatFailsLeavesTheOldDestinationAndNoTemporaryFile)
{
    LoadWorkFile3Blocks();
    const Bytes old(100, 9);
    for (const char* name : {"out.wav", "out.mp3"}) {
        const std::string destination = dir / name;
        for (const char* op : {"pread", "pwrite", "copy_file_range", "fsync", "close"}) {
            for (long nth : {1, 2, 5}) {
                const std::string what = std::string(name) + " " + op + " " + std::to_string(nth);
                test::WriteWholeFile(destination, old);
                dialogs.Messages.clear();
                NullProgress bar;
                fault.Arm(op, nth, EIO, true);
                const SaveEnd end = RunSaveBody(doc, destination, bar, dialogs);
                const bool fired = fault.Fired(nth);
                fault.Disarm();
                EXPECT_FALSE(std::filesystem::exists(TemporaryOutputName(destination))) << what;
                if (end == SaveEnd::Saved) {
                    EXPECT_FALSE(fired && std::string(op) != "close") << what;
                    EXPECT_NE(test::ReadWholeFile(destination), old) << what;
                } else {
                    EXPECT_EQ(end, SaveEnd::Failed) << what;
                    EXPECT_TRUE(fired) << what;
                    EXPECT_EQ(test::ReadWholeFile(destination), old) << what;
                    EXPECT_EQ(dialogs.Messages.size(), 1u) << what;
                }
            }
        }
    }
}

// A failed save or open keeps its message and says, beneath it, which
// file and what the system answered: a full disk is told from a failing
// one.
TEST_F(FaultTest, AFailedSaveOrOpenSaysWhichFileAndWhy)
{
    LoadWorkFile3Blocks();
    const std::string destination = dir / "out.wav";
    struct Case {
        const char* Op;
        int Error;
        const char* Reason;
    };
    for (const Case& c : {Case{"copy_file_range", ENOSPC, "No space left on device"},
                          Case{"fsync", EIO, "Input/output error"}}) {
        dialogs.Messages.clear();
        NullProgress bar;
        fault.Arm(c.Op, 1, c.Error, true);
        EXPECT_EQ(RunSaveBody(doc, destination, bar, dialogs), SaveEnd::Failed) << c.Op;
        fault.Disarm();
        ASSERT_EQ(dialogs.Messages.size(), 1u) << c.Op;
        EXPECT_EQ(dialogs.Messages[0].Text, "Cannot save the file.");
        EXPECT_EQ(dialogs.Messages[0].File, destination);
        EXPECT_EQ(dialogs.Messages[0].Reason, c.Reason);
    }

    const std::string source = dir / "in.wav";
    std::filesystem::copy_file(doc.WorkFile, source);
    doc = Document{};
    doc.TempFolder = dir / "";
    doc.SourceFile = source;
    dialogs.Messages.clear();
    NullProgress decoding, loading;
    fault.Arm("copy_file_range", 1, ENOSPC, true);
    EXPECT_EQ(RunOpenBody(doc, decoding, loading, dialogs), OpenEnd::Failed);
    fault.Disarm();
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Text, "Cannot creat the temporary file.");
    EXPECT_NE(dialogs.Messages[0].File.find("AudioTemp"), std::string::npos) << dialogs.Messages[0].File;
    EXPECT_EQ(dialogs.Messages[0].Reason, "No space left on device");
}

TEST_F(FaultTest, AnOpenWhoseWorkingFileIsNotFinishedRefuses)
{
    const std::string wav = dir / "in.wav";
    test::WaveBuilder().Format(1, 2, 44100, 16).Samples(test::RandomBytes(4u * 44100, 3)).WriteTo(wav);
    const std::string mp3 = dir / "in.mp3";
    ASSERT_TRUE(test::Shell("env -u LD_PRELOAD lame --quiet -b 128 '" + wav + "' '" + mp3 + "'"));
    for (const std::string& source : {wav, mp3}) {
        // The working file is the first regular file the open writes or
        // copies into, and the first it closes after writing (a decoder's
        // own probing closes come before, and fail too once a failure
        // sticks).
        const std::pair<const char*, long> points[] = {{"pwrite", 1},          {"pwrite", 2},
                                                       {"pwrite", 3},          {"copy_file_range", 1},
                                                       {"copy_file_range", 2}, {"close", 1}};
        for (const auto& [op, nth] : points) {
            const std::string what = source + " " + op + " " + std::to_string(nth);
            doc = Document{};
            doc.TempFolder = dir / "";
            doc.SourceFile = source;
            dialogs.Messages.clear();
            NullProgress decoding, loading;
            fault.Arm(op, nth, ENOSPC, true);
            const OpenEnd end = RunOpenBody(doc, decoding, loading, dialogs);
            const bool fired = fault.Fired(nth);
            fault.Disarm();
            EXPECT_EQ(end, fired ? OpenEnd::Failed : OpenEnd::Loaded) << what;
            EXPECT_EQ(dialogs.Messages.size(), fired ? 1u : 0u) << what;
        }
    }
}

TEST_F(FaultTest, WhereTheKernelCannotCopyTheCopyReadsAndWrites)
{
    // Files on two file systems, or a kernel without copy_file_range: the
    // same bytes by the buffered way.
    const std::string wav = dir / "in.wav";
    test::WaveBuilder().Format(1, 2, 44100, 16).Samples(test::RandomBytes(4u * 400000, 5)).WriteTo(wav);
    for (int error : {ENOSYS, EXDEV, EOPNOTSUPP}) {
        doc = Document{};
        doc.TempFolder = dir / "";
        doc.SourceFile = wav;
        NullProgress decoding, loading;
        fault.Arm("copy_file_range", 1, error, true);
        ASSERT_EQ(RunOpenBody(doc, decoding, loading, dialogs), OpenEnd::Loaded);
        EXPECT_TRUE(fault.Fired(1));
        fault.Disarm();
        EXPECT_TRUE(test::ReadWholeFile(doc.WorkFile) == test::ReadWholeFile(wav)) << error;

        const std::string saved = dir / "saved.wav";
        fault.Arm("copy_file_range", 1, error, true);
        ASSERT_EQ(RunSaveBody(doc, saved, decoding, dialogs), SaveEnd::Saved);
        fault.Disarm();
        EXPECT_TRUE(test::ReadWholeFile(saved) == test::ReadWholeFile(wav)) << error;
    }
    EXPECT_TRUE(dialogs.Messages.empty());
}

// velmora-cli on a disk that fills up at any write: every exit 1 says why
// on standard error, and a journal without room names --no-undo.
TEST(CliDiskFull, EveryFailureSaysWhy)
{
    test::TempDir dir;
    const std::string input = dir / "in.wav";
    test::WaveBuilder().Format(1, 2, 22050, 16).Samples(test::RandomBytes(4u * 66150, 9)).WriteTo(input);
    const std::vector<std::string> steps = {"--select-all", "--fade-in", "--volume", "50", "--from", "0.5",
                                            "--to", "1.5", "--delete", "--undo", "--redo", "--save",
                                            dir / "out.wav", "--save", dir / "out.mp3", "--save", dir / "out.wma"};
    int failures = 0;
    bool namedNoUndo = false;
    bool namedOutputAndReason = false;  // a save's failure: the output file and the system's words
    for (const char* op : {"pwrite", "ftruncate", "fsync", "close", "copy_file_range", "fallocate", "link"}) {
        for (int nth = 1; nth <= 24; ++nth) {
            std::vector<std::string> argv = {VELMORA_CLI_PATH, input};
            argv.insert(argv.end(), steps.begin(), steps.end());
            const auto result = test::RunProcess(
                argv, {{"TMPDIR", dir.Path()}, {"VELMORA_FAULT", std::string(op) + ":" + std::to_string(nth) + ":28:1"}});
            ASSERT_TRUE(result.ExitCode == 0 || result.ExitCode == 1) << op << " " << nth << ": " << result.Err;
            if (result.ExitCode == 0)
                continue;
            ++failures;
            EXPECT_NE(result.Err.find("velmora-cli: "), std::string::npos) << op << " " << nth;
            namedNoUndo = namedNoUndo || result.Err.find("--no-undo") != std::string::npos;
            namedOutputAndReason = namedOutputAndReason ||
                                   result.Err.find("out.wav: Cannot save the file. (No space left on device)") !=
                                       std::string::npos;
        }
    }
    EXPECT_GT(failures, 20);
    EXPECT_TRUE(namedNoUndo);
    EXPECT_TRUE(namedOutputAndReason);
}

} // namespace
} // namespace velmora
