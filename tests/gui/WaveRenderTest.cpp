// The waveform picture, pixel by pixel, and the tiles it is drawn in.

#include "document/WaveRenderer.h"

#include <gtest/gtest.h>

#include <QColor>

namespace velmora {
namespace {

const QRgb Black = qRgb(0, 0, 0);
const QRgb Blue = qRgb(0, 51, 204);
const QRgb Green = qRgb(0, 255, 0);
const QRgb Red = qRgb(255, 0, 0);
const QRgb Olive = qRgb(128, 128, 0);
const QRgb Aqua = qRgb(0, 255, 255);
const QRgb Yellow = qRgb(255, 255, 0);
const QRgb Ruler = qRgb(255, 255, 220);
const QRgb Light = qRgb(250, 250, 250);

struct Scene {
    std::vector<std::int16_t> Upper, Lower;
    WaveScene S;

    explicit Scene(std::uint32_t columns, std::int32_t channels = 2)
        : Upper(columns, 0), Lower(columns, 0)
    {
        S.Visible = true;
        S.PeakUpper = &Upper;
        S.PeakLower = &Lower;
        S.ColumnCount = columns;
        S.TotalFrames = columns * 10000;
        S.BitmapWidth = columns;
        S.Channels = channels;
        S.SampleRate = 44100;
        S.FramesPerColumn = 10000;
        S.DurationSeconds = static_cast<std::uint32_t>(columns * 10000ull / 44100);
        Markers(0, 0);
        S.RulerColor = QColor(Ruler);
        S.FinishMarkerColor = QColor(Light);
    }
    // Markers at columns, as the columns' rules set them: the finish on the
    // last column is the end of the audio.
    void Markers(std::uint32_t start, std::uint32_t finish)
    {
        S.SelStartFrame = start * 10000;
        S.SelFinishFrame = finish + 1 >= S.ColumnCount ? S.TotalFrames : finish * 10000;
    }
    // The play cursor at a column (or past the end).
    void Cursor(std::uint32_t column) { S.PlayFrame = std::uint64_t{column} * 10000; }
    QImage Whole() const { return RenderWaveTile(S, 0, static_cast<int>(S.BitmapWidth)); }
};

TEST(WaveRenderer, PeaksMidlineAndSelection)
{
    Scene scene(40, 2);
    scene.Upper[10] = 30;
    scene.Lower[10] = 5;
    scene.Upper[11] = 1;   // a line from row 99 to row 99 draws nothing
    scene.Upper[12] = 100;
    scene.Lower[12] = 100;
    scene.Markers(20, 25);
    scene.Cursor(0);
    const QImage image = scene.Whole();
    ASSERT_EQ(image.size(), QSize(40, 221));

    // Column 10: green rows 70..98, midline at 100, red rows 100..104 but
    // the midline is drawn over row 100.
    EXPECT_EQ(image.pixel(10, 69), Black);
    EXPECT_EQ(image.pixel(10, 70), Green);
    EXPECT_EQ(image.pixel(10, 98), Green);
    EXPECT_EQ(image.pixel(10, 99), Black);
    EXPECT_EQ(image.pixel(10, 100), Olive);
    EXPECT_EQ(image.pixel(10, 101), Red);
    EXPECT_EQ(image.pixel(10, 104), Red);
    EXPECT_EQ(image.pixel(10, 105), Black);
    EXPECT_EQ(image.pixel(11, 98), Black);
    EXPECT_EQ(image.pixel(12, 0), Green);
    EXPECT_EQ(image.pixel(12, 199), Red);
    EXPECT_EQ(image.pixel(12, 200), Black);
    // The selection band covers columns 20..24.
    EXPECT_EQ(image.pixel(19, 50), Black);
    EXPECT_EQ(image.pixel(20, 150), Aqua);  // its first column carries the start marker's line
    EXPECT_EQ(image.pixel(21, 150), Blue);
    EXPECT_EQ(image.pixel(24, 220), Ruler);  // the ruler is drawn over the band's rows 201..220
    EXPECT_EQ(image.pixel(24, 199), Blue);
    EXPECT_EQ(image.pixel(25, 150), Light);  // the finish marker's line
    EXPECT_EQ(image.pixel(26, 150), Black);
    // The play cursor at 0 is drawn last, over the start of everything.
    EXPECT_EQ(image.pixel(0, 150), Yellow);
    EXPECT_EQ(image.pixel(0, 200), Black);
    EXPECT_EQ(image.pixel(39, 100), Olive);
}

TEST(WaveRenderer, MonoLowerPeaksAreGreenAndZeroPeaksDrawOnlyTheMidline)
{
    Scene scene(20, 1);
    scene.Upper[5] = 10;
    scene.Lower[5] = 10;
    scene.Markers(19, 19);
    const QImage image = scene.Whole();
    EXPECT_EQ(image.pixel(5, 105), Green);
    EXPECT_EQ(image.pixel(6, 99), Black);
    EXPECT_EQ(image.pixel(6, 100), Olive);
    EXPECT_EQ(image.pixel(6, 101), Black);
}

TEST(WaveRenderer, RulerTicksFollowTheSinglePrecisionSteps)
{
    Scene scene(500);  // 113 seconds: ticks at 0, 10, ... 110
    scene.Markers(499, 499);
    scene.Cursor(scene.S.ColumnCount);
    const QImage image = scene.Whole();
    // The positions are the truncated running sum of 44.1 in single
    // precision: 0, 44, 88, 132, 176, ...
    const float step = 44100.0f * 10.0f / 10000.0f;
    float x = 0;
    std::vector<int> expected;
    for (int t = 0; t < 113; t += 10, x += step)
        expected.push_back(static_cast<int>(x));
    ASSERT_EQ((std::vector<int>{expected[0], expected[1], expected[2], expected[3], expected[4]}),
              (std::vector<int>{0, 44, 88, 132, 176}));
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const int c = expected[i];
        const bool labelled = i % 2 == 0;  // every 20 seconds
        EXPECT_EQ(image.pixel(c, 201), Black) << c;
        EXPECT_EQ(image.pixel(c, 202), Black) << c;
        EXPECT_EQ(image.pixel(c, 203), labelled ? Black : Ruler) << c;
        EXPECT_EQ(image.pixel(c, 205), labelled ? Black : Ruler) << c;
        EXPECT_EQ(image.pixel(c, 206), Ruler) << c;
        EXPECT_EQ(image.pixel(c + 1, 202), Ruler) << c;
    }
    // Labels in grey from two pixels right of a long tick, rows 208 on.
    bool greyLabel = false;
    for (int lx = 2; lx < 40; ++lx)
        for (int ly = 208; ly < 221; ++ly)
            greyLabel = greyLabel || image.pixel(lx, ly) != Ruler;
    EXPECT_TRUE(greyLabel);
}

TEST(WaveRenderer, AShortFileGetsTicksOnlyBelowItsDuration)
{
    for (const auto& [seconds, lastTick] : {std::pair{25u, 44}, std::pair{20u, 44}}) {
        Scene scene(120);
        scene.S.DurationSeconds = seconds;
        scene.Markers(119, 119);
        const QImage image = scene.Whole();
        EXPECT_EQ(image.pixel(lastTick, 202), Black) << seconds;
        EXPECT_EQ(image.pixel(88, 202), seconds == 25 ? Black : Ruler) << seconds;
    }
}

bool AnythingDrawnIn(const QImage& image, int x0, int x1, int y0, int y1)
{
    for (int x = x0; x < x1; ++x)
        for (int y = y0; y < y1; ++y)
            if (image.pixel(x, y) != Black)
                return true;
    return false;
}

TEST(WaveRenderer, MarkerLabelsFlipNearTheRightEdge)
{
    // In a 500-column view a label starts 2 pixels right of its line up to
    // column 452, and 46 pixels left of it from column 453 on.
    for (const auto& [marker, labelLeftOfLine] : {std::pair{452, false}, std::pair{453, true}}) {
        Scene scene(500);
        scene.Markers(static_cast<std::uint32_t>(marker), 499);
        scene.Cursor(scene.S.ColumnCount);  // the cursor out of the way, past the end
        const QImage image = scene.Whole();
        EXPECT_EQ(AnythingDrawnIn(image, marker - 46, marker, 2, 14), labelLeftOfLine) << marker;
        EXPECT_EQ(image.pixel(marker, 150), Aqua);
    }
    Scene first(500);
    first.Markers(0, 10);
    first.Cursor(first.S.ColumnCount);
    EXPECT_TRUE(AnythingDrawnIn(first.Whole(), 2, 40, 2, 14));  // the start marker's label at x = 2
}

// Close markers: a label that would cover one drawn before it goes a line
// lower (the cursor at the start marker, with the same time, stays one
// label), and tiles still agree with the whole picture.
TEST(WaveRenderer, CloseMarkersNeverDrawOneLabelOverAnother)
{
    Scene scene(500);
    scene.Markers(100, 110);  // 00:00:22 and 00:00:24, whose label would cover the start's
    scene.Cursor(100);  // on the start marker
    const QImage image = scene.Whole();
    // Right of the finish marker's line: its label in the second line only.
    EXPECT_TRUE(AnythingDrawnIn(image, 112, 140, 2, 14));  // the start's label, still in the top line
    EXPECT_TRUE(AnythingDrawnIn(image, 112, 150, 15, 27));
    int finishColoured = 0;
    for (int x = 112; x < 160; ++x)
        for (int y = 2; y < 14; ++y)
            finishColoured += image.pixel(x, y) == Light;
    EXPECT_EQ(finishColoured, 0);
    for (int x0 : {0, 105, 111, 130})
        EXPECT_EQ(RenderWaveTile(scene.S, x0, 40), image.copy(x0, 0, 40, 221)) << x0;
}

// The two colours the desktop gives stay where they read, and give way on
// a dark desktop: its tool-tip background under the grey ruler labels, its
// light edge for the finish marker on black.
TEST(WaveRenderer, DesktopColoursGiveWayWhereTheyWouldNotRead)
{
    EXPECT_EQ(ReadableRulerColor(QColor(Ruler)), QColor(Ruler));
    EXPECT_EQ(ReadableRulerColor(QColor(255, 255, 255)), QColor(255, 255, 255));
    EXPECT_NE(ReadableRulerColor(QColor(53, 53, 53)), QColor(53, 53, 53));
    EXPECT_EQ(ReadableFinishMarkerColor(QColor(Light)), QColor(Light));
    EXPECT_NE(ReadableFinishMarkerColor(QColor(60, 60, 60)), QColor(60, 60, 60));
}

TEST(WaveRenderer, TilesArePixelIdenticalToTheWholePicture)
{
    Scene scene(900);
    for (std::uint32_t i = 0; i < 900; ++i) {
        scene.Upper[i] = static_cast<std::int16_t>((i * 37) % 101);
        scene.Lower[i] = static_cast<std::int16_t>((i * 53) % 101);
    }
    scene.Markers(130, 860);
    scene.Cursor(447);
    const QImage whole = scene.Whole();
    for (const auto& [x0, width] : {std::pair{0, 100}, std::pair{37, 200}, std::pair{120, 30}, std::pair{400, 100},
                                    std::pair{820, 80}, std::pair{845, 55}, std::pair{899, 1}}) {
        const QImage tile = RenderWaveTile(scene.S, x0, width);
        EXPECT_EQ(tile, whole.copy(x0, 0, width, 221)) << "tile at " << x0;
    }
}

TEST(WaveRenderer, ATallerViewScalesThePeaksAndKeepsTheRulerAtTheBottom)
{
    // 421 rows: the ruler in rows 401..420, the midline at row 200, and a
    // peak of p percent reaching 2p rows from it (lines exclude their last
    // pixel).
    Scene scene(40, 2);
    scene.S.Height = 421;
    scene.Upper[10] = 50;
    scene.Lower[10] = 100;
    scene.Upper[11] = 33;  // 66 rows
    scene.Markers(5, 30);
    const QImage image = scene.Whole();
    ASSERT_EQ(image.size(), QSize(40, 421));
    EXPECT_EQ(image.pixel(10, 99), Blue);
    EXPECT_EQ(image.pixel(10, 100), Green);
    EXPECT_EQ(image.pixel(10, 198), Green);
    EXPECT_EQ(image.pixel(10, 199), Blue);
    EXPECT_EQ(image.pixel(10, 200), Olive);
    EXPECT_EQ(image.pixel(10, 399), Red);
    EXPECT_EQ(image.pixel(10, 400), Blue);
    EXPECT_EQ(image.pixel(11, 133), Blue);
    EXPECT_EQ(image.pixel(11, 134), Green);
    EXPECT_EQ(image.pixel(20, 400), Blue);
    EXPECT_EQ(image.pixel(20, 401), Ruler);
    EXPECT_EQ(image.pixel(20, 420), Ruler);
    // The markers stop a row above the ruler, as at the design height.
    EXPECT_EQ(image.pixel(5, 399), Aqua);
    EXPECT_EQ(image.pixel(5, 400), Blue);
    EXPECT_EQ(image.pixel(30, 399), Light);
    // A label at the long tick of 0:00 sits as far below the ruler's top
    // as at the design height.
    bool labelled = false;
    for (int y = 408; y < 420; ++y)
        labelled = labelled || image.pixel(3, y) != Ruler;
    EXPECT_TRUE(labelled);
}

} // namespace
} // namespace velmora
