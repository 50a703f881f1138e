// The parts a history that outlives the program stands on: the manifest
// carries any path and every field back; a page witness tells a page the
// write reached from one it did not, whatever the bytes; the rewrite log
// gives back the last whole note of its own rewrite only; a folder left by
// a killed program can be adopted, and given up again as it was.

#include "history/Manifest.h"
#include "history/TagsRecord.h"
#include "platform/File.h"
#include "history/PageWitness.h"
#include "history/RewriteLog.h"
#include "platform/PrivateTempFolder.h"
#include "support/TempDir.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/file.h>
#include <unistd.h>

namespace velmora {
namespace {

TEST(ManifestTest, EveryPathAndEveryFieldComesBack)
{
    for (const std::string path : {"/music/song.mp3", "/a b/'quoted' \"too\"/x;y=z [1] #2 %41.wav",
                                   "/line\nbreak/\r\ttab.wma", "/not utf-8 \xff\xfe\x80/\xc3(.wav", " lead and trail "}) {
        SCOPED_TRACE(path);
        Manifest m;
        m.SourceFile = path;
        m.Modified = true;
        m.SelStartFrame = 3;
        m.SelFinishFrame = 4000000000u;
        m.FramesPerColumn = 2000;
        m.PixelsPerColumn = 4;
        m.SourceBitrate = 192;
        m.Channels = 2;
        m.BitsPerSample = 16;
        m.FrameSize = 4;
        m.HasHistory = true;
        UndoStep step;
        step.Edit = {EditCommand::FadeOut, 0.75f, true, FadeShape::SCurve};
        step.Kept = KeptAs::Pieces;
        step.Before = {44, 100, 144, 1, 25, 10000, 3, 1, 2};
        step.After = {44, 80, 124, 0, 20, 10000, 2, 1, 1};
        step.LengthBefore = 1ull << 33;
        step.MoveFrom = 1;
        step.MoveTo = 2;
        step.MoveLength = 3;
        step.Pieces = {{0, 44, 0}, {100, 20, 44}, {5000000000ull, 7, 64}};
        step.Remainders = {44, 80, 71, 9};
        step.WholeFileName = "journal.bin-7";
        step.PeaksAt = 64;
        step.JournalStart = 0;
        step.StateBefore = 1;
        step.StateAfter = 2;
        m.History.Undo = {step, step};
        m.History.Undo[1].Kept = KeptAs::Remainders;
        m.History.Redo = {{{EditCommand::Volume, 2.5f, false}, 5, 9, 4}};
        m.History.JournalUsed = 123;
        m.History.State = 2;
        m.History.SavedState = 1;
        m.History.NextState = 5;
        m.History.NextWholeFile = 8;
        m.History.NextRewrite = 11;
        m.History.PendingWhat = PendingAction::Edit;
        m.History.Pending = step;
        m.History.PendingSelStart = 6;
        m.History.PendingSelFinish = 7;
        m.History.PendingRewrite = 10;

        const std::string text = ManifestText(m);
        // The path as a line of text: nothing an INI reader trims, strips or
        // breaks the line at.
        for (const char c : EncodeManifestPath(path))
            EXPECT_TRUE(c > ' ' && c < 0x7f && c != '"' && c != '\'') << static_cast<int>(c);
        const std::optional<Manifest> back = ParseManifest(text);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->SourceFile, path);
        EXPECT_EQ(ManifestText(*back), text);  // every field, and nothing else
    }
    EXPECT_FALSE(ParseManifest("[Document]\nModified=1\n"));
    // A manifest an earlier version wrote: the path as it was, no history.
    const std::optional<Manifest> old = ParseManifest("[Document]\nSource=/m/s.mp3\nModified=1\nSelStart=2\n");
    ASSERT_TRUE(old);
    EXPECT_EQ(old->SourceFile, "/m/s.mp3");
    EXPECT_FALSE(old->HasHistory);
    EXPECT_TRUE(old->MarkersAsColumns);
    EXPECT_EQ(old->SelStartFrame, 2u);  // a column, to be taken as one
    EXPECT_EQ(old->PixelsPerColumn, 1);
    // An earlier version's steps named the markers' columns: they come back
    // as frames, the last column as the end; its redo steps are let go.
    const std::optional<Manifest> columns = ParseManifest(
        "[Document]\nSource=/m/s.mp3\nModified=1\nSelStart=1\nSelFinish=2\nFramesPerColumn=10000\n"
        "[History]\nUndoSteps=1\nRedoSteps=1\n"
        "[Undo1]\nCommand=Delete\nKept=Pieces\nBefore=44,100,144,1,25,10,3,1,2\nAfter=44,80,124,0,20,10,2,1,1\n"
        "[Redo1]\nCommand=Delete\nSelStart=1\nSelFinish=2\n");
    ASSERT_TRUE(columns);
    ASSERT_EQ(columns->History.Undo.size(), 1u);
    EXPECT_EQ(columns->History.Undo[0].Before.SelStartFrame, 10u);
    EXPECT_EQ(columns->History.Undo[0].Before.SelFinishFrame, 25u);  // the last column: the end
    EXPECT_EQ(columns->History.Undo[0].After.SelStartFrame, 10u);
    EXPECT_EQ(columns->History.Undo[0].After.SelFinishFrame, 20u);
    EXPECT_TRUE(columns->History.Redo.empty());
}

// The tags' record in the private folder: every field and the picture
// come back, whatever bytes they hold; a record cut short anywhere, or
// one with bytes after its end, is no record (the tags are then empty
// rather than half read).
TEST(TagsRecordTest, EveryFieldAndThePictureComeBackAndADamagedRecordIsRefused)
{
    Tags tags;
    for (const TagField& field : TagFields)
        tags.*field.Member = std::string(field.Key) + " \xd0\x96 \n\r\0 end";
    tags.Cover = {"image/png", "Front", std::vector<unsigned char>(3000, 0x89)};
    const std::string text = TagsRecordText(tags);
    const std::optional<Tags> back = ParseTagsRecord(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, tags);
    EXPECT_EQ(ParseTagsRecord(TagsRecordText(Tags{})), Tags{});
    for (std::size_t cut : {std::size_t{0}, std::size_t{5}, std::size_t{20}, text.size() / 2, text.size() - 1})
        EXPECT_FALSE(ParseTagsRecord(text.substr(0, cut))) << cut;
    EXPECT_FALSE(ParseTagsRecord(text + "x"));

    test::TempDir dir;
    EXPECT_EQ(ReadTagsRecord(dir.Path() + "/"), Tags{});  // none there
    ASSERT_TRUE(ReplaceFileContent(dir / TagsRecordName, text));
    EXPECT_EQ(ReadTagsRecord(dir.Path() + "/"), tags);
    EXPECT_FALSE(std::filesystem::exists(dir / (std::string(TagsRecordName) + ".new")));
}

// A write of newBytes over oldBytes at offset, cut off after pagesThrough
// pages: what a witness of each page part says of the result.
std::vector<bool> Witnessed(std::uint64_t offset, const std::vector<unsigned char>& oldBytes,
                            const std::vector<unsigned char>& newBytes, std::size_t pagesThrough)
{
    OldPages old;
    old.Take(offset, oldBytes.data(), oldBytes.size());
    std::vector<PageWitness> witnesses;
    old.Witness(newBytes.data(), witnesses);
    const std::vector<PagePart> parts = PageParts(offset, oldBytes.size());
    EXPECT_EQ(witnesses.size(), parts.size());
    std::vector<unsigned char> file = oldBytes;
    for (std::size_t p = 0; p < parts.size() && p < pagesThrough; ++p)
        std::copy_n(newBytes.begin() + parts[p].Start, parts[p].Bytes, file.begin() + parts[p].Start);
    std::vector<bool> holdsNew;
    for (std::size_t p = 0; p < parts.size(); ++p)
        holdsNew.push_back(HoldsNew(witnesses[p], file.data() + parts[p].Start, parts[p].Bytes));
    return holdsNew;
}

TEST(PageWitnessTest, TellsThePagesAWriteCutOffReachedFromThoseItDidNot)
{
    std::mt19937 random(5);
    auto noise = [&](std::size_t n) {
        std::vector<unsigned char> bytes(n);
        for (auto& b : bytes)
            b = static_cast<unsigned char>(random());
        return bytes;
    };
    const std::size_t bytes = 5 * SectorBytes + 1000;
    struct Case {
        const char* Name;
        std::vector<unsigned char> Old, New;
    };
    std::vector<Case> cases;
    cases.push_back({"noise rewritten", noise(bytes), noise(bytes)});
    // Differing only past the first bytes of each page: silence with
    // sound further on, changed where the sound is; and changed only at
    // the far end of a page.
    std::vector<unsigned char> silence(bytes, 0), sound = silence;
    for (std::size_t i = 0; i < bytes; ++i)
        sound[i] = i % SectorBytes > SectorBytes * 3 / 4 ? static_cast<unsigned char>(i) : 0;
    std::vector<unsigned char> louder = sound;
    for (auto& b : louder)
        b = static_cast<unsigned char>(b * 2);
    cases.push_back({"sound after silence", sound, louder});
    std::vector<unsigned char> lastByte = noise(bytes), lastChanged = lastByte;
    for (std::size_t i = SectorBytes - 1; i < bytes; i += SectorBytes)
        lastChanged[i] ^= 1;
    cases.push_back({"a page's last byte", lastByte, lastChanged});
    cases.push_back({"unchanged silence", silence, silence});
    for (const Case& c : cases) {
        for (const std::uint64_t offset : {std::uint64_t{0}, std::uint64_t{44}, 3 * SectorBytes - 1}) {
            const std::size_t parts = PagePartCount(offset, bytes);
            for (std::size_t through = 0; through <= parts; ++through) {
                SCOPED_TRACE(testing::Message() << c.Name << " at " << offset << ", " << through << " pages through");
                const std::vector<bool> holds = Witnessed(offset, c.Old, c.New, through);
                for (std::size_t p = 0; p < parts; ++p) {
                    // A part the write did not reach holds the new bytes
                    // only where they are the old ones.
                    const PagePart part = PageParts(offset, bytes)[p];
                    const bool same = std::equal(c.Old.begin() + part.Start, c.Old.begin() + part.Start + part.Bytes,
                                                 c.New.begin() + part.Start);
                    EXPECT_EQ(holds[p], p < through || same) << "part " << p;
                }
            }
        }
    }
}

TEST(RewriteLogTest, GivesBackTheLastNoteOfItsOwnRewriteOnly)
{
    test::TempDir dir;
    const std::string path = dir.Path() + "/edit.log";
    {
        RewriteLog log = RewriteLog::Open(path);
        ASSERT_TRUE(log);
        EXPECT_FALSE(log.Last(1));
        log.Begin(1);
        EXPECT_FALSE(log.Last(1));
        std::vector<PageWitness> witnesses(3);
        witnesses[1].How = PageWitness::Byte;
        witnesses[1].At = 7;
        witnesses[1].NewValue = 9;
        File target = File::Open(dir.Path() + "/work", File::Mode::Create);
        ASSERT_TRUE(log.Write(target, 4, 0, 100, 4096, 0, {}));
        ASSERT_TRUE(log.Write(target, 4, 1, 4196, 4096, 77, witnesses));
    }
    // Another process's view of the same file.
    RewriteLog again = RewriteLog::Open(path);
    const std::optional<RewriteLog::Note> last = again.Last(1);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->Phase, 4u);
    EXPECT_EQ(last->Op, 1u);
    EXPECT_EQ(last->Offset, 4196u);
    EXPECT_EQ(last->Extra, 77u);
    ASSERT_EQ(last->Witnesses.size(), 3u);
    EXPECT_EQ(last->Witnesses[1].At, 7u);
    EXPECT_FALSE(again.Last(2));  // a note of rewrite 1 is never rewrite 2's
    again.Begin(2);
    EXPECT_FALSE(again.Last(1));
    EXPECT_FALSE(again.Last(2));
}

// A power cut may tear the newest note; its block was never written (a
// block waits for its note to be on the disk), so the note before it is
// the last - and the next note goes where the torn one was.
TEST(RewriteLogTest, ATornNewestNoteGivesBackTheOneBefore)
{
    test::TempDir dir;
    const std::string path = dir.Path() + "/edit.log";
    File target = File::Open(dir.Path() + "/work", File::Mode::Create);
    {
        RewriteLog log = RewriteLog::Open(path);
        ASSERT_TRUE(log.Begin(3));
        ASSERT_TRUE(log.Write(target, 1, 10, 0, 1, 0, {}));
        ASSERT_TRUE(log.Write(target, 1, 11, 0, 1, 0, {}));
    }
    {
        // The second of the two slots holds note 2: a byte of it torn.
        File raw = File::Open(path, File::Mode::ReadWrite);
        const std::uint64_t secondSlot = 64 + (raw.Size() - 64) / 2;
        const unsigned char torn = 0x5a;
        ASSERT_TRUE(raw.WriteAt(secondSlot + 40, &torn, 1));
    }
    std::optional<RewriteLog::Note> last;
    {
        // (A log is held by one handle at a time.)
        RewriteLog log = RewriteLog::Open(path);
        last = log.Last(3);
        ASSERT_TRUE(last);
        EXPECT_EQ(last->Op, 10u);
        ASSERT_TRUE(log.Write(target, 1, 12, 0, 1, 0, {}));
    }
    last = RewriteLog::Open(path).Last(3);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->Op, 12u);
    // And the note before it is still whole: tear the newest again.
    {
        File raw = File::Open(path, File::Mode::ReadWrite);
        const std::uint64_t secondSlot = 64 + (raw.Size() - 64) / 2;
        const unsigned char torn = 0xa5;
        ASSERT_TRUE(raw.WriteAt(secondSlot + 40, &torn, 1));
    }
    last = RewriteLog::Open(path).Last(3);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->Op, 10u);
}

TEST(PrivateTempFolderTest, AFolderLeftBehindIsAdoptedAndGivenUpAsItWas)
{
    const test::TempDir base;
    ::setenv("TMPDIR", base.Path().c_str(), 1);
    const std::string left = base.Path() + "/velmora-L3ft0v";
    std::filesystem::create_directory(left);
    std::filesystem::permissions(left, std::filesystem::perms::owner_all);
    test::WriteWholeFile(left + "/velmora.lock", {});
    test::WriteWholeFile(left + "/AudioTemp.wav", {1, 2, 3});
    {
        PrivateTempFolder folder([](const std::filesystem::path&) { return true; });
        ASSERT_TRUE(folder.IsValid());
        const std::string own = folder.Path();
        ASSERT_TRUE(folder.Adopt(left));
        EXPECT_EQ(folder.Path(), left + "/");
        // Held now: no other instance finds it abandoned or adopts it.
        EXPECT_TRUE(PrivateTempFolder::Abandoned(base.Path()).empty());
        PrivateTempFolder other([](const std::filesystem::path&) { return true; });
        EXPECT_FALSE(other.Adopt(left));
        folder.Abandon();
        EXPECT_EQ(folder.Path(), own);
        EXPECT_EQ(test::ReadWholeFile(left + "/AudioTemp.wav"), (std::vector<unsigned char>{1, 2, 3}));
        ASSERT_TRUE(folder.Adopt(left));
    }
    // Adopted to the end, it goes with the instance.
    EXPECT_FALSE(std::filesystem::exists(left));
    ::unsetenv("TMPDIR");
}

} // namespace
} // namespace velmora
