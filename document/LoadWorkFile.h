#pragma once

#include "WorkFileFormat.h"

#include <cstdint>
#include <future>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

class Progress;
class UserDialogs;
struct Document;

// The column peak scan of a file run ahead, on a thread of its own: of a
// WAV source while the open copies it, byte for byte, into the working
// file, so that the loading step need not read it all again.
class EarlyPeakScan {
public:
    // Starts scanning path as the loading step would scan a working file
    // of the same bytes at framesPerColumn; nothing happens when the
    // reading rules refuse it.
    EarlyPeakScan(const std::string& path, std::int32_t framesPerColumn);
    ~EarlyPeakScan();
    EarlyPeakScan(const EarlyPeakScan&) = delete;
    EarlyPeakScan& operator=(const EarlyPeakScan&) = delete;

    // Hands the peaks to doc when they were scanned from a file laid out as
    // doc says (waiting for the scan); false otherwise.
    bool GiveTo(Document& doc);

private:
    // The peaks and what they were scanned for: the header and the zoom,
    // from which the columns follow.
    struct Peaks {
        WaveHeader Header;
        std::int32_t FramesPerColumn = 0;
        std::vector<std::int16_t> Upper;
        std::vector<std::int16_t> Lower;
    };
    std::future<std::optional<Peaks>> scan_;
};

// The loading step, run once the working file doc.WorkFile is complete:
// checks its header by the reading rules, derives the format members
// (FrameSize, TotalFrames, ColumnCount at the current FramesPerColumn),
// replaces the peak arrays with zero-filled ones of ColumnCount entries and
// fills them with the column peak scan, reporting on loading.
//
// A refused file shows one message through dialogs and returns false; the
// peak arrays are then left as they were, while the header fields read
// before the refusal keep their new values.  A payload without a single
// complete frame is refused with "No audio data found in the file." -
// unless it is the working file of a document whose edits left nothing
// (Empty::IsADocument, as recovery loads it).  early, when given, offers
// peaks scanned ahead from the same bytes.
enum class Empty { IsRefused, IsADocument };
bool LoadWorkFile(Document& doc, Progress& loading, UserDialogs& dialogs, EarlyPeakScan* early = nullptr,
                  Empty empty = Empty::IsRefused);

} // namespace velmora
