#include "ByteMoves.h"

#include "platform/File.h"

#include <algorithm>
#include <vector>

namespace velmora {

namespace {

// One move, block by block: block i covers bytes [start(i), start(i) +
// size(i)) of the moved range.
template <typename BlockAt>
bool MoveBlocksOf(File& file, std::uint64_t from, std::uint64_t to, std::uint64_t length, const MoveBlocks& blocks,
                  BlockAt blockAt)
{
    if (length == 0 || from == to) {
        if (blocks.Moved)
            blocks.Moved(length);
        return true;
    }
    const std::size_t blockBytes = std::max<std::size_t>(blocks.BlockBytes, 1);
    std::vector<unsigned char> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(blockBytes, length)));
    const std::uint64_t count = (length + blockBytes - 1) / blockBytes;
    for (std::uint64_t block = blocks.FirstBlock; block < count; ++block) {
        const auto [start, size] = blockAt(block, blockBytes);
        if (file.ReadAt(from + start, buffer.data(), size) != size)
            return false;
        if (blocks.BeforeWrite && !blocks.BeforeWrite(block, to + start, size))
            return false;
        if (!file.WriteAt(to + start, buffer.data(), size))
            return false;
        if (blocks.Moved)
            blocks.Moved(std::min<std::uint64_t>(length, (block + 1) * blockBytes));
    }
    return true;
}

struct Span {
    std::uint64_t Start;
    std::size_t Size;
};

} // namespace

bool MoveDown(File& file, std::uint64_t to, std::uint64_t from, std::uint64_t length, const MoveBlocks& blocks)
{
    return MoveBlocksOf(file, from, to, length, blocks, [length](std::uint64_t block, std::size_t bytes) {
        const std::uint64_t start = block * bytes;
        return Span{start, static_cast<std::size_t>(std::min<std::uint64_t>(bytes, length - start))};
    });
}

bool MoveUp(File& file, std::uint64_t from, std::uint64_t to, std::uint64_t length, const MoveBlocks& blocks)
{
    return MoveBlocksOf(file, from, to, length, blocks, [length](std::uint64_t block, std::size_t bytes) {
        const std::uint64_t end = length - block * bytes;
        const std::uint64_t start = end > bytes ? end - bytes : 0;
        return Span{start, static_cast<std::size_t>(end - start)};
    });
}

} // namespace velmora
