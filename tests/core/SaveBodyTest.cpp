// The save body's WAV path: a byte copy of the working file that replaces
// the destination only when it is complete.

#include "document/Document.h"
#include "platform/FileFormats.h"
#include "export/SaveBody.h"
#include "export/SaveSequence.h"
#include "platform/File.h"
#include "support/Fakes.h"
#include "support/Media.h"
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

TEST(SaveBody, SaveAsAppendsTheExtensionOfTheFilterEntry)
{
    struct Case {
        const char* Chosen;
        int Entry;
        const char* Opened;
        const char* Written;
    } cases[] = {
        {"/m/song", 3, "/m/a.wav", "/m/song.mp3"},
        {"/m/song.MP3", 2, "/m/a.wav", "/m/song.MP3"},
        {"/m/song.txt", 2, "/m/a.wav", "/m/song.txt.wav"},
        {"/m/song", 4, "/m/a.wav", "/m/song.wma"},
        {"/m/song", 5, "/m/a.wma", "/m/song.wma"},
        {"/m/song", 1, "/m/a.Mp3", "/m/song.Mp3"},
        {"/m/song", 5, "/m/noext", "/m/song"},
        {"/m.d/song", 2, "/m/a.wav", "/m.d/song.wav"},
        // The later formats' entries come after every file's.
        {"/m/song", 6, "/m/a.wav", "/m/song.flac"},
        {"/m/song", 8, "/m/a.wav", "/m/song.opus"},
        {"/m/song", 9, "/m/a.wav", "/m/song.wav"},
        {"/m/song.oga", 7, "/m/a.wav", "/m/song.oga"},
        // An opened kind that is not saved gives way to WAV.
        {"/m/song", 1, "/m/a.m4a", "/m/song.wav"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CompleteSaveName(c.Chosen, c.Entry, c.Opened), c.Written) << c.Chosen << " " << c.Entry;
    // The entries those numbers count, as the dialogs show them without a
    // language file: made from the formats table, word for word.
    const std::string saving =
        "All Support Files(*.wav;*.mp3;*.wma;*.flac;*.ogg;*.oga;*.opus)|*.wav;*.mp3;*.wma;*.flac;*.ogg;*.oga;*.opus|"
        "WAV Files(*.wav)|*.wav|MP3 Files(*.mp3)|*.mp3|WMA Files(*.wma)|*.wma|All Files(*.*)|*.*|"
        "FLAC Files(*.flac)|*.flac|Ogg Vorbis Files(*.ogg;*.oga)|*.ogg;*.oga|Opus Files(*.opus)|*.opus";
    EXPECT_EQ(DefaultFileFilter(), saving);
    // A language file's filter, as it always was, gains the same.
    const std::string german = "Alle unterstützten Dateien(*.wav;*.mp3;*.wma)|*.wav;*.mp3;*.wma|WAV-Dateien(*.wav)|"
                               "*.wav|MP3-Dateien(*.mp3)|*.mp3|WMA-Dateien(*.wma)|*.wma|Alle Dateien(*.*)|*.*";
    const std::string opening = FilterWithEveryFormat(german, false);
    EXPECT_EQ(opening.substr(0, opening.find("|WAV")),
              "Alle unterstützten Dateien(*.wav;*.mp3;*.wma;*.flac;*.ogg;*.oga;*.opus;*.m4a;*.aac;*.aiff;*.aif)|"
              "*.wav;*.mp3;*.wma;*.flac;*.ogg;*.oga;*.opus;*.m4a;*.aac;*.aiff;*.aif");
    EXPECT_NE(opening.find("Alle Dateien(*.*)|*.*|FLAC Files(*.flac)|*.flac|"), std::string::npos);
    EXPECT_NE(opening.find("|AIFF Files(*.aiff;*.aif)|*.aiff;*.aif"), std::string::npos);
    EXPECT_EQ(FilterWithEveryFormat(DefaultFileFilter(), true), DefaultFileFilter());
    EXPECT_EQ(FormatOfFilterEntry(11, false)->Kind, FileKind::Aiff);
}

// The desktop entry is a file of its own: the types it offers the file
// manager are the table's, in its order, so a format added to the table
// and not to the entry (or the other way) is caught here.
TEST(FileFormats, TheDesktopEntryOffersTheTablesTypes)
{
    const auto entry = ReadSmallFile(VELMORA_DESKTOP_ENTRY, 1 << 16);
    ASSERT_TRUE(entry.has_value());
    std::string types;
    for (const FileFormat& format : FileFormats)
        types += format.MimeTypes;
    EXPECT_NE(entry->find("\nMimeType=" + types + "\n"), std::string::npos) << *entry;
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

TEST_F(SaveBodyTest, AReplacedFileKeepsItsPermissions)
{
    const std::string destination = dir / "private.wav";
    test::WriteWholeFile(destination, {1});
    std::filesystem::permissions(destination, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    ASSERT_EQ(RunSaveBody(doc, destination, bar, dialogs), SaveEnd::Saved);
    EXPECT_EQ(std::filesystem::status(destination).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
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

TEST_F(SaveBodyTest, CancelDoesNotStopTheCopy)
{
    bar.Stop = true;
    EXPECT_EQ(RunSaveBody(doc, dir / "out.wav", bar, dialogs), SaveEnd::Saved);
    EXPECT_EQ(test::ReadWholeFile(dir / "out.wav"), test::ReadWholeFile(doc.WorkFile));
}

TEST_F(SaveBodyTest, DestinationInAMissingFolderFails)
{
    EXPECT_EQ(RunSaveBody(doc, dir / "no/such/folder/out.wav", bar, dialogs), SaveEnd::Failed);
    EXPECT_EQ(dialogs.Messages.size(), 1u);
}

// A kind that is opened only is never written: the WAV working file would
// sit under its name.
TEST_F(SaveBodyTest, AnOpenedOnlyKindIsRefused)
{
    EXPECT_EQ(RunSaveBody(doc, dir / "out.m4a", bar, dialogs), SaveEnd::Failed);
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Text, "Files of this type can be opened but not saved.\nPlease choose another type.");
    EXPECT_FALSE(std::filesystem::exists(dir / "out.m4a"));
}

TEST_F(SaveBodyTest, AReadOnlyDestinationIsLeftAlone)
{
    for (const char* name : {"ro.wav", "ro.mp3"}) {
        const std::string destination = dir / name;
        test::WriteWholeFile(destination, {9, 9});
        std::filesystem::permissions(destination, std::filesystem::perms::owner_read);
        doc.ProgramFolder = VELMORA_PLUGIN_DIR;
        EXPECT_EQ(RunSaveBody(doc, destination, bar, dialogs), SaveEnd::Failed) << name;
        EXPECT_EQ(test::ReadWholeFile(destination), (std::vector<unsigned char>{9, 9}));
    }
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>(2, "Cannot save the file."));
}

// ---- Encoded saves -------------------------------------------------------------

class EncodedSaveTest : public testing::Test {
protected:
    // A document over a working file written by the test.
    void Document16(std::uint32_t rate, int channels, std::uint32_t frames)
    {
        samples = test::Sine16(frames, channels, rate, 440, 0.5);
        Load(test::WaveBuilder().Format(1, static_cast<std::uint16_t>(channels), rate, 16).Samples(test::Pcm16(samples)),
             rate, channels, 16, static_cast<std::uint32_t>(samples.size() * 2));
    }

    void Load(const test::WaveBuilder& builder, std::uint32_t rate, int channels, int bits, std::uint32_t dataBytes)
    {
        doc.WorkFile = dir / "AudioTemp.wav";
        builder.WriteTo(doc.WorkFile);
        doc.ProgramFolder = VELMORA_PLUGIN_DIR;
        doc.SampleRate = static_cast<std::int32_t>(rate);
        doc.Channels = channels;
        doc.BitsPerSample = bits;
        doc.DataOffset = 44;
        doc.DataSize = dataBytes;
        doc.DataEnd = doc.DataOffset + doc.DataSize;
    }

    test::TempDir dir;
    Document doc;
    test::RecordingDialogs dialogs;
    test::RecordingProgress bar;
    std::vector<std::int16_t> samples;
};

TEST_F(EncodedSaveTest, Mp3OfAStereoAndAMonoDocument)
{
    const struct {
        std::uint32_t Rate;
        int Channels;
    } cases[] = {{44100, 2}, {22050, 1}};
    for (const auto& c : cases) {
        Document16(c.Rate, c.Channels, c.Rate * 2);
        doc.SourceBitrate = 0;
        const std::string out = dir / "song.mp3";
        ASSERT_EQ(RunSaveBody(doc, out, bar, dialogs), SaveEnd::Saved);
        EXPECT_EQ(doc.SourceBitrate, 128);  // the default is written into the document
        const auto facts = test::Probe(out);
        EXPECT_EQ(facts.SampleRate, static_cast<int>(c.Rate));
        EXPECT_EQ(facts.Channels, c.Channels);
        // Gapless: exactly the document's frames, in place.
        const auto decoded = test::DecodeWithFfmpeg(out);
        EXPECT_EQ(decoded.size(), samples.size());
        EXPECT_GT(test::SnrDb(samples, decoded, c.Channels, 0), 20.0);
        EXPECT_FALSE(std::filesystem::exists(TemporaryOutputName(out)));
        EXPECT_EQ(bar.Last(), 100);
    }
    EXPECT_TRUE(dialogs.Messages.empty());
}

TEST_F(EncodedSaveTest, MoreThanTwoChannelsAreMixedDownForMp3)
{
    // Six channels, one second: the MP3 is stereo and one second long.
    std::vector<std::int16_t> six;
    for (int f = 0; f < 44100; ++f)
        for (int c = 0; c < 6; ++c)
            six.push_back(static_cast<std::int16_t>(c % 2 == 0 ? 8000 : 0));
    Load(test::WaveBuilder().Format(1, 6, 44100, 16).Samples(test::Pcm16(six)), 44100, 6, 16,
         static_cast<std::uint32_t>(six.size() * 2));
    ASSERT_EQ(RunSaveBody(doc, dir / "six.mp3", bar, dialogs), SaveEnd::Saved);
    const auto facts = test::Probe(dir / "six.mp3");
    EXPECT_EQ(facts.Channels, 2);
    const auto decoded = test::DecodeWithFfmpeg(dir / "six.mp3");
    EXPECT_EQ(decoded.size() / 2, 44100u);
}

TEST_F(EncodedSaveTest, BitrateDefaultsAndTheLowRateCap)
{
    Document16(8000, 1, 8000);
    doc.SourceBitrate = 320;
    ASSERT_EQ(RunSaveBody(doc, dir / "low.mp3", bar, dialogs), SaveEnd::Saved);
    EXPECT_EQ(test::Probe(dir / "low.mp3").BitRate, 64000);
    EXPECT_EQ(doc.SourceBitrate, 320);

    Document16(44100, 2, 44100);
    doc.SourceBitrate = 0;
    ASSERT_EQ(RunSaveBody(doc, dir / "a.wma", bar, dialogs), SaveEnd::Saved);
    EXPECT_EQ(doc.SourceBitrate, 96);
    EXPECT_EQ(test::Probe(dir / "a.wma").BitRate, 96000);

    doc.SourceBitrate = 0;
    ASSERT_EQ(RunSaveBody(doc, dir / "b.mp3", bar, dialogs), SaveEnd::Saved);
    ASSERT_EQ(RunSaveBody(doc, dir / "b.wma", bar, dialogs), SaveEnd::Saved);
    EXPECT_EQ(test::Probe(dir / "b.wma").BitRate, 128000);  // the MP3 default stayed

    doc.SourceBitrate = 100;
    ASSERT_EQ(RunSaveBody(doc, dir / "c.mp3", bar, dialogs), SaveEnd::Saved);
    EXPECT_EQ(test::Probe(dir / "c.mp3").BitRate, 96000);  // rounded by the adapter
}

TEST_F(EncodedSaveTest, EightBitSamplesReachTheEncoderAs16Bit)
{
    const std::vector<std::uint8_t> bytes = {0, 128, 255, 1, 127, 129, 64, 192};
    std::vector<std::uint8_t> payload;
    for (int i = 0; i < 30; ++i)
        payload.insert(payload.end(), bytes.begin(), bytes.end());
    Load(test::WaveBuilder().Format(1, 2, 11025, 8).Samples(test::Pcm8(payload)).ChunkAfterData("LIST", std::vector<unsigned char>(50, 'z')),
         11025, 2, 8, static_cast<std::uint32_t>(payload.size()));
    doc.ProgramFolder = std::string(VELMORA_FAKE_PLUGIN_DIR) + "full/";
    ::setenv("FAKE_LAME_LOG", (dir / "log").c_str(), 1);
    ASSERT_EQ(RunSaveBody(doc, dir / "out.mp3", bar, dialogs), SaveEnd::Saved);
    ::unsetenv("FAKE_LAME_LOG");

    const auto log = test::ReadWholeFile(dir / "log");
    ASSERT_EQ(log.size(), payload.size() * 2);  // the chunk after the payload is not audio
    const std::int16_t expected[] = {-32767, 0, 32511, -32511, -255, 255, -16383, 16383};
    for (std::size_t i = 0; i < payload.size(); ++i)
        ASSERT_EQ(test::S16At(log, 2 * i), expected[i % 8]) << i;
    // Chunks of at most 100 samples: the fake plugin's chunk of 200 bytes
    // holds 100 bytes of 8-bit input.
    const auto chunks = test::ReadWholeFile(dir / "log.chunks");
    for (std::size_t at = 0; at < chunks.size(); at += 4)
        EXPECT_LE(test::U32At(chunks, at), 100u);
    // The file holds exactly the plugin's bytes.
    const auto out = test::ReadWholeFile(dir / "out.mp3");
    EXPECT_EQ(out.size(), 4 * chunks.size() / 4 + 4);
    EXPECT_EQ(std::string(out.end() - 4, out.end()), "DONE");
    const auto record = test::ReadWholeFile(dir / "log.config");
    EXPECT_EQ(record[8], 0);   // two channels: stereo
    EXPECT_EQ(record[9], 64);  // 11025 Hz caps the default 128 at 64
}

TEST_F(EncodedSaveTest, FailuresLeaveTheDestinationAndNoTemporaryFile)
{
    Document16(44100, 2, 44100 * 3);
    for (const char* name : {"song.mp3", "song.wma"}) {
        const std::string destination = dir / name;
        test::WriteWholeFile(destination, {1, 2, 3});

        // The plugins are missing.
        test::RecordingDialogs missing;
        doc.ProgramFolder = dir / "nowhere/";
        EXPECT_EQ(RunSaveBody(doc, destination, bar, missing), SaveEnd::Failed);
        EXPECT_EQ(missing.Messages.size(), 1u);

        // Cancel after the first chunk.
        doc.ProgramFolder = VELMORA_PLUGIN_DIR;
        test::RecordingProgress cancel;
        cancel.Stop = true;
        test::RecordingDialogs quiet;
        EXPECT_EQ(RunSaveBody(doc, destination, cancel, quiet), SaveEnd::Cancelled);
        EXPECT_TRUE(quiet.Messages.empty());

        // Writes fail part way, as on a full disk.
        const pid_t child = ::fork();
        if (child == 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{20000, 20000};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            test::RecordingDialogs childDialogs;
            NullProgress none;
            const bool ok = RunSaveBody(doc, destination, none, childDialogs) == SaveEnd::Failed &&
                            childDialogs.Texts() == std::vector<std::string>{"Cannot save the file."};
            ::_exit(ok ? 0 : 1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << name;

        EXPECT_EQ(test::ReadWholeFile(destination), (std::vector<unsigned char>{1, 2, 3})) << name;
        EXPECT_FALSE(std::filesystem::exists(TemporaryOutputName(destination))) << name;
    }
}

} // namespace
} // namespace velmora
