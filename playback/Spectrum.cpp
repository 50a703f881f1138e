#include "Spectrum.h"

#include "document/Document.h"

#include <QWidget>

#include <cmath>

namespace velmora {

TSpectrum::TSpectrum(int width, int height) : Buffer(width, height, QImage::Format_RGB32), Range(height)
{
    Buffer.fill(BackColor);
}

void TSpectrum::Draw(QWidget* target, const float* fft, std::int32_t state)
{
    Buffer.fill(BackColor);
    if (state == psPlaying || state == psPaused) {
        const float dR = static_cast<float>(TopColor.red() - BottomColor.red()) / static_cast<float>(Range);
        const float dG = static_cast<float>(TopColor.green() - BottomColor.green()) / static_cast<float>(Range);
        const float dB = static_cast<float>(TopColor.blue() - BottomColor.blue()) / static_cast<float>(Range);
        for (int i = 0; i < 128; ++i) {
            const float v = std::fabs(fft[i * BinStep + 5]);
            int h = static_cast<int>(v * 500);
            if (h > Range)
                h = Range;
            if (h >= Peaks[i])
                Peaks[i] = h;
            else
                Peaks[i] -= PeakFall;
            if (h >= Bars[i])
                Bars[i] = h;
            else
                Bars[i] -= BarFall;
            if (Peaks[i] < 0)
                Peaks[i] = 0;
            if (Bars[i] < 0)
                Bars[i] = 0;
            const int x = OriginX + i;
            for (int y = Range - Bars[i]; y <= Range - 1; ++y) {
                const int py = OriginY + y;
                if (x < 0 || x >= Buffer.width() || py < 0 || py >= Buffer.height())
                    continue;
                const int r = (TopColor.red() - static_cast<int>(static_cast<float>(y) * dR)) & 0xFF;
                const int g = (TopColor.green() - static_cast<int>(static_cast<float>(y) * dG)) & 0xFF;
                const int b = (TopColor.blue() - static_cast<int>(static_cast<float>(y) * dB)) & 0xFF;
                Buffer.setPixel(x, py, qRgb(r, g, b));
            }
            const int peakY = OriginY + Range - Peaks[i];
            if (ShowPeaks && x >= 0 && x < Buffer.width() && peakY >= 0 && peakY < Buffer.height())
                Buffer.setPixel(x, peakY, PeakColor.rgb());
        }
    }
    if (target != nullptr)
        target->update();
}

} // namespace velmora
