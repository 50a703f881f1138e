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

TEST(Units, ColumnsAndStreamBytes)
{
    // 100 columns over a 1000-byte stream.
    EXPECT_EQ(ColumnToStreamByte(37, 1000, 100), 370);
    EXPECT_EQ(StreamByteToColumn(379, 100, 1000), 37u);
    EXPECT_EQ(StreamByteToColumn(380, 100, 1000), 38u);
    EXPECT_EQ(StreamByteToColumn(0, 100, 1000), 0u);
    // Truncation, not rounding.
    EXPECT_EQ(ColumnToStreamByte(1, 1000, 3), 333);
    EXPECT_EQ(ColumnToStreamByte(2, 1000, 3), 666);
    // A two-hour document at 1:1 stays exact in extended precision.
    EXPECT_EQ(ColumnToStreamByte(317519, 1270080000, 317520), 1270076000);
    // Nothing divides by zero.
    // Past 2 GiB (a working file holds up to 4 GiB), positions stay exact.
    const std::int64_t threeGiB = 3ll << 30;
    EXPECT_EQ(ColumnToStreamByte(80000, threeGiB, 80531), 3199985567ll);
    EXPECT_EQ(StreamByteToColumn(threeGiB / 2, 80531, threeGiB), 40265u);
    EXPECT_EQ(StreamByteToColumn(threeGiB - 1, 80531, threeGiB), 80530u);
    EXPECT_EQ(ColumnToStreamByte(5, 1000, 0), 0);
    EXPECT_EQ(StreamByteToColumn(5, 100, 0), 0u);
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

TEST(Zoom, StepsInAndOut)
{
    EXPECT_EQ(ZoomInStep(10000), 8000);
    EXPECT_EQ(ZoomInStep(2000), 1000);
    EXPECT_EQ(ZoomInStep(1000), 1000);
    EXPECT_EQ(ZoomOutStep(1000), 2000);
    EXPECT_EQ(ZoomOutStep(8000), 10000);
    EXPECT_EQ(ZoomOutStep(10000), 10000);
    EXPECT_TRUE(IsZoomStep(6000));
    EXPECT_FALSE(IsZoomStep(5000));
}

// Whole File: the smallest multiple of 1000 that fits the document in the
// view; the steps in and out from there go to the nearest step that way.
TEST(Zoom, WholeFileFitsTheViewAndStepsFromThere)
{
    struct Case {
        std::uint32_t Frames, View;
        std::int32_t Expected;
    };
    for (const Case& c : {Case{1058400, 714, 2000},          // 24 s at 44.1 kHz
                          Case{3600u * 44100u, 700, 227000},  // an hour
                          Case{100, 700, 1000}, Case{700000, 700, 1000}, Case{700001, 700, 2000},
                          Case{4000000000u, 1, 2147483000}, Case{5000, 0, 5000}}) {
        const std::int32_t perColumn = WholeFileFramesPerColumn(c.Frames, c.View);
        EXPECT_EQ(perColumn, c.Expected) << c.Frames << " in " << c.View;
        EXPECT_TRUE(IsValidFramesPerColumn(perColumn));
    }
    EXPECT_EQ(ZoomInStep(227000), 10000);
    EXPECT_EQ(ZoomInStep(5000), 4000);
    EXPECT_EQ(ZoomOutStep(5000), 6000);
    EXPECT_EQ(ZoomOutStep(227000), 227000);
    EXPECT_FALSE(IsValidFramesPerColumn(1500));
    EXPECT_FALSE(IsValidFramesPerColumn(0));
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
