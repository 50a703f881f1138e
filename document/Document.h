#pragma once

#include "EditHistory.h"
#include "WorkFileFormat.h"

#include "platform/tags/Tags.h"

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

namespace velmora {

// Command and transport state.
enum PlayStates : std::int32_t {
    psNoDocument = 0,
    psStopped = 1,
    psPlaying = 2,
    psPaused = 3,
};

// The frame counts of the six zoom steps, coarsest first: the one list
// every front end takes them from.  A step's menu item and command-line
// ratio is its frame count / 1000 (MZoom10 ... MZoom1, --zoom 10 ... 1).
inline constexpr std::int32_t ZoomSteps[] = {10000, 8000, 6000, 4000, 2000, 1000};
inline constexpr std::int32_t CoarsestZoom = ZoomSteps[0];
inline constexpr std::int32_t FinestZoom = ZoomSteps[std::size(ZoomSteps) - 1];
inline constexpr std::int32_t ZoomRatioFrames = 1000;  // frames per column of a ratio of 1
inline constexpr std::int32_t DefaultFramesPerColumn = CoarsestZoom;

// The names of the working file and of the edit journal in the private
// folder.
inline constexpr const char* WorkFileName = "AudioTemp.wav";
inline constexpr const char* JournalFileName = "journal.bin";

// The one document the editor holds: the working file and what is known
// about it.  The main window owns one; the terminal front end owns one; the
// workers read and write it.  Units are in every comment: "bytes" are bytes
// of the working file unless said otherwise, "frames" are sample frames
// (one sample per channel), "columns" are pixel columns of the waveform.
struct Document {
    bool DocumentOpen = false;

    std::string WorkFile;       // TempFolder + "AudioTemp.wav"; empty when none
    std::string SourceFile;     // the file the user opened; the target of Save
    std::string TempFolder;     // the program's private folder, ending in '/'
    std::string ProgramFolder;  // folder of the executable, ending in '/'

    std::int32_t Channels = 0;         // 1 is mono; any other count is handled as two
    std::int32_t SampleRate = 0;       // frames per second (Hz)
    std::int32_t BitsPerSample = 0;    // 8 or 16
    std::uint32_t DataSize = 0;        // bytes of samples
    std::uint32_t DataOffset = 0;      // byte offset of the first sample
    std::uint32_t DataEnd = 0;         // DataOffset + DataSize, bytes
    std::uint32_t DurationSeconds = 0; // whole seconds of the payload
    std::int32_t FrameSize = 0;        // bytes per frame: 1, 2 or 4
    std::uint32_t TotalFrames = 0;     // DataSize / FrameSize, frames

    std::int32_t FramesPerColumn = DefaultFramesPerColumn; // the zoom, frames per column
    std::uint32_t ColumnCount = 0;     // ceil(TotalFrames / FramesPerColumn), columns
    std::uint32_t SelStart = 0;        // start marker, a column
    std::uint32_t SelFinish = 0;       // finish marker, a column

    // Per column, 0..100: the first channel's peak (pixels above the
    // midline) and the second channel's (pixels below; equal for mono).
    std::vector<std::int16_t> PeakUpper;
    std::vector<std::int16_t> PeakLower;

    std::uint32_t Stream = 0;          // playback stream handle; 0 when none
    std::int64_t StreamLength = 0;     // length of Stream in its own bytes

    bool Modified = false;
    EditHistory History;               // the edits that can be undone and redone
    std::int32_t PlayState = psNoDocument;
    std::int32_t SourceBitrate = 0;    // kbit/s of an MP3 or WMA source; 0 for WAV
    double VorbisQuality = 5.0;        // of Ogg Vorbis saves, -1 to 10
    bool OpenAtStart = false;

    // The source's tags and cover picture, as the user left them: kept
    // outside the working file and written into every save.
    Tags Metadata;
    bool MetadataChanged = false;      // set by the user since the open: saves write them even all empty
    bool MetadataKept = false;         // the private folder's record holds Metadata
    bool MetadataUnsaved = false;      // set since the last save: the document is modified whatever Undo does
};

// The tags as the user set them: the document is modified, and every save
// writes them.
void SetMetadata(Document& doc, Tags tags);

// The column count the loading step derives from TotalFrames and the
// zoom: TotalFrames / FramesPerColumn, rounded up.
std::uint32_t ColumnCountFor(std::uint32_t totalFrames, std::int32_t framesPerColumn);

// Where the samples lie and how long they last, with what follows from
// them: DataEnd, TotalFrames (in frames of FrameSize) and ColumnCount at
// the current zoom.  The one place the document's sizes are derived.
void SetPayload(Document& doc, std::uint32_t dataOffset, std::uint32_t dataSize, std::uint32_t durationSeconds);

// Takes the working file's header: the format, FrameSize from it, and the
// payload as SetPayload sets it.
void TakeHeader(Document& doc, const WaveHeader& header);

// The header the document describes: what TakeHeader took, as the sizes
// now stand.
WaveHeader HeaderOf(const Document& doc);

// The last column, where Select All puts the finish marker; 0 for a
// document without columns.
std::uint32_t LastColumn(const Document& doc);

// Puts the markers at columns start and finish as the document allows
// them: the finish marker no further than LastColumn, the start marker no
// further than the finish marker.  The one place the markers' rule is kept.
void SetMarkers(Document& doc, std::uint32_t start, std::uint32_t finish);

// The start marker to column, and true, where that keeps it before the
// finish marker; otherwise false and nothing moves.
bool MoveStartMarker(Document& doc, std::uint32_t column);

// The finish marker to column, and true, where that keeps it after the
// start marker; otherwise false and nothing moves.
bool MoveFinishMarker(Document& doc, std::uint32_t column);

// Puts the markers on the whole file: SelStart = 0, SelFinish = LastColumn.
void SelectAll(Document& doc);

// What the history records of the document before and after a step.
DocumentShape ShapeOf(const Document& doc);

// The "no document" state of the members that Close resets.
void ResetToNoDocument(Document& doc);

} // namespace velmora
