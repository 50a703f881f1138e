#pragma once

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

// How closely the view shows the audio: frames a column holds, and pixels
// a column takes on the screen (more than one only at one frame a column,
// where each frame is drawn that many pixels wide).
struct ZoomLevel {
    std::int32_t FramesPerColumn = DefaultFramesPerColumn;  // frames, at least 1
    std::int32_t PixelsPerColumn = 1;                       // pixels, at least 1

    constexpr ZoomLevel() = default;
    // A zoom of framesPerColumn frames a column, one pixel each.
    constexpr ZoomLevel(std::int32_t framesPerColumn, std::int32_t pixelsPerColumn = 1)
        : FramesPerColumn(framesPerColumn), PixelsPerColumn(pixelsPerColumn)
    {
    }
    bool operator==(const ZoomLevel&) const = default;
};

// The steps finer than 1:1, coarsest first: down to one frame a column,
// then several pixels a frame.  Zoom In and Zoom Out walk the six steps
// and then these.
inline constexpr ZoomLevel FineZoomSteps[] = {500, 200, 100, 50, 20, 10, 5, 2, 1,
                                              {1, 2}, {1, 4}, {1, 8}, {1, 16}, {1, 32}};
inline constexpr std::int32_t MostPixelsPerFrame = 32;

// The name of the working file in the private folder.
inline constexpr const char* WorkFileName = "AudioTemp.wav";

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
    std::int32_t PixelsPerColumn = 1;  // the zoom below one frame a column, pixels per column
    std::uint32_t ColumnCount = 0;     // ceil(TotalFrames / FramesPerColumn), columns

    // The edit range: frames SelStartFrame up to, not including,
    // SelFinishFrame; 0 <= SelStartFrame <= SelFinishFrame <= TotalFrames.
    // The markers are these frames; the columns below follow from them.
    std::uint32_t SelStartFrame = 0;   // frames
    std::uint32_t SelFinishFrame = 0;  // frames
    // The markers' columns at the current zoom (for drawing, the marker
    // commands' enabling and the column rules): the column each frame lies
    // in, never past the last one.
    std::uint32_t SelStart = 0;        // start marker, a column
    std::uint32_t SelFinish = 0;       // finish marker, a column

    // Per column, 0..100: the first channel's peak (pixels above the
    // midline) and the second channel's (pixels below; equal for mono).
    // Held at zooms of 1000 frames a column and more only (PeakColumns);
    // finer views read the samples they show.
    std::vector<std::int16_t> PeakUpper;
    std::vector<std::int16_t> PeakLower;

    std::uint32_t Stream = 0;          // playback stream handle; 0 when none
    std::int64_t StreamLength = 0;     // length of Stream in its own bytes

    bool Modified = false;             // unsaved edits or tags (the history, history/, tells which)
    std::int32_t PlayState = psNoDocument;
    bool PlaysSelection = false;       // Play Selection or Loop under way: the marker stop waits
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

// The document's zoom, and a new one: FramesPerColumn, PixelsPerColumn and
// the columns and markers' columns that follow (the peak arrays are the
// caller's).
ZoomLevel ZoomOf(const Document& doc);
void SetZoom(Document& doc, ZoomLevel zoom);

// True where the document holds peak arrays: at 1000 frames a column and
// more.  Finer, they would hold nearly a value a frame.
bool KeepsPeakArrays(std::int32_t framesPerColumn);
// The columns the peak arrays hold: ColumnCount, or 0 where none are kept.
std::uint32_t PeakColumns(const Document& doc);
std::uint32_t PeakColumnsFor(std::uint32_t columnCount, std::int32_t framesPerColumn);

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

// Puts the markers at frames start and finish as the document allows
// them: the finish no further than TotalFrames, the start no further than
// the finish; their columns follow.  The one place the markers' rule is
// kept.
void SetMarkerFrames(Document& doc, std::uint32_t start, std::uint32_t finish);

// The markers' columns again from their frames, after the zoom or the
// length changed (the frames are kept inside the audio first).
void FollowMarkerFrames(Document& doc);

// The frames a marker set at a column stands for: the column's first
// frame; for the finish marker on the last column, the end of the audio
// (so that Select All and the last column take the whole file in).
std::uint32_t StartFrameOfColumn(const Document& doc, std::uint32_t column);
std::uint32_t FinishFrameOfColumn(const Document& doc, std::uint32_t column);

// Puts the markers at columns start and finish as the columns' rules have
// it: the finish marker no further than LastColumn, the start marker no
// further than the finish marker, each at its column's frame.
void SetMarkers(Document& doc, std::uint32_t start, std::uint32_t finish);

// The start marker to frame, and true, where that keeps it before the
// finish marker; otherwise false and nothing moves.
bool MoveStartMarker(Document& doc, std::uint32_t frame);

// The finish marker to frame, and true, where that keeps it after the
// start marker; otherwise false and nothing moves.
bool MoveFinishMarker(Document& doc, std::uint32_t frame);

// Puts the markers on the whole file: frame 0 to TotalFrames (columns 0
// and LastColumn).
void SelectAll(Document& doc);

// The column frame lies in at the document's zoom, never past the last.
std::uint32_t ColumnOfFrame(const Document& doc, std::uint64_t frame);

// The "no document" state of the members that Close resets (the history
// is its owner's to clear).
void ResetToNoDocument(Document& doc);

} // namespace velmora
