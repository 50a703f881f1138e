#include "Units.h"

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

std::int64_t ColumnToStreamByte(std::uint32_t column, std::int64_t streamLength,
                                std::uint32_t columnCount)
{
    if (columnCount == 0)
        return 0;
    const long double byte = static_cast<long double>(column) * streamLength / columnCount;
    return static_cast<std::int64_t>(byte);
}

std::uint32_t StreamByteToColumn(std::int64_t position, std::uint32_t columnCount,
                                 std::int64_t streamLength)
{
    if (streamLength == 0)
        return 0;
    const long double column = static_cast<long double>(columnCount) * position / streamLength;
    // The column is used as an unsigned number; a negative quotient wraps
    // as the 32-bit conversion would.
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(column));
}

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

} // namespace velmora
