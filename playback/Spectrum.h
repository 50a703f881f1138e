#pragma once

#include <QColor>
#include <QImage>

#include <cstdint>

class QWidget;

namespace velmora {

// The spectrum display: 128 one-pixel bars over FFT bins 5 to 132, a
// yellow-to-red gradient from the bottom up, each with a falling peak dot.
// Draws one frame per call into its back buffer and shows the buffer on a
// widget in one piece.
class TSpectrum {
public:
    TSpectrum(int width, int height);

    // One frame: fft holds 512 magnitudes; state is the PlayState.  Bars
    // and dots are drawn only while playing or paused.
    void Draw(QWidget* target, const float* fft, std::int32_t state);

    const QImage& Image() const { return Buffer; }

    QImage Buffer;
    int OriginX = 0;
    int OriginY = 0;
    QColor BackColor{0, 0, 0};
    int Range;
    QColor PeakColor{255, 255, 0};
    QColor BottomColor{255, 255, 0};
    QColor TopColor{255, 0, 0};
    int BinStep = 1;
    int PeakFall = 1;
    int BarFall = 3;
    bool ShowPeaks = true;
    int Peaks[128] = {};
    int Bars[128] = {};
};

} // namespace velmora
