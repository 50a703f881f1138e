#pragma once

#include "EditBody.h"

#include <cstdint>

namespace velmora {

class File;
class Progress;
class UserDialogs;
struct Document;

// The edit range: the frames from the start marker's frame up to, not
// including, the finish marker's (SelStartFrame, SelFinishFrame).
struct EditRange {
    std::uint64_t StartByte = 0;  // S: byte offset of the first frame in the working file
    std::uint64_t EndByte = 0;    // E: byte offset just past the last frame
    std::uint32_t Frames = 0;     // N: frames in the range
};

EditRange EditRangeOf(const Document& doc);

// Opens the working file for an edit's rewrite, for reading and writing
// and for this edit alone.  When it cannot be opened, shows "Cannot open
// the temporary file." and returns a file that is not open.
File OpenForRewrite(const Document& doc, UserDialogs& dialogs);

// After Delete or Cut Out changed the working file's length to newLength
// bytes: DataEnd, DataSize, DurationSeconds, TotalFrames and ColumnCount in
// that order, then new zero-filled peak arrays of ColumnCount entries.
void RecomputeAfterLengthChange(Document& doc, std::uint32_t newLength);

// After a rewrite failed part way: shows "Cannot write the temporary file."
// and makes the document describe the open working file as it now is -
// its header and length read again, the columns and the peaks rescanned,
// the markers kept inside the audio.  Returns EditEnd::Failed.
EditEnd FailRewrite(File& file, Document& doc, Progress& reloading, UserDialogs& dialogs);

} // namespace velmora
