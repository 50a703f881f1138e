#pragma once

#include <QColor>
#include <QImage>

#include <cstdint>

class QWidget;

namespace velmora {

// The level display: the left channel's bar above the right one's, a
// green-to-red gradient from the left, each with a falling peak mark.
// Draws one frame per call into its back buffer and shows the buffer on a
// widget in one piece.
class TVolume {
public:
    TVolume(int width, int height);

    // One frame: left and right are levels in percent (0..100); state is
    // the PlayState.  While paused both count as 0, so bars and marks sink.
    void Draw(QWidget* target, int left, int right, std::int32_t state);

    const QImage& Image() const { return Buffer; }

    QImage Buffer;
    QColor BackColor{0, 0, 0};
    QColor PeakColor{255, 255, 0};
    QColor StartColor{0, 255, 0};
    QColor EndColor{255, 0, 0};
    int Length;
    int Thickness = 7;
    int PeakFall = 2;
    int LevelFall = 15;
    bool ShowPeaks = true;
    int LeftPeak = 0;
    int RightPeak = 0;
    int LeftLevel = 0;
    int RightLevel = 0;
};

} // namespace velmora
