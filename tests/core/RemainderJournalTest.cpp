// The remainders' journal: whatever values go in come back in order, each
// chunk packed in the fewest bits that hold its spread; a short or
// unwritable journal is reported, never read as remainders.

#include "history/RemainderJournal.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace velmora {
namespace {

struct Spread {
    const char* Name;
    std::int64_t Least, Most;  // remainders drawn from [Least, Most]
    std::size_t PackedBytesPerChunk;
};

// Values drawn from [least, most], the ends among them.
std::vector<std::int16_t> Draw(std::int64_t least, std::int64_t most, std::size_t count, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::int64_t> pick(least, most);
    std::vector<std::int16_t> values(count);
    for (auto& value : values)
        value = static_cast<std::int16_t>(pick(random));
    values[0] = static_cast<std::int16_t>(least);
    values[count / 2] = static_cast<std::int16_t>(most);
    return values;
}

// Written in batches of uneven sizes, as the rewrite's blocks hand them
// over; the journal's length in bytes.
std::uint64_t WriteAll(const std::string& path, std::uint64_t at, const std::vector<std::int16_t>& values)
{
    RemainderWriter writer(File::Open(path, File::Mode::ReadWrite), at);
    const std::size_t batches[] = {1000, 1, 5000, 333};
    std::size_t done = 0;
    for (std::size_t i = 0; done < values.size(); ++i) {
        const std::size_t count = std::min(batches[i % std::size(batches)], values.size() - done);
        std::copy_n(values.data() + done, count, writer.Room(count));
        writer.Take(count);
        done += count;
    }
    EXPECT_TRUE(writer.Finish());
    return writer.Length();
}

TEST(RemainderJournalTest, EverySpreadComesBackInTheFewestBits)
{
    const Spread spreads[] = {
        {"one value", -7, -7, 0},           {"two values", -3, -2, 512},        {"four values", -1, 2, 1024},
        {"eight values", -4, 3, 1536},      {"sixteen values", 100, 115, 2048}, {"a hundred values", -99, 0, 3584},
        {"a byte", -128, 127, 4096},        {"every value", -32768, 32767, 8192},
    };
    test::TempDir dir;
    const std::string path = dir.Path() + "/journal";
    constexpr std::uint64_t At = 100;  // the journal's earlier steps
    std::vector<std::int16_t> everything;
    for (const Spread& spread : spreads) {
        SCOPED_TRACE(spread.Name);
        const auto values = Draw(spread.Least, spread.Most, 2 * RemainderChunk, 5);
        File::Open(path, File::Mode::Create);
        EXPECT_EQ(WriteAll(path, At, values), 2 * (5 + spread.PackedBytesPerChunk));
        everything.insert(everything.end(), values.begin(), values.end());
    }
    // All of them in one stream, long enough to go to the packer thread
    // several times, with a short last chunk and chunks that mix spreads.
    const std::vector<std::int16_t> once = everything;
    for (int i = 0; i < 10; ++i)
        everything.insert(everything.end(), once.begin(), once.end());
    everything.resize(everything.size() - 123);
    everything.erase(everything.begin(), everything.begin() + 1001);
    File::Open(path, File::Mode::Create);
    const std::uint64_t length = WriteAll(path, At, everything);

    File journal = File::Open(path, File::Mode::ReadWrite);
    RemainderReader reader(journal, At, length);
    // Read back in lengths that cut chunks and that take several whole.
    std::vector<std::int16_t> back(everything.size());
    for (std::size_t done = 0, i = 0; done < back.size(); ++i) {
        const std::size_t count = std::min<std::size_t>(i % 2 == 0 ? 777 : 3 * RemainderChunk + 5, back.size() - done);
        ASSERT_TRUE(reader.Next(back.data() + done, count)) << done;
        done += count;
    }
    EXPECT_EQ(back, everything);
    std::int16_t past = 0;
    EXPECT_FALSE(reader.Next(&past, 1));

    // A journal cut short gives out where it ends.
    RemainderReader shortReader(journal, At, length - 1);
    std::vector<std::int16_t> most(everything.size() - RemainderChunk);
    EXPECT_TRUE(shortReader.Next(most.data(), most.size()));
    EXPECT_FALSE(shortReader.Next(most.data(), RemainderChunk));
}

TEST(RemainderJournalTest, AJournalThatCannotBeWrittenIsReported)
{
    test::TempDir dir;
    const std::string path = dir.Path() + "/journal";
    File::Open(path, File::Mode::Create);
    RemainderWriter writer(File::Open(path, File::Mode::Read), 0);
    std::fill_n(writer.Room(10), 10, 3);
    writer.Take(10);
    EXPECT_FALSE(writer.Finish());
    EXPECT_EQ(writer.Length(), 0u);
}

} // namespace
} // namespace velmora
