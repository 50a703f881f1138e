// A corpus of malformed WAV files, each opened as the Open command does,
// edited by every edit and saved in all three formats.  Run under the
// sanitizers it proves that no header, however broken, makes the program
// read or write out of bounds; in every build it checks that the document
// always agrees with its working file and that no save leaves a temporary
// file behind.  Beside it, damaged files of the kinds opened through the
// decoder: each opens to what the decoder reads of it in one piece, or is
// refused with one message.

#include "document/Document.h"
#include "import/OpenSequence.h"
#include "edit/EditSequence.h"
#include "export/SaveBody.h"
#include "platform/audio/DecodeChannel.h"
#include "support/Fakes.h"
#include "support/Process.h"
#include "support/TempDir.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>

namespace velmora {
namespace {

using Bytes = std::vector<unsigned char>;
using test::WaveBuilder;

void PutU16(Bytes& b, std::size_t at, std::uint16_t v)
{
    if (at + 2 <= b.size()) {
        b[at] = static_cast<unsigned char>(v);
        b[at + 1] = static_cast<unsigned char>(v >> 8);
    }
}

void PutU32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4 && at + static_cast<std::size_t>(i) < b.size(); ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(v >> (8 * i));
}

// Named damaged variants of a valid stereo 16-bit file of a few columns
// (fmt at 12, its fields at 20..35, data's size at 40, samples from 44).
std::vector<std::pair<std::string, Bytes>> MalformedCorpus()
{
    const Bytes good = WaveBuilder()
                           .Format(1, 2, 8000, 16)
                           .Samples(test::RandomBytes(4u * 31000, 11))
                           .ChunkAfterData("id3 ", Bytes(9, 'x'))
                           .Bytes();
    std::vector<std::pair<std::string, Bytes>> corpus;
    auto variant = [&](const std::string& name, auto change) {
        Bytes b = good;
        change(b);
        corpus.emplace_back(name, std::move(b));
    };
    for (std::size_t cut : {0, 3, 4, 11, 12, 19, 24, 35, 36, 40, 43, 44, 45, 46, 47, 5000})
        variant("cut at " + std::to_string(cut), [cut](Bytes& b) { b.resize(cut); });
    for (std::uint16_t channels : {0, 3, 6, 255, 65535})
        variant("channels " + std::to_string(channels), [channels](Bytes& b) { PutU16(b, 22, channels); });
    for (std::uint32_t rate : {0u, 1u, 7u, 768001u, 0x7FFFFFFFu, 0xFFFFFFFFu})
        variant("rate " + std::to_string(rate), [rate](Bytes& b) { PutU32(b, 24, rate); });
    for (std::uint16_t bits : {0, 1, 4, 12, 24, 32, 65535})
        variant("bits " + std::to_string(bits), [bits](Bytes& b) { PutU16(b, 34, bits); });
    for (std::uint16_t tag : {0, 2, 3, 0xFFFE})
        variant("tag " + std::to_string(tag), [tag](Bytes& b) { PutU16(b, 20, tag); });
    for (std::uint32_t size : {0u, 14u, 15u, 17u, 0x7FFFFFFFu, 0xFFFFFFFFu})
        variant("fmt size " + std::to_string(size), [size](Bytes& b) { PutU32(b, 16, size); });
    for (std::uint32_t size : {0u, 1u, 3u, 5u, 0x7FFFFFFFu, 0xFFFFFFFFu})
        variant("data size " + std::to_string(size), [size](Bytes& b) { PutU32(b, 40, size); });
    for (std::uint32_t size : {0u, 4u, 0xFFFFFFFFu})
        variant("riff size " + std::to_string(size), [size](Bytes& b) { PutU32(b, 4, size); });
    variant("block align 0", [](Bytes& b) { PutU16(b, 32, 0); });
    variant("no data tag", [](Bytes& b) { b[36] = 'D'; });
    variant("no fmt tag", [](Bytes& b) { b[12] = 'F'; });
    variant("mono with an odd payload", [](Bytes& b) { PutU16(b, 22, 1); b.resize(b.size() - 10); });
    variant("eight bits with many channels", [](Bytes& b) { PutU16(b, 34, 8); PutU16(b, 22, 3000); });
    corpus.emplace_back("chunk running past the end",
                        [] {
                            Bytes b = WaveBuilder().ChunkBeforeData("LIST", Bytes(8, 'a')).Samples(Bytes(4000, 1)).Bytes();
                            PutU32(b, 40, 0xFFFFFFF0u);
                            return b;
                        }());
    corpus.emplace_back("odd chunk without its pad",
                        WaveBuilder().ChunkBeforeData("LIST", Bytes(7, 'a'), false).Samples(Bytes(4000, 1)).Bytes());
    corpus.emplace_back("two data chunks",
                        WaveBuilder().Samples(Bytes(4000, 1)).ChunkAfterData("data", Bytes(4000, 2)).Bytes());
    std::mt19937 random(1207);
    for (int i = 0; i < 20; ++i) {
        variant("flipped header " + std::to_string(i), [&random](Bytes& b) {
            for (int k = 0; k < 3; ++k)
                b[std::uniform_int_distribution<std::size_t>(0, 47)(random)] ^=
                    static_cast<unsigned char>(1u << std::uniform_int_distribution<int>(0, 7)(random));
        });
    }
    return corpus;
}

// The kinds opened through the decoder, each made whole by the ffmpeg tool
// from one two-second stereo signal (the lossless ones then exceed 256 KiB
// and are decoded in segments), then damaged: cut short, a size or header
// field made to lie (the tags' too), a block zeroed or overwritten in the
// middle, bits flipped in the header and near the end (where M4A keeps its
// index).
std::vector<std::pair<std::string, Bytes>> DecodedMalformedCorpus(const std::string& folder)
{
    struct Field {
        const char* After;  // at the first place this text appears,
        int Offset;         // plus this many bytes: four of them, big-endian
    };
    const std::vector<Field> mp4 = {{"moov", -4}, {"trak", -4}, {"stsd", -4}, {"stsd", 8}, {"stts", 12},
                                    {"stsz", 8},  {"stsz", 12}, {"stco", 8},  {"stco", 12}, {"mdhd", 16}};
    const struct {
        const char* Name;
        const char* Codec;
        std::vector<Field> Lies;
    } sources[] = {
        {"a.flac", "flac", {{"fLaC", 4}, {"fLaC", 8}, {"fLaC", 18}, {"fLaC", 22}, {"Lavf", -8}, {"Lavf", -4}}},
        // A lie in an Ogg page fails its checksum: the demuxer drops the page.
        {"a.ogg", "libvorbis", {{"OggS", 26}, {"\x01vorbis", 11}}},
        {"a.opus", "libopus", {{"OggS", 26}, {"OpusHead", 9}}},
        {"aac.m4a", "aac", mp4},
        {"alac.m4a", "alac", mp4},
        {"a.aac", "aac", {{"\xFF\xF1", 2}, {"\xFF\xF1", 4}}},
        {"a.aiff", "pcm_s24be", {{"FORM", 4}, {"COMM", 4}, {"COMM", 8}, {"COMM", 14}, {"SSND", 4}, {"SSND", 8}}},
    };
    std::vector<std::pair<std::string, Bytes>> corpus;
    std::mt19937 random(1208);
    for (const auto& source : sources) {
        const std::string path = folder + source.Name;
        const auto made = test::RunProcess({"ffmpeg", "-nostdin", "-v", "error", "-f", "lavfi", "-i",
                                            "aevalsrc=0.4*sin(2*PI*440*t)+0.05*(random(0)-0.5)|"
                                            "0.3*sin(2*PI*1250*t)+0.05*(random(1)-0.5):s=44100:d=2",
                                            "-c:a", source.Codec, path});
        const Bytes good = test::ReadWholeFile(path);
        const std::size_t size = good.size();
        if (made.ExitCode != 0 || size < 8000) {
            ADD_FAILURE() << source.Name << ": " << made.Err;
            continue;
        }
        auto variant = [&](const std::string& name, auto change) {
            Bytes b = good;
            change(b);
            corpus.emplace_back(source.Name + (" " + name), std::move(b));
        };
        for (std::size_t cut : std::initializer_list<std::size_t>{0, 4, 12, 40, 100, size / 3, size / 2, size - 1})
            variant("cut at " + std::to_string(cut), [cut](Bytes& b) { b.resize(cut); });
        for (std::size_t n = 0; n < source.Lies.size(); ++n) {
            const Field& field = source.Lies[n];
            const Bytes text(field.After, field.After + std::strlen(field.After));
            const auto found = std::search(good.begin(), good.end(), text.begin(), text.end());
            if (found == good.end()) {
                ADD_FAILURE() << source.Name << " has no field " << n;
                continue;
            }
            const auto at = static_cast<std::size_t>(found - good.begin() + field.Offset);
            for (std::uint32_t value : {0u, 1u, 0x7FFFFFFFu, 0xFFFFFFFFu})
                variant("field " + std::to_string(n) + " = " + std::to_string(value),
                        [&](Bytes& b) { PutU32(b, at, __builtin_bswap32(value)); });
        }
        variant("zeroed middle", [](Bytes& b) { std::fill_n(b.begin() + b.size() / 2, 2000, 0); });
        variant("garbage in the middle", [&](Bytes& b) {
            const Bytes garbage = test::RandomBytes(64, static_cast<std::uint32_t>(size));
            std::copy(garbage.begin(), garbage.end(), b.begin() + b.size() / 2 + 1000);
        });
        for (int i = 0; i < 8; ++i)
            variant("flipped " + std::to_string(i), [&](Bytes& b) {
                const std::size_t from = i % 2 == 0 ? 0 : size - 1000;
                for (int k = 0; k < 3; ++k)
                    b[std::uniform_int_distribution<std::size_t>(from, from + (i % 2 == 0 ? 200 : 1000) - 1)(random)] ^=
                        static_cast<unsigned char>(1u << std::uniform_int_distribution<int>(0, 7)(random));
            });
    }
    return corpus;
}

TEST(MalformedCorpus, OpensEditsAndSavesEveryFileSafely)
{
    const auto corpus = MalformedCorpus();
    ASSERT_GE(corpus.size(), 50u);
    test::TempDir dir;
    const EditRequest edits[] = {{EditCommand::FadeIn},  {EditCommand::Volume, 1.5f, false},
                                 {EditCommand::Volume, 1.0f, true}, {EditCommand::FadeOut},
                                 {EditCommand::Delete}, {EditCommand::CutOut}};
    int loaded = 0;
    for (const auto& [name, bytes] : corpus) {
        const std::string source = dir / "in.wav";
        test::WriteWholeFile(source, bytes);
        Document doc;
        EditHistory history;
        doc.TempFolder = dir / "";
        doc.SourceFile = source;
        doc.ProgramFolder = VELMORA_PLUGIN_DIR;
        test::RecordingDialogs dialogs;
        NullProgress progress;
        if (RunOpenBody(doc, progress, progress, dialogs) != OpenEnd::Loaded) {
            EXPECT_EQ(dialogs.Messages.size(), 1u) << name;
            continue;
        }
        ++loaded;
        FinishOpen(doc, history);
        EXPECT_LE(doc.Channels, 2) << name;
        SetMarkers(doc, doc.ColumnCount / 4, doc.SelFinish);
        for (const EditRequest& edit : edits) {
            SetMarkers(doc, doc.SelStart, doc.ColumnCount - 1);
            RunEdit(doc, history, edit, progress, progress, dialogs);
            EXPECT_EQ(doc.PeakUpper.size(), doc.ColumnCount) << name;
            EXPECT_EQ(doc.DataEnd - doc.DataOffset, doc.DataSize) << name;
            EXPECT_LE(doc.DataEnd, std::filesystem::file_size(doc.WorkFile)) << name;
        }
        for (const char* output : {"out.wav", "out.mp3", "out.wma"}) {
            const std::string destination = dir / output;
            const SaveEnd end = RunSaveBody(doc, destination, progress, dialogs);
            EXPECT_NE(end, SaveEnd::Cancelled) << name << " " << output;
            EXPECT_FALSE(std::filesystem::exists(TemporaryOutputName(destination))) << name << " " << output;
            std::filesystem::remove(destination);
        }
    }
    // Some of the damage is only skin-deep: those files must still open.
    EXPECT_GE(loaded, 10);
}

// What the decoder delivers, reading path in one piece.
Bytes DecodedInOnePiece(const std::string& path)
{
    Bytes all;
    auto channel = DecodeChannel::Open(path);
    std::vector<unsigned char> block(1 << 16);
    for (std::uint32_t got = 0; channel && (got = channel->Read(block.data(), 1u << 16)) != ~0u;)
        all.insert(all.end(), block.begin(), block.begin() + got);
    return all;
}

// A damaged file of a decoded kind opens to exactly what the decoder makes
// of it in one piece, however the lossless kinds were split, or is refused
// with one message; either way nothing of the decode is left in the
// working folder.  (The ffmpeg tool is no yardstick here: it drops packets
// whose timestamps the damage sent backwards, and keeps a lying header's
// channels.)
TEST(MalformedCorpus, DecodedKindsOpenAsTheirDecoderReadsThemOrAreRefused)
{
    test::TempDir dir;
    const std::string work = dir / "work/";
    std::filesystem::create_directory(work);
    const auto corpus = DecodedMalformedCorpus(dir.Path());
    ASSERT_GE(corpus.size(), 150u);
    std::map<std::string, int> loaded;
    for (const auto& [name, bytes] : corpus) {
        const std::string kind = name.substr(0, name.find(' '));
        const std::string source = dir / ("damaged" + kind.substr(kind.find('.')));
        test::WriteWholeFile(source, bytes);
        Document doc;
        EditHistory history;
        doc.TempFolder = work;
        doc.SourceFile = source;
        doc.ProgramFolder = VELMORA_PLUGIN_DIR;
        test::RecordingDialogs dialogs;
        NullProgress progress;
        if (RunOpenBody(doc, progress, progress, dialogs) == OpenEnd::Loaded) {
            ++loaded[kind];
            EXPECT_GT(doc.TotalFrames, 0u) << name;
            EXPECT_TRUE(doc.Channels == 1 || doc.Channels == 2) << name;
            EXPECT_EQ(doc.PeakUpper.size(), doc.ColumnCount) << name;
            const Bytes file = test::ReadWholeFile(doc.WorkFile);
            ASSERT_EQ(doc.DataEnd, file.size()) << name;
            ASSERT_EQ(doc.DataEnd - doc.DataOffset, doc.DataSize) << name;
            const Bytes whole = DecodedInOnePiece(source);
            EXPECT_TRUE(std::equal(file.begin() + doc.DataOffset, file.end(), whole.begin(), whole.end()))
                << name << ": " << doc.DataSize << " bytes, in one piece " << whole.size();
            std::filesystem::remove(doc.WorkFile);
        } else {
            EXPECT_EQ(dialogs.Messages.size(), 1u) << name;
        }
        EXPECT_TRUE(std::filesystem::is_empty(work)) << name;
    }
    // Damage past the header leaves each kind something to open.
    for (const char* kind : {"a.flac", "a.ogg", "a.opus", "aac.m4a", "alac.m4a", "a.aac", "a.aiff"})
        EXPECT_GE(loaded[kind], 5) << kind;
}

} // namespace
} // namespace velmora
