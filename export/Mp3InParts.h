#pragma once

// An MP3 save on every core: the payload split into as many parts as there
// are cores, each encoded by an encoder of its own on a thread of its own,
// and the parts' frames joined into one stream.
//
// Why a join has no seam:
// - Every part starts on a frame boundary of the whole stream, so its
//   encoder's frames line up with the whole stream's.
// - A part after the first starts its encoder 32 frames early and drops
//   what they give: its lead-in of silence, its filter bank, its
//   psychoacoustic model and its bit reservoir have settled by the join,
//   so that from there it gives the frames one encoder would.  It encodes
//   a little past its end as well, so that its last frames see what
//   follows them.
// - The bit reservoir: a frame's main data may begin in the frames before
//   it.  At a join those come from the part before, so the join goes at
//   the first of a few frames whose reservoir fits in what the part
//   before leaves unused at its end, and those bytes are moved there.
//   (Where none fits the file is encoded in one stream; it has not
//   happened in any file tried.)
// - The joined stream gets an Info frame of its own: the encoder delay of
//   one encoder, and the padding that makes a decoder give exactly the
//   payload's frames.

#include "PayloadFeed.h"

#include <cstdint>
#include <string>

namespace velmora {

class File;
class Progress;
class WavToMp3;
struct Document;

// The MP3 stream's format, as WavToMp3::Open takes it.
struct Mp3Format {
    std::uint32_t SampleRate = 0;  // Hz
    int ChannelMode = 1;           // 1 stereo ... 4 mono
    std::uint32_t Kbps = 0;
};

// How many parts a save of frames (samples per channel) at sampleRate is
// encoded in: one a core (at most 8), fewer where a part would be shorter
// than half a minute and its threads would not pay.  1: one stream.
unsigned Mp3PartsFor(std::uint64_t frames, std::uint32_t sampleRate);

enum class PartsEnd {
    Done,           // output holds the whole stream, its Info frame included
    NotPossible,    // no part streams, too short, or no join fits: output is empty, encode one stream
    EncoderFailed,  // the plugin failed; nothing shown
    Stopped,        // the stop request was raised
    ReadFailed,     // the working file ended early or could not be read
    WriteFailed,    // output or a part file could not be written
};

struct PartsResult {
    PartsEnd End = PartsEnd::NotPossible;
    int Error = 0;  // the system's reason for ReadFailed and WriteFailed
};

// Encodes the payload of doc's working file (work) through encoder's part
// streams in `parts` parts as one MP3 stream into output from byte 0.  The
// first part is encoded on this thread, straight into output; the others
// on threads of their own into part files (partPrefix + number) that are
// copied in after it and removed.  bar shows the payload read by all
// parts and carries the stop request.
PartsResult EncodeMp3InParts(const WavToMp3& encoder, const Mp3Format& format, const SampleConverter& converter,
                             File& work, const Document& doc, File& output, const std::string& partPrefix,
                             Progress& bar, unsigned parts);

} // namespace velmora
