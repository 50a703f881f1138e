#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Conversions between the editor's units: frames, pixel columns, bytes of
// the working file, seconds, and the times the user reads and types.

namespace velmora {

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

// The frame nearest a typed time of seconds into audio of totalFrames at
// sampleRate (the end itself is totalFrames); nothing for a time past the
// end by more than half a frame.
std::optional<std::uint32_t> FrameAtSeconds(double seconds, std::int32_t sampleRate, std::uint32_t totalFrames);

// The length of totalFrames at sampleRate as "hh:mm:ss.mmm", the fields as
// SecondsToTimeText writes them, rounded to the millisecond.
std::string DurationText(std::uint32_t totalFrames, std::int32_t sampleRate);

} // namespace velmora
