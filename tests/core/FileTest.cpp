// A file written from two threads goes through one handle each
// (File::Duplicate): a failure on one handle is that handle's alone, so a
// thread never reads another's error, and the other thread's writes land.

#include "platform/File.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>
#include <vector>

namespace velmora {
namespace {

TEST(File, EachHandleKeepsItsOwnFailure)
{
    test::TempDir dir;
    File first = File::Open(dir / "shared", File::Mode::Create);
    ASSERT_TRUE(first);
    File second = first.Duplicate();
    ASSERT_TRUE(second);

    const std::vector<unsigned char> block(4096, 0x5A);
    bool firstWrote = true;
    bool secondWrote = true;
    std::thread other([&] {
        // Past any length a file may have: refused by the system.
        for (int i = 0; i < 200; ++i)
            secondWrote = second.WriteAt(UINT64_MAX - 10, block.data(), block.size()) && secondWrote;
    });
    for (std::uint64_t i = 0; i < 200; ++i)
        firstWrote = first.WriteAt(i * block.size(), block.data(), block.size()) && firstWrote;
    other.join();

    EXPECT_TRUE(firstWrote);
    EXPECT_EQ(first.LastError(), 0);
    EXPECT_FALSE(secondWrote);
    EXPECT_NE(second.LastError(), 0);
    EXPECT_EQ(first.Size(), 200u * block.size());
}

} // namespace
} // namespace velmora
