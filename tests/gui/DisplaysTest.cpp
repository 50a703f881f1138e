// The spectrum and level displays, frame by frame.

#include "document/Document.h"
#include "playback/Spectrum.h"
#include "playback/Volume.h"

#include <gtest/gtest.h>

#include <QColor>

namespace velmora {
namespace {

const QRgb Black = qRgb(0, 0, 0);

TEST(Spectrum, BarsRiseAtOnceAndFallThreeAPeakDotOne)
{
    TSpectrum spectrum(97, 49);
    float fft[512] = {};
    fft[5] = 20.0f / 500;  // bin 5 is column 0: h = 20
    spectrum.Draw(nullptr, fft, psPlaying);
    EXPECT_EQ(spectrum.Bars[0], 20);
    EXPECT_EQ(spectrum.Peaks[0], 20);
    // The bar's rows 29..48; the top one red-ish, the bottom yellow-ish.
    EXPECT_EQ(spectrum.Buffer.pixel(0, 28), Black);
    EXPECT_EQ(qRed(spectrum.Buffer.pixel(0, 48)), 255);
    EXPECT_GT(qGreen(spectrum.Buffer.pixel(0, 48)), 200);
    // Row y's green is 0 - trunc(y x (0 - 255) / 49).
    EXPECT_EQ(spectrum.Buffer.pixel(0, 30), qRgb(255, static_cast<int>(30 * (255.0f / 49.0f)), 0));
    // The peak dot sits on the bar's top row.
    EXPECT_EQ(spectrum.Buffer.pixel(0, 49 - 20), qRgb(255, 255, 0));

    fft[5] = 0;
    std::vector<int> bars, peaks;
    for (int frame = 0; frame < 21; ++frame) {
        spectrum.Draw(nullptr, fft, psPlaying);
        bars.push_back(spectrum.Bars[0]);
        peaks.push_back(spectrum.Peaks[0]);
    }
    EXPECT_EQ(std::vector<int>(bars.begin(), bars.begin() + 8), (std::vector<int>{17, 14, 11, 8, 5, 2, 0, 0}));
    EXPECT_EQ(peaks[0], 19);
    EXPECT_EQ(peaks[18], 1);
    EXPECT_EQ(peaks[19], 0);
}

TEST(Spectrum, FullHeightFromAMagnitudeOf0098AndBlackWhenStopped)
{
    TSpectrum spectrum(97, 49);
    float fft[512] = {};
    for (int i = 0; i < 512; ++i)
        fft[i] = 0.098f;
    spectrum.Draw(nullptr, fft, psPaused);
    EXPECT_EQ(spectrum.Bars[10], 49);
    EXPECT_NE(spectrum.Buffer.pixel(10, 0), Black);
    spectrum.Draw(nullptr, fft, psStopped);
    for (int x = 0; x < 97; ++x)
        ASSERT_EQ(spectrum.Buffer.pixel(x, 30), Black);
    EXPECT_EQ(spectrum.Bars[10], 49);  // kept for when playback resumes
}

TEST(LevelMeter, BarsFallFifteenAndMarksTwo)
{
    TVolume level(161, 17);
    level.Draw(nullptr, 100, 50, psPlaying);
    EXPECT_EQ(level.LeftLevel, 161);
    EXPECT_EQ(level.RightLevel, 80);
    EXPECT_EQ(level.LeftPeak, 161);
    // The left bar covers rows 0..6, the right rows 10..16.
    EXPECT_EQ(level.Buffer.pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(level.Buffer.pixel(160, 6), qRgb(253, 2, 0));
    EXPECT_EQ(level.Buffer.pixel(0, 7), Black);
    EXPECT_EQ(level.Buffer.pixel(0, 10), qRgb(0, 255, 0));
    EXPECT_EQ(level.Buffer.pixel(79, 16), level.Buffer.pixel(79, 10));
    EXPECT_EQ(level.Buffer.pixel(80, 12), qRgb(255, 255, 0));  // the right peak mark at 80

    std::vector<int> bars, marks;
    for (int tick = 0; tick < 12; ++tick) {
        level.Draw(nullptr, 0, 0, psPlaying);
        bars.push_back(level.LeftLevel);
        marks.push_back(level.LeftPeak);
    }
    EXPECT_EQ(bars, (std::vector<int>{146, 131, 116, 101, 86, 71, 56, 41, 26, 11, 0, 0}));
    EXPECT_EQ(std::vector<int>(marks.begin(), marks.begin() + 3), (std::vector<int>{159, 157, 155}));
}

TEST(LevelMeter, PausingLetsBothSinkAndStoppedIsBlank)
{
    TVolume level(161, 17);
    level.Draw(nullptr, 100, 100, psPlaying);
    level.Draw(nullptr, 100, 100, psPaused);
    EXPECT_EQ(level.LeftLevel, 146);
    EXPECT_EQ(level.RightPeak, 159);
    level.Draw(nullptr, 100, 100, psStopped);
    EXPECT_EQ(level.Buffer.pixel(0, 0), Black);
    EXPECT_EQ(level.LeftLevel, 146);
}

} // namespace
} // namespace velmora
