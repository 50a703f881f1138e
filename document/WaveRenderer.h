#pragma once

#include <QColor>
#include <QImage>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace velmora {

// The view's design height; a taller waveform area grows the view.
inline constexpr int WaveViewHeight = 221;
// The ruler's rows at the bottom of the view.
inline constexpr int RulerRows = 20;

// The first row of the ruler in a view of height rows; the waveform lies
// above it.
constexpr int RulerTopRow(int height) { return height - RulerRows; }

// Where a view finer than the peak arrays gets its samples:
// read(first, count, samples) puts frames [first, first + count) into
// samples as 16-bit values, one a frame for mono and two otherwise,
// interleaved, and returns the frames it could read.
using SampleSource =
    std::function<std::size_t(std::uint64_t first, std::size_t count, std::vector<std::int16_t>& samples)>;

// What the view shows: the document's peaks (or samples), markers and
// ruler, and the play cursor.  Units in every comment: frames, columns,
// pixels of the whole picture (a column takes PixelsPerColumn of them).
struct WaveScene {
    bool Visible = false;  // a document is open (nothing is drawn otherwise)
    // Per column, at 1000 frames a column and more; finer zooms draw from
    // Samples.
    const std::vector<std::int16_t>* PeakUpper = nullptr;
    const std::vector<std::int16_t>* PeakLower = nullptr;
    SampleSource Samples;
    std::uint32_t ColumnCount = 0;
    std::uint32_t TotalFrames = 0;     // frames
    std::uint32_t SelStartFrame = 0;   // frames
    std::uint32_t SelFinishFrame = 0;  // frames
    std::uint32_t DurationSeconds = 0;
    std::int32_t Channels = 0;
    std::int32_t SampleRate = 0;
    std::int32_t FramesPerColumn = 10000;
    std::int32_t PixelsPerColumn = 1;
    std::int64_t BitmapWidth = 10;    // pixels of the whole picture
    int Height = WaveViewHeight;      // the view's height in rows (WaveViewHeight or more)
    std::uint64_t PlayFrame = 0;      // frames: the play position
    std::int64_t ViewLeft = 0;        // pixels: the picture's pixel at the view's left edge
    QColor RulerColor;                // the desktop's tool-tip background
    QColor FinishMarkerColor;         // the desktop's light 3-D edge
};

// The virtual off-screen bitmap of the waveform view: a width in pixels
// and a height in rows (221 by design), drawn on demand a tile at a time
// (see RenderWaveTile).
struct WaveBitmapSize {
    std::int64_t Width = 10;  // pixels
    int Height = WaveViewHeight;
};

// The desktop's tool-tip background for the ruler where the ruler's grey
// labels read on it; a dark desktop's would hide them, and the classic
// light tool-tip colour stands in.
QColor ReadableRulerColor(const QColor& toolTipBase);
// The desktop's light 3-D edge for the finish marker where it stands out
// on the black view; a dark desktop's would not, and the classic light
// edge stands in.
QColor ReadableFinishMarkerColor(const QColor& light);

// The pixel of the whole picture a frame's marker stands on (the left edge
// of the frame's column), never past the picture's last pixel.
std::int64_t MarkerPixel(const WaveScene& scene, std::uint64_t frame);

// The view as one bitmap BitmapWidth x Height would show it, pixels x0 to
// x0 + width - 1 only: every tile is pixel for pixel the same as the part
// of the whole picture it covers, so a long document costs only what is on
// screen.
//
// The picture, in rows for the design height of 221: black, the selection
// band (0, 51, 204) from the start marker's column up to the finish
// marker's (to the end when it is the end of the audio); at 1000 frames a
// column and more, per column a green line up from the midline to the
// upper peak and a line down to the lower peak (green for mono, red
// otherwise), the olive midline at row 100, and the ruler in rows 201 to
// 220 with a tick every ten seconds (long and labelled every twenty) at
// the truncated running sum of single-precision ten-second steps; then the
// start marker (aqua), the finish marker and the play cursor (yellow),
// each a line over rows 0 to 199 with its time label right of it, or left
// of it near the right edge; a label that would cover one drawn before it
// moves down a line (the same text in the same place is one label).  Lines
// include their first pixel and exclude their last.
//
// Finer, the view reads what it shows from Samples: between 1000 frames a
// column and one, each column's peaks from every frame in it, drawn alike;
// at one frame a column (and more pixels a frame), the samples themselves
// joined by lines, the two channels of a stereo file each in a lane of its
// own (the first above), with a dot on each where they stand four pixels
// apart or more.  The ruler there ticks at round fractions of a second as
// close as reads, labelled to that fraction, and marker labels give the
// millisecond.
//
// A taller view keeps the ruler in its last 20 rows; the midline moves to
// (ruler top - 1) / 2 and a peak of p (percent of full scale) reaches
// p x midline / 100 rows from it, which is p itself at the design height.
QImage RenderWaveTile(const WaveScene& scene, std::int64_t x0, int width);

} // namespace velmora
