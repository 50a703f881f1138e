#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace velmora {

class File;

// How a move of bytes within a file goes block by block.  A block no
// longer than the distance moved never overwrites what it reads, so a move
// cut off anywhere can be resumed at its last block, or taken back; a
// move that must survive being cut off uses such blocks.
struct MoveBlocks {
    std::size_t BlockBytes = 0;  // bytes; at least 1
    // Blocks before FirstBlock are taken as moved (resuming a move there).
    std::uint64_t FirstBlock = 0;
    // Runs before each block's write: the block's index (from 0, in the
    // order the move writes them), where it is written and its length
    // (bytes of the file).  False stops the move.
    std::function<bool(std::uint64_t block, std::uint64_t offset, std::size_t bytes)> BeforeWrite;
    // Bytes moved so far, after every block, for progress.
    std::function<void(std::uint64_t moved)> Moved;
};

// Moves the length bytes at from down to to (to <= from), front to back.
// False when a block could not be read in full or written, or BeforeWrite
// said stop.
bool MoveDown(File& file, std::uint64_t to, std::uint64_t from, std::uint64_t length, const MoveBlocks& blocks);

// Moves the length bytes at from up to to (to >= from), back to front.
bool MoveUp(File& file, std::uint64_t from, std::uint64_t to, std::uint64_t length, const MoveBlocks& blocks);

} // namespace velmora
