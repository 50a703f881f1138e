#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Conversions between the editor's units: pixel columns, bytes of the
// playback stream, bytes of the working file, seconds.  Products and
// quotients are computed in extended precision and truncated toward zero.
// Stream positions are 64-bit: a working file may hold up to 4 GiB.

namespace velmora {

// Column c (0-based) to a byte position of the playback stream:
// trunc(c * streamLength / columnCount).  0 when columnCount is 0.
std::int64_t ColumnToStreamByte(std::uint32_t column, std::int64_t streamLength,
                                std::uint32_t columnCount);

// Byte position p of the playback stream to its column:
// trunc(columnCount * p / streamLength).  0 when streamLength is 0.
std::uint32_t StreamByteToColumn(std::int64_t position, std::uint32_t columnCount,
                                 std::int64_t streamLength);

// Seconds as the stream reports them (fractional) to whole seconds.
std::int32_t WholeSeconds(double seconds);

// Column c to a byte offset in the working file (the edits' start of a
// column): c * framesPerColumn * frameSize + dataOffset.
std::uint64_t ColumnToWorkFileByte(std::uint32_t column, std::int32_t framesPerColumn,
                                   std::int32_t frameSize, std::uint32_t dataOffset);

// Columns that ten seconds of audio take (the ruler's step), in single
// precision: sampleRate * 10 / framesPerColumn.
float TenSecondsInColumns(std::int32_t sampleRate, std::int32_t framesPerColumn);

// Whole seconds as "hh:mm:ss": each field at least two digits ("00" for 0
// or less), hours with as many digits as they need.
std::string SecondsToTimeText(std::int32_t seconds);

// Seconds as "h:mm:ss.mmm" (hours with as many digits as they need),
// rounded to the millisecond; negative ones as 0.
std::string SecondsToPreciseText(double seconds);

// A time in seconds from "S", "M:S" or "H:M:S", each part a whole number
// but the seconds, which may have a fraction; nothing when it is none of
// these.
std::optional<double> ParseTimeText(const std::string& text);

// The column a marker set at the play position `seconds` into the audio
// takes in the windows: that frame's byte of the playback stream (the
// frames of the document, frameSize bytes each), to its column, never
// past the last one.
std::uint32_t ColumnAtSeconds(double seconds, std::int32_t sampleRate, std::uint32_t totalFrames,
                              std::int32_t frameSize, std::uint32_t columnCount);

} // namespace velmora
