#pragma once

#include <cstdint>
#include <functional>

namespace velmora {

class File;

// Copies length bytes of from, starting at fromOffset, into to at
// toOffset, in chunks: inside the kernel where it can (copy_file_range, which gives a
// reflink where the file system offers one), otherwise by reading and
// writing through a buffer.  afterChunk(bytes done) runs after every chunk,
// so a front end can show progress and stay responsive.  False when a read
// or a write failed, or the source ended early; the files' LastError tells
// why.
bool CopyFileData(File& from, std::uint64_t fromOffset, File& to, std::uint64_t toOffset, std::uint64_t length,
                  const std::function<void(std::uint64_t done)>& afterChunk);

} // namespace velmora
