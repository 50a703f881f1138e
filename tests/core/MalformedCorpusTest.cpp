// A corpus of malformed WAV files, each opened as the Open command does,
// edited by every edit and saved in all three formats.  Run under the
// sanitizers it proves that no header, however broken, makes the program
// read or write out of bounds; in every build it checks that the document
// always agrees with its working file and that no save leaves a temporary
// file behind.

#include "document/Document.h"
#include "import/OpenSequence.h"
#include "edit/EditSequence.h"
#include "export/SaveBody.h"
#include "support/Fakes.h"
#include "support/TempDir.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <filesystem>
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
        FinishOpen(doc);
        EXPECT_LE(doc.Channels, 2) << name;
        doc.SelStart = doc.ColumnCount / 4;
        for (const EditRequest& edit : edits) {
            doc.SelFinish = doc.ColumnCount - 1;
            RunEdit(doc, edit, progress, progress, dialogs);
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

} // namespace
} // namespace velmora
