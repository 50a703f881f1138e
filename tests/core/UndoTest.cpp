// Undo and Redo: every edit taken back byte for byte and done again, several
// steps deep, across the formats; Modified against the saved state; what a
// zoom change and a new edit leave to redo.

#include "document/Document.h"
#include "document/LoadWorkFile.h"
#include "import/OpenSequence.h"
#include "document/Zoom.h"
#include "edit/EditSequence.h"
#include "edit/VolumeChange.h"
#include "export/SaveSequence.h"
#include "support/Fakes.h"
#include "support/TempDir.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using Bytes = std::vector<unsigned char>;

// The working file and everything the document says about it.
struct Snapshot {
    Bytes File;
    std::vector<std::int16_t> Upper, Lower;
    std::uint32_t SelStart, SelFinish, ColumnCount, DataEnd, TotalFrames;

    explicit Snapshot(const Document& doc)
        : File(test::ReadWholeFile(doc.WorkFile)), Upper(doc.PeakUpper), Lower(doc.PeakLower),
          SelStart(doc.SelStart), SelFinish(doc.SelFinish), ColumnCount(doc.ColumnCount), DataEnd(doc.DataEnd),
          TotalFrames(doc.TotalFrames)
    {
    }
    bool operator==(const Snapshot&) const = default;
};

class UndoTest : public testing::Test {
protected:
    void Open(int channels, int bits, std::uint32_t frames)
    {
        const int frameSize = (bits == 8 ? 1 : 2) * channels;
        OpenSamples(channels, bits, test::RandomBytes(static_cast<std::size_t>(frames) * frameSize, 7));
    }

    void OpenSamples(int channels, int bits, Bytes samples)
    {
        doc = Document{};
        doc.TempFolder = dir.Path() + "/";
        doc.WorkFile = doc.TempFolder + "AudioTemp.wav";
        test::WaveBuilder()
            .Format(1, static_cast<std::uint16_t>(channels), 22050, static_cast<std::uint16_t>(bits))
            .ChunkBeforeData("LIST", Bytes(9, 'q'))
            .Samples(std::move(samples))
            .ChunkAfterData("id3 ", Bytes(10, 'r'))
            .WriteTo(doc.WorkFile);
        NullProgress none;
        ASSERT_TRUE(LoadWorkFile(doc, none, dialogs));
        FinishOpen(doc, history);
    }

    EditEnd Edit(EditCommand command, std::uint32_t start, std::uint32_t finish, float gain = 1.0f,
                 bool mute = false)
    {
        SetMarkers(doc, start, finish);
        return RunEdit(doc, history, {command, gain, mute}, processing, reloading, dialogs);
    }
    EditEnd Undo() { return UndoEdit(doc, history, processing, reloading, dialogs); }
    EditEnd Redo() { return RedoEdit(doc, history, processing, reloading, dialogs); }

    test::TempDir dir;
    test::RecordingDialogs dialogs;
    test::RecordingProgress processing;
    test::RecordingProgress reloading;
    Document doc;
    EditHistory history;
};

struct Format {
    int Channels, Bits;
};

class UndoEveryEdit : public UndoTest, public testing::WithParamInterface<Format> {};

TEST_P(UndoEveryEdit, UndoneByteForByteAndRedoneToTheSameBytes)
{
    // Over two rewrite blocks, a partial last column, chunks before and
    // after the payload (Delete and Cut Out drop the one after).
    Open(GetParam().Channels, GetParam().Bits, 1'200'000);
    struct Step {
        EditCommand Command;
        std::uint32_t Start, Finish;
        float Gain;
    };
    const Step steps[] = {
        {EditCommand::Volume, 10, 90, 1.5f}, {EditCommand::FadeIn, 0, 40, 1},  {EditCommand::Delete, 20, 60, 1},
        {EditCommand::FadeOut, 5, 70, 1},    {EditCommand::Volume, 0, 3, 0.25f}, {EditCommand::CutOut, 2, 50, 1},
        {EditCommand::Delete, 0, 1, 1},     {EditCommand::Volume, 1, 45, 2.5f}, {EditCommand::Volume, 3, 40, 0.5f},
    };
    std::vector<Snapshot> before, after;
    for (const Step& s : steps) {
        SetMarkers(doc, s.Start, s.Finish);
        before.emplace_back(doc);
        ASSERT_EQ(Edit(s.Command, s.Start, s.Finish, s.Gain), EditEnd::Done);
        after.emplace_back(doc);
    }
    for (std::size_t i = std::size(steps); i-- > 0;) {
        ASSERT_EQ(Undo(), EditEnd::Done) << i;
        EXPECT_TRUE(Snapshot(doc) == before[i]) << "undo " << i;
    }
    EXPECT_FALSE(history.CanUndo());
    EXPECT_FALSE(doc.Modified);
    EXPECT_EQ(Undo(), EditEnd::Refused);
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        ASSERT_EQ(Redo(), EditEnd::Done) << i;
        EXPECT_TRUE(Snapshot(doc) == after[i]) << "redo " << i;
    }
    EXPECT_FALSE(history.CanRedo());
    EXPECT_TRUE(dialogs.Messages.empty());
    // Undo once more after the redos: the journal was written again.
    ASSERT_EQ(Undo(), EditEnd::Done);
    EXPECT_TRUE(Snapshot(doc) == before.back());
}

INSTANTIATE_TEST_SUITE_P(Formats, UndoEveryEdit,
                         testing::Values(Format{1, 8}, Format{2, 8}, Format{1, 16}, Format{2, 16}));

// Samples that try the remainders: runs of silence (chunks that scale to
// nothing), of the smallest values, of full scale both ways (clamped at the
// large gains; -32768 clamped even at 100 %) and of noise.
Bytes TryingSamples(int bits, std::size_t samples)
{
    const Bytes noise = test::RandomBytes(samples * 2, 11);
    std::vector<std::int16_t> values(samples);
    for (std::size_t i = 0; i < samples; ++i) {
        switch (i / 20'000 % 4) {
        case 0: values[i] = 0; break;
        case 1: values[i] = static_cast<std::int16_t>(static_cast<int>(i % 3) - 1); break;
        case 2: values[i] = i % 2 == 0 ? -32768 : 32767; break;
        default: values[i] = static_cast<std::int16_t>(noise[2 * i] | (noise[2 * i + 1] << 8)); break;
        }
    }
    if (bits == 16)
        return test::Pcm16(values);
    Bytes bytes(samples);
    for (std::size_t i = 0; i < samples; ++i)
        bytes[i] = static_cast<unsigned char>((values[i] >> 8) + 128);
    return bytes;
}

TEST_F(UndoTest, EveryGainMuteAndFadeIsTakenBackByteForByte)
{
    struct Case {
        EditCommand Command;
        float Gain;
        bool Mute;
    };
    std::vector<Case> cases;
    for (const VolumeItem& item : VolumeItems)
        cases.push_back({EditCommand::Volume, item.Gain, false});
    cases.push_back({EditCommand::Volume, 1.0f, true});
    cases.push_back({EditCommand::FadeIn, 1.0f, false});
    cases.push_back({EditCommand::FadeOut, 1.0f, false});
    for (int bits : {8, 16}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << bits << "-bit, edit " << static_cast<int>(c.Command) << " gain "
                                            << c.Gain << (c.Mute ? " mute" : ""));
            OpenSamples(2, bits, TryingSamples(bits, 2 * 300'000));
            SetMarkers(doc, 0, doc.ColumnCount - 1);
            const Snapshot before(doc);
            ASSERT_EQ(Edit(c.Command, 0, doc.ColumnCount - 1, c.Gain, c.Mute), EditEnd::Done);
            const Snapshot after(doc);
            ASSERT_EQ(Undo(), EditEnd::Done);
            EXPECT_TRUE(Snapshot(doc) == before);
            ASSERT_EQ(Redo(), EditEnd::Done);
            EXPECT_TRUE(Snapshot(doc) == after);
        }
    }
}

TEST_F(UndoTest, UndoingBackToTheSavedStateLeavesTheDocumentUnmodified)
{
    Open(2, 16, 300'000);
    ASSERT_EQ(Edit(EditCommand::FadeIn, 0, 10), EditEnd::Done);
    FinishSave(doc, history, SaveEnd::Saved, dir / "saved.wav", false);
    ASSERT_FALSE(doc.Modified);
    ASSERT_EQ(Edit(EditCommand::Delete, 3, 6), EditEnd::Done);
    EXPECT_TRUE(doc.Modified);
    Undo();
    EXPECT_FALSE(doc.Modified);
    Undo();
    EXPECT_TRUE(doc.Modified);  // before the save
    Redo();
    EXPECT_FALSE(doc.Modified);
    Redo();
    EXPECT_TRUE(doc.Modified);
    // A failed save keeps the saved state where it was.
    FinishSave(doc, history, SaveEnd::Failed, dir / "other.wav", false);
    Undo();
    EXPECT_FALSE(doc.Modified);
    // Tags set since the save are unsaved, however far Undo goes back;
    // the next save saves them.
    Tags tags;
    tags.Title = "New";
    SetMetadata(doc, tags);
    ASSERT_EQ(Edit(EditCommand::Delete, 3, 6), EditEnd::Done);
    Undo();
    EXPECT_TRUE(doc.Modified);
    FinishSave(doc, history, SaveEnd::Saved, dir / "saved.wav", false);
    EXPECT_FALSE(doc.Modified);
}

// A new edit leaves nothing to redo.  A zoom change keeps both ways: the
// steps name their markers in frames, which every zoom shows.
TEST_F(UndoTest, ANewEditLeavesNothingToRedoAndAZoomChangeKeepsUndoAndRedo)
{
    Open(1, 16, 300'000);
    const Snapshot opened(doc);
    ASSERT_EQ(Edit(EditCommand::Delete, 2, 5), EditEnd::Done);
    Undo();
    ASSERT_TRUE(history.CanRedo());
    ASSERT_EQ(Edit(EditCommand::Volume, 1, 4, 2.0f), EditEnd::Done);
    EXPECT_FALSE(history.CanRedo());
    const auto louder = test::ReadWholeFile(doc.WorkFile);

    NullProgress none;
    ASSERT_TRUE(ApplyZoomChange(doc, 2000, none, dialogs));
    ASSERT_EQ(Undo(), EditEnd::Done);
    // The bytes are those opened; the peaks those of the new zoom; the
    // markers the step's frames, on the new zoom's columns.
    EXPECT_EQ(test::ReadWholeFile(doc.WorkFile), opened.File);
    Document scanned = doc;
    ASSERT_TRUE(LoadWorkFile(scanned, none, dialogs));
    EXPECT_EQ(doc.PeakUpper, scanned.PeakUpper);
    EXPECT_EQ(doc.ColumnCount, scanned.ColumnCount);
    EXPECT_EQ(doc.SelStartFrame, 10000u);
    EXPECT_EQ(doc.SelFinishFrame, 40000u);
    EXPECT_EQ(doc.SelFinish, 20u);
    ASSERT_TRUE(history.CanRedo());
    ASSERT_EQ(RedoEdit(doc, history, none, none, dialogs), EditEnd::Done);
    EXPECT_EQ(test::ReadWholeFile(doc.WorkFile), louder);
}

TEST_F(UndoTest, CutsThatKeepLittleSetTheOldFileAsideAndPutItBack)
{
    // Cutting most of the file away writes what stays to a new file and
    // keeps the old one whole; cutting little keeps the bytes that go.
    auto filesAside = [&] {
        std::size_t count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
            count += entry.path().filename().string().starts_with("journal.bin-") ? 1 : 0;
        return count;
    };
    struct Cut {
        EditCommand Command;
        std::uint32_t Start, Finish;
        std::size_t Aside;  // whole files kept so far
    };
    Open(2, 16, 1'200'000);
    const Cut cuts[] = {
        {EditCommand::Delete, 2, doc.ColumnCount - 4, 1},  // keeps six columns or so
        {EditCommand::Volume, 0, 1, 1},                    // (a step of another kind between them)
        {EditCommand::CutOut, 1, 3, 2},                    // keeps two columns
        {EditCommand::Delete, 0, 0, 2},                    // removes nothing (0 is not the last column)
    };
    std::vector<Snapshot> before, after;
    for (const Cut& cut : cuts) {
        SetMarkers(doc, cut.Start, cut.Finish);
        before.emplace_back(doc);
        Edit(cut.Command, cut.Start, cut.Finish, 0.5f);
        after.emplace_back(doc);
        EXPECT_EQ(filesAside(), cut.Aside);
    }
    for (std::size_t i = std::size(cuts); i-- > 0;) {
        ASSERT_EQ(Undo(), EditEnd::Done) << i;
        EXPECT_TRUE(Snapshot(doc) == before[i]) << "undo " << i;
    }
    EXPECT_EQ(filesAside(), 0u);
    for (std::size_t i = 0; i < std::size(cuts); ++i) {
        ASSERT_EQ(Redo(), EditEnd::Done) << i;
        EXPECT_TRUE(Snapshot(doc) == after[i]) << "redo " << i;
    }
    EXPECT_EQ(filesAside(), 2u);
    // Close removes the file aside with the journal.
    ResetToNoDocument(doc);
    history.Clear();
    EXPECT_EQ(filesAside(), 0u);
}

TEST_F(UndoTest, CloseRemovesTheJournalAndAnEmptyCutOutKeepsNothing)
{
    Open(2, 8, 100'000);
    ASSERT_EQ(Edit(EditCommand::CutOut, 3, 3), EditEnd::Refused);
    EXPECT_FALSE(history.CanUndo());
    ASSERT_EQ(Edit(EditCommand::FadeOut, 0, 5), EditEnd::Done);
    const std::string journal = history.JournalPath;
    EXPECT_TRUE(std::filesystem::exists(journal));
    ResetToNoDocument(doc);
    history.Clear();
    EXPECT_FALSE(std::filesystem::exists(journal));
    EXPECT_FALSE(history.CanUndo());
}

} // namespace
} // namespace velmora
