// What the program reads that someone else may have put there: the source
// file, the configuration and language files, the folder it loads code
// from.  Each is refused at once, with its message, when it is not what it
// claims to be.

#include "document/Document.h"
#include "import/OpenSequence.h"
#include "platform/File.h"
#include "platform/IniFile.h"
#include "platform/LanguageFile.h"
#include "platform/PathText.h"
#include "support/Fakes.h"
#include "support/TempDir.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>

namespace velmora {
namespace {

using namespace std::chrono_literals;

struct Opened {
    OpenEnd End;
    std::vector<std::string> Messages;
    std::string WorkFile;
};

Opened Open(const std::string& source, const std::string& tempFolder)
{
    Document doc;
    doc.TempFolder = tempFolder;
    doc.SourceFile = source;
    test::RecordingDialogs dialogs;
    NullProgress none;
    const OpenEnd end = RunOpenBody(doc, none, none, dialogs);
    return {end, dialogs.Texts(), doc.WorkFile};
}

// Runs an open that must not wait; a FIFO it waits on anyway is given a
// writer and closed, so that the test fails instead of hanging.
Opened OpenWithoutWaiting(const std::string& source, const std::string& tempFolder)
{
    auto opening = std::async(std::launch::async, [&] { return Open(source, tempFolder); });
    if (opening.wait_for(10s) == std::future_status::timeout) {
        ADD_FAILURE() << source << " was waited on";
        const int fd = ::open(source.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    }
    return opening.get();
}

TEST(UntrustedInput, SourcesThatAreNoRegularFilesAreRefusedAtOnce)
{
    test::TempDir dir;
    test::TempDir work;
    for (const char* name : {"pipe.wav", "pipe.mp3", "pipe.wma"}) {
        const std::string fifo = dir / name;
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
        const Opened opened = OpenWithoutWaiting(fifo, work.Path());
        EXPECT_EQ(opened.End, OpenEnd::Failed) << name;
        EXPECT_EQ(opened.Messages, std::vector<std::string>{"Can not open the file."}) << name;
    }
    std::filesystem::create_directory(dir / "folder.wav");
    EXPECT_EQ(Open(dir / "folder.wav", work.Path()).Messages, std::vector<std::string>{"Can not open the file."});
    // A link to a real file is a real file.
    const std::string wav = test::WaveBuilder().Format(1, 1, 8000, 16).Samples(std::vector<unsigned char>(800, 0))
                                .WriteTo(dir / "real.wav");
    std::filesystem::create_symlink(wav, dir / "link.wav");
    EXPECT_EQ(Open(dir / "link.wav", work.Path()).End, OpenEnd::Loaded);
}

// Audio past what the working file's 32-bit sizes can hold is refused
// before anything is copied, whether the size field says so or is the
// "unknown" 0xFFFFFFFF of a streaming writer.  (Sparse files: no disk is
// used.)
TEST(UntrustedInput, AWaveTooLargeForTheWorkingFileIsRefusedBeforeTheCopy)
{
    test::TempDir dir;
    test::TempDir work;
    struct Case {
        const char* Name;
        std::uint32_t SizeField;
        std::uint64_t FileBytes;
        bool Refused;
    };
    constexpr std::uint64_t GiB = 1ull << 30;
    const Case cases[] = {
        {"unknown size, 4.25 GiB", 0xFFFFFFFFu, 4 * GiB + GiB / 4, true},
        {"stated size past 4 GiB", 0xFFFFFFF0u, 4 * GiB + 16, true},
        {"unknown size, just fits", 0xFFFFFFFFu, 0xFFFFFFFFull, false},
    };
    for (const Case& c : cases) {
        auto bytes = test::WaveBuilder().Format(1, 2, 44100, 16).Samples(std::vector<unsigned char>(4, 0)).Bytes();
        const std::string path = dir / "big.wav";
        bytes[40] = static_cast<unsigned char>(c.SizeField);
        bytes[41] = static_cast<unsigned char>(c.SizeField >> 8);
        bytes[42] = static_cast<unsigned char>(c.SizeField >> 16);
        bytes[43] = static_cast<unsigned char>(c.SizeField >> 24);
        test::WriteWholeFile(path, bytes);
        std::filesystem::resize_file(path, c.FileBytes);
        if (!c.Refused)
            continue;  // (copying 4 GiB proves nothing more)
        const Opened opened = Open(path, work.Path());
        EXPECT_EQ(opened.End, OpenEnd::Failed) << c.Name;
        EXPECT_EQ(opened.Messages, std::vector<std::string>{"The file is too large to be edited."}) << c.Name;
        EXPECT_FALSE(std::filesystem::exists(opened.WorkFile)) << c.Name;
    }
}

// The configuration file: a FIFO, a folder or a file too long to be ours
// under its name reads as empty, at once, and is never written over.
TEST(UntrustedInput, ConfigurationFilesThatAreNotOursAreNeitherWaitedOnNorWrittenOver)
{
    test::TempDir dir;
    const std::string fifo = dir / "fifo.ini";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    std::filesystem::create_directory(dir / "folder.ini");
    const std::string huge = dir / "huge.ini";
    test::WriteWholeFile(huge, std::vector<unsigned char>{'[', 'G', ']', '\n'});
    std::filesystem::resize_file(huge, IniFile::MaxBytes + 1);
    for (const std::string& path : {fifo, dir / "folder.ini", huge}) {
        auto reading = std::async(std::launch::async, [&] {
            IniFile file(path);
            return std::pair{file.ReadString("General", "Language", "none"), file.WriteString("General", "A", "1")};
        });
        ASSERT_EQ(reading.wait_for(10s), std::future_status::ready) << path;
        EXPECT_EQ(reading.get(), std::pair(std::string("none"), false)) << path;
        EXPECT_FALSE(OpenLanguageFile(path)) << path;
    }
    EXPECT_EQ(std::filesystem::file_size(huge), IniFile::MaxBytes + 1);

    // A missing file is made; a link to a regular one is followed.
    const std::string made = dir / "made.ini";
    EXPECT_TRUE(IniFile(made).WriteString("General", "Language", "English.ini"));
    std::filesystem::create_symlink(made, dir / "link.ini");
    EXPECT_TRUE(IniFile(dir / "link.ini").WriteString("General", "Ad", "0"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
    EXPECT_EQ(IniFile(made).ReadString("General", "Ad", ""), "0");
}

// The program's folder comes from the kernel's link to it, else from the
// name it was started by; never the current directory.
TEST(UntrustedInput, TheProgramsFolderIsNeverGuessed)
{
    test::TempDir dir;
    const std::string program = dir / "velmora-cli";
    test::WriteWholeFile(program, {});
    EXPECT_EQ(ExecutableFolderFrom("/proc/self/exe", nullptr), ExecutableFolder());
    EXPECT_FALSE(ExecutableFolder().empty());
    EXPECT_EQ(ExecutableFolderFrom(dir / "no-such-link", program.c_str()), dir.Path());
    EXPECT_EQ(ExecutableFolderFrom(dir / "no-such-link", nullptr), "");
    EXPECT_EQ(ExecutableFolderFrom(dir / "no-such-link", ""), "");
    EXPECT_EQ(ExecutableFolderFrom(dir / "no-such-link", (dir / "missing").c_str()), "");
    EXPECT_EQ(ExecutableFolderFrom(dir / "no-such-link", dir.Path().c_str()), "");  // a folder is no program
}

} // namespace
} // namespace velmora
