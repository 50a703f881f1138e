#pragma once

#include <QColor>
#include <QImage>

#include <cstdint>
#include <vector>

namespace velmora {

// The view's design height; a taller waveform area grows the view.
inline constexpr int WaveViewHeight = 221;
// The ruler's rows at the bottom of the view.
inline constexpr int RulerRows = 20;

// The first row of the ruler in a view of height rows; the waveform lies
// above it.
constexpr int RulerTopRow(int height) { return height - RulerRows; }

// What the waveform view shows: the document's peaks, markers and ruler,
// and the play cursor.  Units as in the document: columns, seconds, bytes
// of the playback stream.
struct WaveScene {
    bool Visible = false;  // a document is open (nothing is drawn otherwise)
    const std::vector<std::int16_t>* PeakUpper = nullptr;
    const std::vector<std::int16_t>* PeakLower = nullptr;
    std::uint32_t ColumnCount = 0;
    std::uint32_t SelStart = 0;
    std::uint32_t SelFinish = 0;
    std::uint32_t DurationSeconds = 0;
    std::int32_t Channels = 0;
    std::int32_t SampleRate = 0;
    std::int32_t FramesPerColumn = 10000;
    int BitmapWidth = 10;             // the view's width in columns
    int Height = WaveViewHeight;      // the view's height in rows (WaveViewHeight or more)
    std::int64_t StreamLength = 0;    // bytes of the playback stream
    double StreamBytesPerSecond = 0;  // of the playback stream; 0 when there is none
    std::int64_t PlayPosition = 0;    // bytes of the playback stream
    QColor RulerColor;                // the desktop's tool-tip background
    QColor FinishMarkerColor;         // the desktop's light 3-D edge
};

// The virtual off-screen bitmap of the waveform view: a width in columns
// and a height in rows (221 by design), drawn on demand a tile at a time
// (see RenderWaveTile).
struct WaveBitmapSize {
    int Width = 10;
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

// The play cursor's column: trunc(ColumnCount x position / StreamLength).
std::uint32_t PlayColumn(const WaveScene& scene);

// The view as one bitmap BitmapWidth x Height would show it, columns x0 to
// x0 + width - 1 only: every tile is pixel for pixel the same as the part
// of the whole picture it covers, so a long document costs only what is on
// screen.
//
// The picture, in rows for the design height of 221: black, the selection
// band (0, 51, 204) from SelStart up to SelFinish, per column a green line
// up from the midline to the upper peak and a line down to the lower peak
// (green for mono, red otherwise), the olive midline at row 100; the ruler
// in rows 201 to 220 with a tick every ten seconds (long and labelled every
// twenty) at the truncated running sum of single-precision ten-second steps;
// then the start marker (aqua), the finish marker and the play cursor
// (yellow), each a line over rows 0 to 199 with its time label right of it,
// or left of it near the right edge; a label that would cover one drawn
// before it moves down a line (the same text in the same place is one
// label).  Lines include their first pixel and exclude their last.
//
// A taller view keeps the ruler in its last 20 rows; the midline moves to
// (ruler top - 1) / 2 and a peak of p (percent of full scale) reaches
// p x midline / 100 rows from it, which is p itself at the design height.
QImage RenderWaveTile(const WaveScene& scene, int x0, int width);

} // namespace velmora
