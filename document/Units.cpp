#include "Units.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace velmora {

namespace {

std::string TimeField(std::int32_t value)
{
    if (value <= 0)
        return "00";
    if (value < 10)
        return "0" + std::to_string(value);
    return std::to_string(value);
}

} // namespace

std::int32_t WholeSeconds(double seconds)
{
    return static_cast<std::int32_t>(seconds);
}

std::uint64_t ColumnToWorkFileByte(std::uint32_t column, std::int32_t framesPerColumn,
                                   std::int32_t frameSize, std::uint32_t dataOffset)
{
    return static_cast<std::uint64_t>(column) * static_cast<std::uint64_t>(framesPerColumn) *
               static_cast<std::uint64_t>(frameSize) +
           dataOffset;
}

float TenSecondsInColumns(std::int32_t sampleRate, std::int32_t framesPerColumn)
{
    return static_cast<float>(sampleRate) * 10.0f / static_cast<float>(framesPerColumn);
}

std::string SecondsToTimeText(std::int32_t seconds)
{
    const std::int32_t hours = seconds / 3600;
    const std::int32_t minutes = (seconds % 3600) / 60;
    const std::int32_t secs = (seconds % 3600) % 60;
    return TimeField(hours) + ":" + TimeField(minutes) + ":" + TimeField(secs);
}

std::string SecondsToPreciseText(double seconds)
{
    const auto milliseconds = static_cast<std::int64_t>(std::llround(std::max(seconds, 0.0) * 1000.0));
    const std::int64_t hours = milliseconds / 3600000;
    const auto minutes = static_cast<int>(milliseconds / 60000 % 60);
    const auto secs = static_cast<int>(milliseconds / 1000 % 60);
    const auto millis = static_cast<int>(milliseconds % 1000);
    char text[48];
    std::snprintf(text, sizeof text, "%lld:%02d:%02d.%03d", static_cast<long long>(hours), minutes, secs, millis);
    return text;
}

std::optional<double> ParseTimeText(const std::string& text)
{
    // Up to three fields; the last one may have a fraction.
    double total = 0;
    std::size_t start = 0;
    int fields = 0;
    for (;;) {
        const std::size_t colon = text.find(':', start);
        const std::string field = text.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (field.empty() || ++fields > 3)
            return std::nullopt;
        double value = 0;
        const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
        if (error != std::errc() || end != field.data() + field.size() || value < 0)
            return std::nullopt;
        const bool last = colon == std::string::npos;
        if (!last && value != static_cast<double>(static_cast<std::int64_t>(value)))
            return std::nullopt;  // only the seconds have a fraction
        if (fields > 1 && value >= 60 && (last || fields == 2))
            return std::nullopt;  // minutes and seconds stay below 60
        total = total * 60 + value;
        if (last)
            return total;
        start = colon + 1;
    }
}

std::optional<std::uint32_t> FrameAtSeconds(double seconds, std::int32_t sampleRate, std::uint32_t totalFrames)
{
    if (sampleRate <= 0 || !(seconds >= 0))
        return std::nullopt;
    const double frame = std::round(seconds * sampleRate);
    if (frame > static_cast<double>(totalFrames))
        return std::nullopt;
    return static_cast<std::uint32_t>(frame);
}

std::string DurationText(std::uint32_t totalFrames, std::int32_t sampleRate)
{
    const std::int64_t milliseconds =
        sampleRate > 0 ? std::llround(static_cast<double>(totalFrames) * 1000.0 / sampleRate) : 0;
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%03d", static_cast<int>(milliseconds % 1000));
    return SecondsToTimeText(static_cast<std::int32_t>(milliseconds / 1000)) + fraction;
}

} // namespace velmora
