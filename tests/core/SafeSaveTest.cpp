// Saves that cannot be turned against the user: a planted link is never
// followed, the temporary output is the owner's alone until it is whole,
// two saves to one file never mix, and what the user set on the
// destination (a link, its owner, group and mode) stays.  In every format.

#include "document/Document.h"
#include "export/SaveBody.h"
#include "export/Wavtowma.h"
#include "platform/TemporaryOutput.h"
#include "support/Fakes.h"
#include "support/Media.h"
#include "support/TempDir.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

namespace velmora {
namespace {

const std::vector<unsigned char> VictimBytes = {'V', 'I', 'C', 'T', 'I', 'M'};

// A progress bar that runs something once, part way through the save.
class DuringSave final : public Progress {
public:
    explicit DuringSave(std::function<void()> action) : action_(std::move(action)) {}
    void SetPercent(int) override
    {
        if (action_)
            std::exchange(action_, nullptr)();
    }
    void KeepResponsive() override {}
    bool StopRequested() override { return false; }

private:
    std::function<void()> action_;
};

mode_t ModeOf(const std::string& path)
{
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

class SafeSaveTest : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        doc.WorkFile = work / "AudioTemp.wav";
        const auto samples = test::Sine16(22050, 2, 22050, 440, 0.5);
        test::WaveBuilder().Format(1, 2, 22050, 16).Samples(test::Pcm16(samples)).WriteTo(doc.WorkFile);
        doc.ProgramFolder = VELMORA_PLUGIN_DIR;
        doc.SampleRate = 22050;
        doc.Channels = 2;
        doc.BitsPerSample = 16;
        doc.DataOffset = 44;
        doc.DataSize = static_cast<std::uint32_t>(samples.size() * 2);
        doc.DataEnd = doc.DataOffset + doc.DataSize;
    }

    std::string Name(const std::string& stem) const { return stem + GetParam(); }

    SaveEnd Save(const std::string& destination, Progress& bar)
    {
        return RunSaveBody(doc, destination, bar, dialogs);
    }
    SaveEnd Save(const std::string& destination)
    {
        NullProgress none;
        return Save(destination, none);
    }

    // Whether path holds a whole file of the format (the ffmpeg tool
    // decodes about the document's length from it).
    bool IsWhole(const std::string& path)
    {
        const auto decoded = test::DecodeWithFfmpeg(path);
        return decoded.size() >= 2u * 22050 * 9 / 10;
    }

    test::TempDir dir;
    test::TempDir work;
    Document doc;
    test::RecordingDialogs dialogs;
};

// A link planted under the temporary output's name (in a folder others may
// write to) is a leftover, not a file to write through: the save goes on
// beside it and what it points at stays as it was.
TEST_P(SafeSaveTest, APlantedLinkIsNeverFollowed)
{
    const std::string victim = dir / "victim";
    test::WriteWholeFile(victim, VictimBytes);
    const std::string destination = dir / Name("song");
    std::filesystem::create_symlink(victim, TemporaryOutputName(destination));
    ASSERT_EQ(Save(destination), SaveEnd::Saved) << testing::PrintToString(dialogs.Texts());
    EXPECT_EQ(test::ReadWholeFile(victim), VictimBytes);
    EXPECT_TRUE(IsWhole(destination));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(TemporaryOutputName(destination))));
}

// 0600 while it is written, whatever the umask; then the destination's mode,
// or for a new file 0666 less the umask.  Owner and group of a file being
// replaced are kept where the process may set them.
TEST_P(SafeSaveTest, TheTemporaryOutputIsTheOwnersAloneUntilItIsWhole)
{
    const mode_t umaskBefore = ::umask(022);
    const std::string fresh = dir / Name("fresh");
    mode_t whileWritten = 0;
    DuringSave look([&] { whileWritten = ModeOf(TemporaryOutputName(fresh)); });
    ASSERT_EQ(Save(fresh, look), SaveEnd::Saved);
    EXPECT_EQ(whileWritten, 0600u);
    EXPECT_EQ(ModeOf(fresh), 0644u);

    ::umask(077);
    EXPECT_EQ(Save(dir / Name("private")), SaveEnd::Saved);
    EXPECT_EQ(ModeOf(dir / Name("private")), 0600u);
    ::umask(umaskBefore);

    const std::string kept = dir / Name("kept");
    test::WriteWholeFile(kept, VictimBytes);
    ASSERT_EQ(::chmod(kept.c_str(), 0640), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(kept.c_str(), 1234, 5678), 0);
    }
    ASSERT_EQ(Save(kept), SaveEnd::Saved);
    EXPECT_EQ(ModeOf(kept), 0640u);
    struct stat info {};
    ASSERT_EQ(::stat(kept.c_str(), &info), 0);
    if (root) {
        EXPECT_EQ(info.st_uid, 1234u);
        EXPECT_EQ(info.st_gid, 5678u);
    }
    EXPECT_TRUE(IsWhole(kept));
}

// A second save to a file a first one is writing is refused as busy and
// removes nothing; the first one's bytes are what the destination holds.
// A leftover of a stopped save (no one holds it) is no obstacle.
TEST_P(SafeSaveTest, TwoSavesToOneFileNeverMix)
{
    const std::string destination = dir / Name("shared");
    SaveEnd second = SaveEnd::Saved;
    std::vector<std::string> secondSaid;
    DuringSave meanwhile([&] {
        test::RecordingDialogs own;
        NullProgress none;
        second = RunSaveBody(doc, destination, none, own);
        secondSaid = own.Texts();
    });
    ASSERT_EQ(Save(destination, meanwhile), SaveEnd::Saved);
    EXPECT_EQ(second, SaveEnd::Failed);
    EXPECT_EQ(secondSaid, std::vector<std::string>{"Cannot save the file."});
    EXPECT_TRUE(IsWhole(destination));

    // Another process holding the name (as a running save does).
    const std::string held = TemporaryOutputName(destination);
    const int fd = ::open(held.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "abc", 3), 3);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    const auto before = test::ReadWholeFile(destination);
    EXPECT_EQ(Save(destination), SaveEnd::Failed);
    EXPECT_EQ(test::ReadWholeFile(destination), before);
    EXPECT_EQ(test::ReadWholeFile(held), (std::vector<unsigned char>{'a', 'b', 'c'}));
    // Let go of, it is a leftover.
    ::close(fd);
    EXPECT_EQ(Save(destination), SaveEnd::Saved);
    EXPECT_FALSE(std::filesystem::exists(held));
}

// A destination that is a link keeps the link; its target gets the new
// content, written beside the target, with the target's mode.
TEST_P(SafeSaveTest, ALinkedDestinationKeepsItsLink)
{
    std::filesystem::create_directory(dir / "real");
    const std::string target = dir / ("real/" + Name("target"));
    test::WriteWholeFile(target, VictimBytes);
    ASSERT_EQ(::chmod(target.c_str(), 0604), 0);
    const std::string link = dir / Name("link");
    std::filesystem::create_symlink("real/" + Name("target"), link);
    bool besideTarget = false;
    DuringSave look([&] { besideTarget = std::filesystem::exists(TemporaryOutputNameFor(target)); });
    ASSERT_EQ(Save(link, look), SaveEnd::Saved);
    EXPECT_TRUE(besideTarget);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_TRUE(IsWhole(target));
    EXPECT_EQ(ModeOf(target), 0604u);
}

// Names up to the 255-byte limit, and names that are not UTF-8, save.
TEST_P(SafeSaveTest, LongAndNonUtf8NamesSave)
{
    const std::string extension = GetParam();
    std::string utf8Long;
    while (utf8Long.size() + 3 + extension.size() <= 251)
        utf8Long += "\xC3\xA9";  // é
    for (const std::string& name : {std::string(255 - extension.size(), 'n') + extension, utf8Long + extension,
                                    std::string("caf\xE9") + extension}) {
        const std::string destination = dir / name;
        EXPECT_EQ(Save(destination), SaveEnd::Saved) << name.size() << testing::PrintToString(dialogs.Texts());
        EXPECT_TRUE(IsWhole(destination)) << name.size();
        EXPECT_LE(std::filesystem::path(TemporaryOutputName(destination)).filename().string().size(), 255u);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 3);
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, SafeSaveTest, testing::Values(".wav", ".mp3", ".wma"),
                         [](const auto& info) { return std::string(info.param + 1); });

// The WMA writer plugin, asked by name, makes its file only where nothing
// is: never through a link.
TEST(WmaWriterPlugin, NeverWritesThroughALink)
{
    test::TempDir dir;
    test::RecordingDialogs dialogs;
    const std::string victim = dir / "victim";
    test::WriteWholeFile(victim, VictimBytes);
    std::filesystem::create_symlink(victim, dir / "planted.wma");
    WavToWma encoder(dialogs, VELMORA_PLUGIN_DIR);
    EXPECT_EQ(encoder.Open(dir / "planted.wma", 44100, 2, 96000), -1);
    EXPECT_EQ(test::ReadWholeFile(victim), VictimBytes);
}

} // namespace
} // namespace velmora
