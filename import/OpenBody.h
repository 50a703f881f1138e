#pragma once

#include <cstdint>
#include <string>

namespace velmora {

class Progress;
class UserDialogs;

// The file-producing half of the open: turns the file the user chose into
// the working file.  ".wav" is copied byte for byte; ".mp3" and ".wma" are
// decoded.  Loading the result into the document is the caller's next step.

// True when path ends in ".mp3", ".wma" or ".wav", ignoring case.
bool IsOpenableExtension(const std::string& path);

// The bit rate of a compressed source in kbit/s: fileBytes / (seconds x 125)
// with the seconds truncated to whole ones; a source shorter than one
// second uses its fractional length, an empty one gives 0.  WMA rates are
// even: an odd result loses 1.
std::int32_t SourceBitrateFrom(std::uint64_t fileBytes, double seconds, bool wma);

enum class OpenBodyEnd {
    Produced,   // the working file is complete; load it next
    Failed,     // a message was shown; nothing is to be loaded
    Cancelled,  // the stop request ended the decode; nothing is to be loaded
};

struct OpenBodyResult {
    OpenBodyEnd End = OpenBodyEnd::Failed;
    std::int32_t SourceBitrate = 0;  // kbit/s of an MP3 or WMA source, 0 for WAV
};

// Deletes an old working file at workFile, then writes the new one from
// sourceFile.  decoding is the "Decoding:" bar; the decoder polls its stop
// request before each block.  Failures are shown through dialogs.
OpenBodyResult ProduceWorkFile(const std::string& sourceFile, const std::string& workFile,
                               Progress& decoding, UserDialogs& dialogs);

} // namespace velmora
