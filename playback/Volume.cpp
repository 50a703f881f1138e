#include "Volume.h"

#include "document/Document.h"

#include <QPainter>
#include <QWidget>

namespace velmora {

namespace {

// A level and its peak mark after one frame with input level pixels.
void Fall(int pixels, int levelFall, int peakFall, int& level, int& peak)
{
    level -= levelFall;
    if (level < 0)
        level = 0;
    if (pixels >= level)
        level = pixels;
    peak -= peakFall;
    if (peak < 0)
        peak = 0;
    if (level >= peak)
        peak = level;
}

} // namespace

TVolume::TVolume(int width, int height) : Buffer(width, height, QImage::Format_RGB32), Length(width)
{
    Buffer.fill(BackColor);
}

void TVolume::Draw(QWidget* target, int left, int right, std::int32_t state)
{
    Buffer.fill(BackColor);
    if (state == psPlaying || state == psPaused) {
        const float dR = static_cast<float>(EndColor.red() - StartColor.red()) / static_cast<float>(Length);
        const float dG = static_cast<float>(EndColor.green() - StartColor.green()) / static_cast<float>(Length);
        const float dB = static_cast<float>(EndColor.blue() - StartColor.blue()) / static_cast<float>(Length);
        if (state == psPaused)
            left = right = 0;
        Fall(left * Length / 100, LevelFall, PeakFall, LeftLevel, LeftPeak);
        Fall(right * Length / 100, LevelFall, PeakFall, RightLevel, RightPeak);

        QPainter painter(&Buffer);
        auto column = [&](int x, int top, int bottom, const QColor& color) {
            // A line from (x, top) to (x, bottom): the last row excluded.
            painter.fillRect(x, top, 1, bottom - top, color);
        };
        auto gradient = [&](int x) {
            return QColor((StartColor.red() + static_cast<int>(static_cast<float>(x) * dR)) & 0xFF,
                          (StartColor.green() + static_cast<int>(static_cast<float>(x) * dG)) & 0xFF,
                          (StartColor.blue() + static_cast<int>(static_cast<float>(x) * dB)) & 0xFF);
        };
        for (int x = 0; x < LeftLevel; ++x)
            column(x, 0, Thickness, gradient(x));
        if (ShowPeaks)
            column(LeftPeak, 0, Thickness, PeakColor);
        for (int x = 0; x < RightLevel; ++x)
            column(x, Thickness + 3, 2 * Thickness + 3, gradient(x));
        if (ShowPeaks)
            column(RightPeak, Thickness + 3, 2 * Thickness + 3, PeakColor);
    }
    if (target != nullptr)
        target->update();
}

} // namespace velmora
