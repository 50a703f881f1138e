#pragma once

#include <cstdint>
#include <vector>

namespace velmora {

class File;
class Progress;
struct Document;

// The column peak scan: rebuilds the per-column peaks from the working
// file's samples.
//
// Only every 100th sample frame is looked at: column i covers frames
// i * FramesPerColumn .. (i + 1) * FramesPerColumn - 1 and is judged from
// frames i * FramesPerColumn + 100 * k for k = 0 .. FramesPerColumn / 100 - 1
// (a last, partial column gets the same number of looks).  A frame that does
// not lie wholly inside the payload (before DataEnd) adds nothing.  Peaks
// are magnitudes (|b - 128| for 8-bit, |s| for 16-bit) scaled to 0..100 by
// truncating division: 8-bit 127 gives 99 and 128 gives 100, 16-bit 32767
// gives 99 and 32768 gives 100.  Mono files get PeakLower equal to
// PeakUpper; two-channel files take the first sample of a frame for upper
// and the second for lower.
//
// Reads go through a bounded block buffer, not one call per frame.  Reads
// doc's FramesPerColumn, FrameSize, BitsPerSample, Channels, ColumnCount,
// DataOffset and DataEnd; writes only upper, lower (at least PeakColumns
// entries each; nothing is scanned at a zoom that keeps no arrays) and
// bar, which reaches exactly 100 after the last column.
void ScanColumnPeaks(File& file, const Document& doc, std::vector<std::int16_t>& upper,
                     std::vector<std::int16_t>& lower, Progress& bar);

// The same scan of columns [first, end) only, into upper and lower (at
// least end entries each), without progress.
void ScanColumnPeakRange(File& file, const Document& doc, std::uint32_t first, std::uint32_t end,
                         std::vector<std::int16_t>& upper, std::vector<std::int16_t>& lower);

// Frames between two looks of the scan.
inline constexpr std::uint32_t FramesBetweenLooks = 100;

// One column's peaks from its looks, judged as the scan judges them:
// magnitudes (|b - 128| for 8-bit, |s| for 16-bit) of the first and second
// sample of each look; for mono the first alone, for both rows.
class ColumnPeakJudge {
public:
    ColumnPeakJudge(bool eightBit, bool mono) : fullScale_(eightBit ? 128 : 32768), mono_(mono) {}

    void Look(std::int32_t firstMagnitude, std::int32_t secondMagnitude)
    {
        if (mono_) {
            if (firstMagnitude > up_)
                up_ = low_ = firstMagnitude;
        } else {
            up_ = up_ > firstMagnitude ? up_ : firstMagnitude;
            low_ = low_ > secondMagnitude ? low_ : secondMagnitude;
        }
    }
    // 0..100, by truncating division.
    std::int16_t Upper() const { return static_cast<std::int16_t>(up_ * 100 / fullScale_); }
    std::int16_t Lower() const { return static_cast<std::int16_t>(low_ * 100 / fullScale_); }
    void Reset() { up_ = low_ = 0; }

private:
    std::int32_t fullScale_;
    bool mono_;
    std::int32_t up_ = 0;
    std::int32_t low_ = 0;
};

} // namespace velmora
