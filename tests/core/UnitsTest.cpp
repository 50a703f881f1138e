// Time text and the conversions between columns, stream bytes and seconds.

#include "document/Document.h"
#include "document/PlayCursorFollow.h"
#include "document/Units.h"
#include "document/Zoom.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(SecondsToTimeText, FieldsHaveAtLeastTwoDigits)
{
    const std::pair<std::int32_t, const char*> cases[] = {
        {0, "00:00:00"},       {5, "00:00:05"},     {59, "00:00:59"},   {60, "00:01:00"},
        {200, "00:03:20"},     {3599, "00:59:59"},  {3725, "01:02:05"}, {36000, "10:00:00"},
        {360000, "100:00:00"}, {-5, "00:00:00"},
    };
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(SecondsToTimeText(seconds), text) << seconds;
}

// Frames and columns: a marker's column is the one its frame lies in;
// a column's marker frame its first, the last column's finish the end.
TEST(Units, FramesAndColumns)
{
    Document doc;
    doc.FramesPerColumn = 1000;
    doc.TotalFrames = 10500;  // 11 columns, the last one half full
    doc.ColumnCount = ColumnCountFor(doc.TotalFrames, doc.FramesPerColumn);
    ASSERT_EQ(doc.ColumnCount, 11u);
    EXPECT_EQ(ColumnOfFrame(doc, 0), 0u);
    EXPECT_EQ(ColumnOfFrame(doc, 999), 0u);
    EXPECT_EQ(ColumnOfFrame(doc, 1000), 1u);
    EXPECT_EQ(ColumnOfFrame(doc, 10500), 10u);     // the end lies on the last column
    EXPECT_EQ(ColumnOfFrame(doc, 1u << 31), 10u);  // never past it
    EXPECT_EQ(StartFrameOfColumn(doc, 10), 10000u);
    EXPECT_EQ(FinishFrameOfColumn(doc, 9), 9000u);
    EXPECT_EQ(FinishFrameOfColumn(doc, 10), 10500u);
    EXPECT_EQ(StartFrameOfColumn(doc, 20), 10500u);
}

// Typed times go to the nearest frame; past the end by more than half a
// frame they are none.  The length to the millisecond.
TEST(Units, TimesToFramesAndTheLength)
{
    const std::uint32_t nineSeconds = 410218;  // 9.302 s at 44.1 kHz
    EXPECT_EQ(FrameAtSeconds(60.5, 44100, 1u << 30), 2668050u);
    EXPECT_EQ(FrameAtSeconds(150.25, 44100, 1u << 30), 6626025u);
    EXPECT_EQ(FrameAtSeconds(2, 22050, 1u << 30), 44100u);
    EXPECT_EQ(FrameAtSeconds(1.0 / 3, 48000, 1u << 30), 16000u);
    EXPECT_EQ(FrameAtSeconds(9.302, 44100, nineSeconds), 410218u);  // 410218.2: the end
    EXPECT_FALSE(FrameAtSeconds(9.31, 44100, nineSeconds));
    EXPECT_FALSE(FrameAtSeconds(20, 44100, nineSeconds));
    EXPECT_FALSE(FrameAtSeconds(1, 0, nineSeconds));
    EXPECT_EQ(DurationText(nineSeconds, 44100), "00:00:09.302");
    EXPECT_EQ(DurationText(44100 * 3725 + 44099, 44100), "01:02:06.000");  // rounded up into the next second
    EXPECT_EQ(DurationText(0, 0), "00:00:00.000");
}

TEST(Units, ColumnToWorkFileByte)
{
    EXPECT_EQ(ColumnToWorkFileByte(10, 10000, 4, 44), 400044u);
    EXPECT_EQ(ColumnToWorkFileByte(0, 1000, 1, 46), 46u);
}

TEST(Units, RulerStepAccumulatesInSinglePrecision)
{
    const float step = TenSecondsInColumns(44100, 10000);
    float x = 0;
    std::vector<int> ticks;
    for (int i = 0; i < 6; ++i) {
        ticks.push_back(static_cast<int>(x));
        x += step;
    }
    EXPECT_EQ(ticks, (std::vector<int>{0, 44, 88, 132, 176, 220}));
}

// The six steps, then the finer ones down to 32 pixels a frame; the
// captions of the finer ones continue the ratios.
TEST(Zoom, StepsInAndOut)
{
    EXPECT_EQ(ZoomInStep(10000), ZoomLevel(8000));
    EXPECT_EQ(ZoomInStep(2000), ZoomLevel(1000));
    EXPECT_EQ(ZoomInStep(1000), ZoomLevel(500));
    EXPECT_EQ(ZoomInStep(1), ZoomLevel(1, 2));
    EXPECT_EQ(ZoomInStep(ZoomLevel{1, 32}), ZoomLevel(1, 32));
    EXPECT_EQ(ZoomOutStep(ZoomLevel{1, 2}), ZoomLevel(1));
    EXPECT_EQ(ZoomOutStep(500), ZoomLevel(1000));
    EXPECT_EQ(ZoomOutStep(1000), ZoomLevel(2000));
    EXPECT_EQ(ZoomOutStep(8000), ZoomLevel(10000));
    EXPECT_EQ(ZoomOutStep(10000), ZoomLevel(10000));
    EXPECT_TRUE(IsZoomStep(6000));
    EXPECT_FALSE(IsZoomStep(5000));
    // Every step is reached from the coarsest, in order, and back.
    ZoomLevel zoom = CoarsestZoom;
    int steps = 0;
    while (ZoomInStep(zoom) != zoom) {
        EXPECT_EQ(ZoomOutStep(ZoomInStep(zoom)), zoom);
        zoom = ZoomInStep(zoom);
        ++steps;
    }
    EXPECT_EQ(steps, static_cast<int>(std::size(ZoomSteps) + std::size(FineZoomSteps)) - 1);
    EXPECT_EQ(FineZoomCaption(500), "1 : 2");
    EXPECT_EQ(FineZoomCaption(1), "1 : 1000");
    EXPECT_EQ(FineZoomCaption(ZoomLevel{1, 32}), "1 : 32000");
}

// Whole File: the smallest multiple of 1000 that fits the document in the
// view; a document that fits at 1000 takes the fewest frames a column
// that fit, one shorter than the view pixels a frame; the steps in and out
// from there go to the nearest step that way.
TEST(Zoom, WholeFileFitsTheViewAndStepsFromThere)
{
    struct Case {
        std::uint32_t Frames, View;
        ZoomLevel Expected;
    };
    for (const Case& c : {Case{1058400, 714, 2000},          // 24 s at 44.1 kHz
                          Case{3600u * 44100u, 700, 227000},  // an hour
                          Case{410218, 1400, 294},            // 9.3 s
                          Case{100, 700, {1, 7}}, Case{10, 700, {1, 32}}, Case{700000, 700, 1000},
                          Case{700001, 700, 2000}, Case{4000000000u, 1, 2147483000}, Case{5000, 0, 5000},
                          Case{0, 700, 1000}}) {
        const ZoomLevel zoom = WholeFileZoom(c.Frames, c.View);
        EXPECT_EQ(zoom, c.Expected) << c.Frames << " in " << c.View;
        EXPECT_TRUE(IsValidZoom(zoom));
    }
    EXPECT_EQ(ZoomInStep(227000), ZoomLevel(10000));
    EXPECT_EQ(ZoomInStep(5000), ZoomLevel(4000));
    EXPECT_EQ(ZoomOutStep(5000), ZoomLevel(6000));
    EXPECT_EQ(ZoomOutStep(227000), ZoomLevel(227000));
    EXPECT_EQ(ZoomInStep(294), ZoomLevel(200));
    EXPECT_EQ(ZoomOutStep(294), ZoomLevel(500));
    EXPECT_EQ(ZoomInStep(ZoomLevel{1, 7}), ZoomLevel(1, 8));
    EXPECT_EQ(ZoomOutStep(ZoomLevel{1, 7}), ZoomLevel(1, 4));
    EXPECT_TRUE(IsValidZoom(1500));
    EXPECT_FALSE(IsValidZoom(0));
    EXPECT_FALSE(IsValidZoom(ZoomLevel{2, 2}));
    EXPECT_FALSE(IsValidZoom(ZoomLevel{1, 33}));
}

// The markers' one rule: the finish marker within the file, the start
// marker no further than the finish marker, also without any column.
TEST(Document, MarkersStayInsideTheFileAndInOrder)
{
    struct Case {
        std::uint32_t Columns, Start, Finish, WantStart, WantFinish;
    } cases[] = {
        {10, 2, 5, 2, 5}, {10, 2, 12, 2, 9}, {10, 12, 15, 9, 9}, {10, 6, 3, 3, 3}, {0, 4, 7, 0, 0}, {1, 0, 1, 0, 0},
    };
    for (const Case& c : cases) {
        Document doc;
        doc.ColumnCount = c.Columns;
        doc.TotalFrames = c.Columns * 10000;
        SetMarkers(doc, c.Start, c.Finish);
        EXPECT_EQ(doc.SelStart, c.WantStart) << c.Columns << " " << c.Start << ":" << c.Finish;
        EXPECT_EQ(doc.SelFinish, c.WantFinish) << c.Columns << " " << c.Start << ":" << c.Finish;
    }
}

TEST(PlayCursorFollow, JumpsAPageAndRespectsTheUsersScrollUntilTheCursorComesBack)
{
    // A view 100 columns wide; each step: where the view is, where the
    // cursor is, where the view goes.
    struct Look {
        int Left, Cursor, Next;
    };
    const Look looks[] = {
        {0, 50, 0},       // in sight
        {0, 100, 100},    // left the view: a new page starts at the cursor
        {100, 150, 100},  //
        {0, 160, 0},      // the user looked back: the view stays
        {0, 170, 0},      //
        {120, 180, 120},  // the user scrolled to the cursor: followed again
        {120, 220, 220},  //
        {220, 230, 220},  //
        {400, 240, 400},  // scrolled ahead of the cursor: it is awaited there
        {400, 420, 400},  //
        {400, 500, 500},  //
    };
    PlayCursorFollow follow;
    follow.Start(0);
    for (const Look& look : looks)
        EXPECT_EQ(follow.Next(look.Left, 100, look.Cursor), look.Next) << look.Left << " " << look.Cursor;
    // A new start follows at once.
    follow.Start(0);
    EXPECT_EQ(follow.Next(0, 100, 700), 700);
}

} // namespace
} // namespace velmora
