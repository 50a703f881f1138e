#pragma once

// How much of FFmpeg's own logging reaches stderr: nothing by default (a
// damaged file would otherwise fill the terminal), or the level named by
// VELMORA_FFMPEG_LOG ("error", "warning", "info", "verbose", "debug" or a
// number of av_log's scale) for whoever needs to see why a file decodes
// as it does.  Header-only, so that the encoder plugins share it.

extern "C" {
#include <libavutil/log.h>
}

#include <cstdlib>
#include <cstring>

namespace velmora {

inline void ApplyFfmpegLogLevel()
{
    static const int level = [] {
        const char* wanted = std::getenv("VELMORA_FFMPEG_LOG");
        if (wanted == nullptr || *wanted == '\0')
            return AV_LOG_QUIET;
        static constexpr struct {
            const char* Name;
            int Level;
        } names[] = {{"quiet", AV_LOG_QUIET}, {"error", AV_LOG_ERROR},     {"warning", AV_LOG_WARNING},
                     {"info", AV_LOG_INFO},   {"verbose", AV_LOG_VERBOSE}, {"debug", AV_LOG_DEBUG}};
        for (const auto& name : names)
            if (std::strcmp(wanted, name.Name) == 0)
                return name.Level;
        return std::atoi(wanted);
    }();
    av_log_set_level(level);
}

} // namespace velmora
