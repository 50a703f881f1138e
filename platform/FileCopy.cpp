#include "FileCopy.h"

#include "File.h"

#include <algorithm>
#include <vector>

namespace velmora {

namespace {

// About 20 ms of copying each: the front end's keep-responsive rhythm.
constexpr std::uint64_t KernelChunkBytes = 16u << 20;
constexpr std::size_t BufferBytes = 1u << 20;

} // namespace

bool CopyFileData(File& from, std::uint64_t fromOffset, File& to, std::uint64_t toOffset, std::uint64_t length,
                  const std::function<void(std::uint64_t done)>& afterChunk)
{
    std::uint64_t done = 0;
    bool inKernel = true;
    std::vector<unsigned char> buffer;
    while (done < length) {
        if (inKernel) {
            const auto chunk = static_cast<std::size_t>(std::min(KernelChunkBytes, length - done));
            switch (from.CopyRangeTo(to, fromOffset + done, toOffset + done, chunk)) {
            case File::RangeCopy::Copied:
                done += chunk;
                afterChunk(done);
                continue;
            case File::RangeCopy::Unsupported:
                inKernel = false;  // this pair of files: read and write from here on
                buffer.resize(BufferBytes);
                continue;
            case File::RangeCopy::Failed:
                return false;
            }
        }
        const auto chunk = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), length - done));
        if (from.ReadAt(fromOffset + done, buffer.data(), chunk) != chunk ||
            !to.WriteAt(toOffset + done, buffer.data(), chunk))
            return false;
        done += chunk;
        afterChunk(done);
    }
    return true;
}

} // namespace velmora
