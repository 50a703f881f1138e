// The read-ahead hands every block of the range over once, in order, as
// the file holds it, whichever thread read it: the reading thread, or the
// caller when the reading thread's look leaves it behind.  A block that
// cannot be read in full ends the blocks and is reported.

#include "edit/ReadAhead.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace velmora {
namespace {

using std::chrono::microseconds;

constexpr std::size_t BlockBytes = 4096;

// A file of count 16-bit values 0, 1, 2 ...
std::string NumberedFile(const test::TempDir& dir, std::size_t count)
{
    std::vector<std::int16_t> values(count);
    for (std::size_t i = 0; i < count; ++i)
        values[i] = static_cast<std::int16_t>(i);
    const std::string path = dir / "numbers.raw";
    File file = File::Open(path, File::Mode::Create);
    EXPECT_TRUE(file.WriteAt(0, values.data(), values.size() * 2));
    return path;
}

struct Pace {
    const char* Name;
    microseconds Look;    // the reading thread's work on each block
    microseconds Caller;  // the caller's on each block
};

TEST(ReadAheadTest, EveryBlockComesOnceInOrderWhoeverReadIt)
{
    const Pace paces[] = {
        {"the look slower than the caller", microseconds(3000), microseconds(0)},
        {"the caller slower than the look", microseconds(0), microseconds(3000)},
        {"both at about the same pace", microseconds(1000), microseconds(1000)},
    };
    test::TempDir dir;
    constexpr std::size_t values = 20 * BlockBytes / 2 + 300;  // a short last block
    File file = File::Open(NumberedFile(dir, values), File::Mode::ReadWrite);
    constexpr std::uint64_t start = 2 * 10;  // bytes: from value 10 on
    const std::uint64_t total = values * 2 - start;
    for (const Pace& pace : paces) {
        SCOPED_TRACE(pace.Name);
        std::vector<std::uint64_t> looked;
        ReadAhead reader(file, start, total, BlockBytes,
                         [&](std::uint64_t offset, std::int16_t* block, std::size_t bytes) {
                             // The look sees the block as read, and may change it.
                             EXPECT_EQ(block[0], static_cast<std::int16_t>((start + offset) / 2));
                             block[0] = static_cast<std::int16_t>(~block[0]);
                             looked.push_back(offset);
                             EXPECT_EQ(bytes, std::min<std::uint64_t>(BlockBytes, total - offset));
                             std::this_thread::sleep_for(pace.Look);
                         });
        std::uint64_t done = 0;
        std::size_t bytes = 0;
        while (std::int16_t* block = reader.Next(bytes)) {
            ASSERT_EQ(bytes, std::min<std::uint64_t>(BlockBytes, total - done));
            for (std::size_t i = 0; i < bytes / 2; ++i) {
                const auto value = static_cast<std::int16_t>((start + done) / 2 + i);
                ASSERT_EQ(block[i], i == 0 ? static_cast<std::int16_t>(~value) : value) << "byte " << done + 2 * i;
            }
            done += bytes;
            std::this_thread::sleep_for(pace.Caller);
        }
        EXPECT_FALSE(reader.Failed());
        EXPECT_EQ(done, total);
        std::vector<std::uint64_t> inOrder;
        for (std::uint64_t offset = 0; offset < total; offset += BlockBytes)
            inOrder.push_back(offset);
        EXPECT_EQ(looked, inOrder);
    }
}

TEST(ReadAheadTest, ARangePastTheFileEndsTheBlocksThereAndIsReported)
{
    test::TempDir dir;
    constexpr std::size_t values = 12 * BlockBytes / 2;
    File file = File::Open(NumberedFile(dir, values), File::Mode::ReadWrite);
    // The look is slow, so the caller reads blocks too, the last one among them.
    for (const microseconds look : {microseconds(0), microseconds(2000)}) {
        SCOPED_TRACE(look.count());
        ReadAhead reader(file, 0, values * 2 + 100, BlockBytes,
                         [&](std::uint64_t, std::int16_t*, std::size_t) { std::this_thread::sleep_for(look); });
        std::size_t blocks = 0;
        std::size_t bytes = 0;
        while (reader.Next(bytes) != nullptr)
            ++blocks;
        EXPECT_EQ(blocks, 12u);
        EXPECT_TRUE(reader.Failed());
    }
}

} // namespace
} // namespace velmora
