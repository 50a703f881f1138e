// The transport with real playback on the dummy driver: play, pause,
// stop, the marker stops with Play From Here, playing to the end.

#include "GuiFixture.h"

#include "document/Units.h"
#include "document/ViewCommands.h"
#include "platform/audio/Bass.h"

namespace velmora {
namespace {

using test::GuiTest;

class TransportTest : public GuiTest {
protected:
    // 22.05 kHz mono, 25 columns of 10000 frames (0.45 s each, so that a
    // late timer tick on a busy machine still lands in the marker's column).
    void OpenDocument()
    {
        ASSERT_TRUE(Start());
        OpenThroughDialog(SineWave("t.wav", 22050, 1, 250000));
        ASSERT_EQ(Doc().ColumnCount, 25u);
    }
    std::uint32_t PlayColumn() const { return PlayColumnNow(Doc()); }
    // The play position on a column's first frame, as a click there would
    // put it (a press on a marker takes hold of the marker instead).
    void SeekToColumn(std::uint32_t column) { SeekStream(Doc(), StartFrameOfColumn(Doc(), column)); }
};

TEST_F(TransportTest, PlayPauseStop)
{
    OpenDocument();
    Main().CButtonPlayClick();
    EXPECT_EQ(Doc().PlayState, psPlaying);
    EXPECT_FALSE(C().CButtonPlay->isEnabled());
    EXPECT_TRUE(C().CButtonPause->isEnabled());
    EXPECT_TRUE(C().CButtonStop->isEnabled());
    EXPECT_TRUE(C().ButtonDelete->isEnabled());  // edits stay available while playing
    Wait(600);
    EXPECT_GE(PlayColumn(), 1u);

    Main().CButtonPauseClick();
    EXPECT_EQ(Doc().PlayState, psPaused);
    const QWORD paused = BASS_ChannelGetPosition(Doc().Stream, BASS_POS_BYTE);
    Wait(300);
    EXPECT_EQ(BASS_ChannelGetPosition(Doc().Stream, BASS_POS_BYTE), paused);
    EXPECT_TRUE(C().CButtonPlay->isEnabled());
    EXPECT_FALSE(C().CButtonPause->isEnabled());

    Main().CButtonStopClick();
    EXPECT_EQ(Doc().PlayState, psStopped);
    EXPECT_EQ(BASS_ChannelGetPosition(Doc().Stream, BASS_POS_BYTE), 0u);
    EXPECT_FALSE(C().CButtonStop->isEnabled());
}

TEST_F(TransportTest, MarkersStopPlaybackAndPlayFromHereGoesOn)
{
    OpenDocument();
    SetMarkers(Doc(), 3, 10);

    // Play starts at the beginning and stops at the start marker.
    Main().CButtonPlayClick();
    ASSERT_TRUE(WaitFor([this] { return Doc().PlayState == psPaused; }, 8000));
    EXPECT_EQ(PlayColumn(), 3u);

    // Play From Here skips three columns and stops at the finish marker.
    Main().CButtonPlayFromHereClick();
    EXPECT_GE(PlayColumn(), 6u);
    ASSERT_TRUE(WaitFor([this] { return Doc().PlayState == psPaused; }, 8000));
    EXPECT_EQ(PlayColumn(), 10u);

    // Once more: past the finish marker to the end, where the timer stops.
    Main().CButtonPlayFromHereClick();
    EXPECT_GE(PlayColumn(), 13u);
    ASSERT_TRUE(WaitFor([this] { return Doc().PlayState == psStopped; }, 12000));
    EXPECT_EQ(BASS_ChannelGetPosition(Doc().Stream, BASS_POS_BYTE), 0u);
}

TEST_F(TransportTest, PlayFromHereWhenStoppedStartsAfterTheStartMarker)
{
    OpenDocument();
    SetMarkers(Doc(), 4, 20);
    Main().CButtonPlayFromHereClick();
    EXPECT_EQ(Doc().PlayState, psPlaying);
    EXPECT_EQ(PlayColumn(), 5u);
    Main().CButtonStopClick();
}

TEST_F(TransportTest, MarkersOnTheFirstAndLastColumnNeverStopPlayback)
{
    OpenDocument();
    const std::uint32_t last = Doc().ColumnCount - 1;
    // The cursor on a marker in the first or the last column: no stop.
    SetMarkers(Doc(), 0, last);
    for (const std::uint32_t column : {0u, last}) {
        SeekToColumn(column);
        ASSERT_EQ(PlayColumn(), column);
        Main().PaintBox1Paint();
        EXPECT_EQ(Doc().PlayState, psStopped) << column;
    }
    // In any other column the same repaint stops there.
    SetMarkers(Doc(), Doc().SelStart, 7);
    SeekToColumn(7);
    Main().PaintBox1Paint();
    EXPECT_EQ(Doc().PlayState, psPaused);
}

} // namespace
} // namespace velmora
