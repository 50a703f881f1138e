// The save body's WAV path: a byte copy of the working file that replaces
// the destination only when it is complete.

#include "document/Document.h"
#include "export/SaveBody.h"
#include "support/Fakes.h"
#include "support/TempDir.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velmora {
namespace {

TEST(SaveBody, TemporaryOutputNameSitsBesideTheDestination)
{
    EXPECT_EQ(TemporaryOutputName("/music/song.mp3"), "/music/~song.mp3.tmp");
    EXPECT_EQ(TemporaryOutputName("song.wav"), "~song.wav.tmp");
}

class SaveBodyTest : public testing::Test {
protected:
    void SetUp() override
    {
        doc.WorkFile = dir / "AudioTemp.wav";
        test::WaveBuilder().Samples(test::RandomBytes(300000, 5)).WriteTo(doc.WorkFile);
    }

    test::TempDir dir;
    Document doc;
    test::RecordingDialogs dialogs;
    test::RecordingProgress bar;
};

TEST_F(SaveBodyTest, WaveCopyIsByteIdenticalAndReplacesTheDestination)
{
    const std::string destination = dir / "out.wav";
    test::WriteWholeFile(destination, {1, 2, 3});
    EXPECT_EQ(RunSaveBody(doc, destination, bar, dialogs), SaveEnd::Saved);
    EXPECT_EQ(test::ReadWholeFile(destination), test::ReadWholeFile(doc.WorkFile));
    EXPECT_FALSE(std::filesystem::exists(TemporaryOutputName(destination)));
    EXPECT_EQ(bar.Last(), 100);
    EXPECT_TRUE(dialogs.Messages.empty());
}

TEST_F(SaveBodyTest, FailedCopyLeavesTheDestinationAsItWas)
{
    const std::string destination = dir / "out.wav";
    test::WriteWholeFile(destination, {1, 2, 3});
    // A file size limit makes the copy fail part way, as a full disk would.
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{100000, 100000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        test::RecordingDialogs childDialogs;
        NullProgress none;
        const SaveEnd end = RunSaveBody(doc, destination, none, childDialogs);
        const bool ok = end == SaveEnd::Failed && childDialogs.Messages.size() == 1;
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(test::ReadWholeFile(destination), (std::vector<unsigned char>{1, 2, 3}));
    EXPECT_FALSE(std::filesystem::exists(TemporaryOutputName(destination)));
}

TEST_F(SaveBodyTest, DestinationInAMissingFolderFails)
{
    EXPECT_EQ(RunSaveBody(doc, dir / "no/such/folder/out.wav", bar, dialogs), SaveEnd::Failed);
    EXPECT_EQ(dialogs.Messages.size(), 1u);
}

} // namespace
} // namespace velmora
