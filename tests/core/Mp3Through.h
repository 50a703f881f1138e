#pragma once

// Encodes samples into an MP3 file through the MP3 adapter, in the chunks
// it asks for, as one stream: what the encoded tests compare with.

#include "export/Wavtomp3.h"
#include "platform/UserDialogs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora::test {

// samples interleaved with channels (1 or 2) a frame, rate in Hz.
inline void EncodeMp3InOneStream(UserDialogs& dialogs, const std::string& pluginFolder, const std::string& path,
                                 const std::vector<std::int16_t>& samples, std::uint32_t rate, int channels,
                                 std::uint32_t kbps)
{
    WavToMp3 encoder(dialogs, pluginFolder);
    const std::int32_t chunk = encoder.Open(path, rate, channels == 2 ? 1 : 4, kbps, false, false, false, false);
    ASSERT_GT(chunk, 0);
    for (std::size_t at = 0; at < samples.size();) {
        const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(chunk) / 2, samples.size() - at);
        ASSERT_GE(encoder.EncodeChunk(samples.data() + at, static_cast<std::uint32_t>(n * 2)), 0);
        at += n;
    }
    ASSERT_TRUE(encoder.Close());
}

} // namespace velmora::test
