// The read-ahead hands every block over once, in order, as the file holds
// it (after the look), whichever thread read it: the reading thread, or the
// caller when a slow look leaves the reading thread behind.  A range past
// the file's end ends the blocks there and is reported.

#include "platform/ReadAhead.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace velmora {
namespace {

using std::chrono::microseconds;

TEST(ReadAheadTest, EveryBlockComesOnceInOrderWhoeverReadIt)
{
    constexpr std::size_t BlockBytes = 4096;
    constexpr std::size_t Values = 20 * BlockBytes / 2 + 300;  // a short last block
    test::TempDir dir;
    std::vector<std::int16_t> numbers(Values);
    for (std::size_t i = 0; i < Values; ++i)
        numbers[i] = static_cast<std::int16_t>(i);
    File file = File::Open(dir / "numbers.raw", File::Mode::Create);
    ASSERT_TRUE(file.WriteAt(0, numbers.data(), Values * 2));

    const struct {
        microseconds Look, Caller;  // each one's work on a block
        std::uint64_t Past;         // bytes asked for beyond the file
    } paces[] = {{microseconds(3000), microseconds(0), 0},    {microseconds(0), microseconds(3000), 0},
                 {microseconds(1000), microseconds(1000), 0}, {microseconds(2000), microseconds(0), 100},
                 {microseconds(0), microseconds(0), 100}};
    constexpr std::uint64_t start = 20;  // bytes: from value 10 on
    const std::uint64_t inFile = Values * 2 - start;
    for (const auto& pace : paces) {
        SCOPED_TRACE(testing::Message() << pace.Look.count() << " / " << pace.Caller.count() << " / " << pace.Past);
        std::vector<std::uint64_t> looked;
        ReadAhead reader(file, start, inFile + pace.Past, BlockBytes,
                         [&](std::uint64_t offset, std::int16_t* block, std::size_t) {
                             block[0] = static_cast<std::int16_t>(~block[0]);  // a look may change the block
                             looked.push_back(offset);
                             std::this_thread::sleep_for(pace.Look);
                         });
        std::uint64_t done = 0;
        std::size_t bytes = 0;
        while (std::int16_t* block = reader.Next(bytes)) {
            ASSERT_EQ(bytes, std::min<std::uint64_t>(BlockBytes, inFile - done));
            std::vector<std::int16_t> expected(numbers.begin() + (start + done) / 2,
                                               numbers.begin() + (start + done + bytes) / 2);
            expected[0] = static_cast<std::int16_t>(~expected[0]);
            ASSERT_EQ(std::vector<std::int16_t>(block, block + bytes / 2), expected) << "from byte " << done;
            done += bytes;
            std::this_thread::sleep_for(pace.Caller);
        }
        EXPECT_EQ(reader.Failed(), pace.Past > 0);
        EXPECT_EQ(done, pace.Past > 0 ? inFile / BlockBytes * BlockBytes : inFile);
        std::vector<std::uint64_t> inOrder;
        for (std::uint64_t offset = 0; offset < done; offset += BlockBytes)
            inOrder.push_back(offset);
        EXPECT_EQ(looked, inOrder);
    }
}

} // namespace
} // namespace velmora
