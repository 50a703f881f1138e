// The transport with real playback on the dummy driver: play, pause,
// stop, the marker stops with Play From Here, playing to the end.

#include "GuiFixture.h"

#include "document/Units.h"
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
    std::uint32_t PlayColumn() const
    {
        return StreamByteToColumn(static_cast<std::int32_t>(BASS_ChannelGetPosition(Doc().Stream, BASS_POS_BYTE)),
                                  Doc().ColumnCount, Doc().StreamLength);
    }
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
    Doc().SelStart = 3;
    Doc().SelFinish = 10;

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
    Doc().SelStart = 4;
    Doc().SelFinish = 20;
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
    Doc().SelStart = 0;
    Doc().SelFinish = last;
    for (const std::uint32_t column : {0u, last}) {
        Main().PaintBox1MouseDown(Qt::LeftButton, static_cast<int>(column), 50);
        ASSERT_EQ(PlayColumn(), column);
        Main().PaintBox1Paint();
        EXPECT_EQ(Doc().PlayState, psStopped) << column;
    }
    // In any other column the same repaint stops there.
    Doc().SelFinish = 7;
    Main().PaintBox1MouseDown(Qt::LeftButton, 7, 50);
    Main().PaintBox1Paint();
    EXPECT_EQ(Doc().PlayState, psPaused);
}

} // namespace
} // namespace velmora
