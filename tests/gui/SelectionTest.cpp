// Choosing exactly what to edit in the windows: markers taken hold of and
// dragged, the keys a column at a time, the view going where the position
// goes, the steps below 1:1, and the selection played once or in a loop.

#include "GuiFixture.h"

#include "app/Formselection.h"
#include "document/ViewCommands.h"
#include "document/WaveScrollArea.h"
#include "document/Zoom.h"
#include "platform/audio/Bass.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace velmora {
namespace {

using test::GuiTest;

// 8000 Hz mono 8-bit: frames bytes.
std::string Silence8(const test::TempDir& dir, const char* name, std::uint32_t frames)
{
    return test::WaveBuilder()
        .Format(1, 1, 8000, 8)
        .Samples(std::vector<unsigned char>(frames, 128))
        .WriteTo(dir / name);
}

// How many pixels of the view's picture now are the play cursor's yellow.
int CursorPixels(QWidget* view)
{
    const QImage image = view->grab().toImage();
    int yellow = 0;
    for (int x = 0; x < image.width(); ++x)
        yellow += image.pixel(x, 100) == qRgb(255, 255, 0) ? 1 : 0;
    return yellow;
}

// A press within three pixels of a marker takes hold of it: the drag moves
// that marker alone, past the other one too, and the play position stays;
// elsewhere a press starts a new selection.  Over a marker the cursor
// shows it moves sideways.
TEST_F(GuiTest, AMarkerIsTakenHoldOfAndDragged)
{
    ASSERT_TRUE(Start());
    Show();
    OpenThroughDialog(Silence8(dir, "d.wav", 1000000));  // 100 columns
    QWidget* view = C().PaintBox1;
    SetMarkers(Doc(), 30, 60);
    SeekStream(Doc(), 5000);

    QTest::mouseMove(view, QPoint(32, 50));
    EXPECT_EQ(view->cursor().shape(), Qt::SizeHorCursor);
    QTest::mouseMove(view, QPoint(45, 50));
    EXPECT_EQ(view->cursor().shape(), Qt::ArrowCursor);
    QTest::mouseMove(view, QPoint(63, 50));
    EXPECT_EQ(view->cursor().shape(), Qt::SizeHorCursor);

    struct Drag {
        int From, To;
        std::uint32_t Start, Finish;  // frames
    };
    for (const Drag& d : {Drag{59, 80, 300000, 800000},   // the finish marker, rightwards
                          Drag{28, 40, 400000, 800000},   // the start marker
                          Drag{41, 95, 800000, 950000},   // the start marker past the finish
                          Drag{97, 20, 200000, 800000}}) {  // the finish (95) back past the start
        QTest::mousePress(view, Qt::LeftButton, {}, QPoint(d.From, 50));
        QTest::mouseMove(view, QPoint(d.To, 50));
        QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(d.To, 50));
        EXPECT_EQ(std::pair(Doc().SelStartFrame, Doc().SelFinishFrame), std::pair(d.Start, d.Finish))
            << d.From << "->" << d.To;
        EXPECT_EQ(PlayFrameNow(Doc()), 5000u);
    }
    // The start marker dragged leaves a finish inside the last column where it is.
    SetMarkerFrames(Doc(), 200000, 995000);
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(20, 50));
    QTest::mouseMove(view, QPoint(30, 50));
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(30, 50));
    EXPECT_EQ(std::pair(Doc().SelStartFrame, Doc().SelFinishFrame), std::pair(300000u, 995000u));
    SetMarkerFrames(Doc(), 200000, 800000);
    // A click on a marker, not dragged, moves the position only.
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(21, 50));
    EXPECT_EQ(std::pair(Doc().SelStartFrame, Doc().SelFinishFrame), std::pair(200000u, 800000u));
    EXPECT_EQ(PlayFrameNow(Doc()), 210000u);
    // Away from both: a new selection from the press, which moves the position.
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(50, 50));
    QTest::mouseMove(view, QPoint(10, 50));
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(10, 50));
    EXPECT_EQ(std::pair(Doc().SelStartFrame, Doc().SelFinishFrame), std::pair(100000u, 500000u));
    EXPECT_EQ(PlayFrameNow(Doc()), 500000u);
}

// Right moves exactly one column from every column, from the column's
// first frame or from the middle of it; at several pixels a frame one
// frame.  Right from the last column goes to the end, Left from the end to
// the last column's first frame.
TEST_F(GuiTest, RightMovesOneColumnFromEveryColumn)
{
    ASSERT_TRUE(Start());
    Show();
    OpenThroughDialog(Silence8(dir, "k.wav", 23456));
    Main().MZoom1Click();  // 24 columns, the last one partial
    ASSERT_EQ(Doc().ColumnCount, 24u);
    QAction* right = Main().SeekActions[1];
    QAction* left = Main().SeekActions[0];
    for (std::uint32_t column = 0; column + 1 < Doc().ColumnCount; ++column) {
        for (std::uint32_t into : {0u, 567u}) {
            SeekStream(Doc(), column * 1000 + into);
            right->trigger();
            EXPECT_EQ(PlayColumnNow(Doc()), column + 1) << column << "+" << into;
            EXPECT_EQ(PlayFrameNow(Doc()), (column + 1) * 1000);
        }
    }
    right->trigger();
    EXPECT_EQ(PlayFrameNow(Doc()), 23456u);
    Main().SeekActions[5]->trigger();  // End
    EXPECT_EQ(PlayFrameNow(Doc()), 23456u);
    left->trigger();  // from the end: the last column's first frame
    EXPECT_EQ(PlayFrameNow(Doc()), 23000u);
    left->trigger();
    EXPECT_EQ(PlayColumnNow(Doc()), 22u);

    // The deepest step: a frame a key.
    Main().FineZoomItems.back()->trigger();
    ASSERT_EQ(ZoomOf(Doc()), ZoomLevel(1, MostPixelsPerFrame));
    SeekStream(Doc(), 777);
    right->trigger();
    EXPECT_EQ(PlayFrameNow(Doc()), 778u);
    left->trigger();
    left->trigger();
    EXPECT_EQ(PlayFrameNow(Doc()), 776u);
    EXPECT_TRUE(dialogs.Messages.empty());
}

// Every move of the play position keeps it in view, and an edit leaves
// the view and the position where they were (a cut: at its start).  The
// picture is looked at: the yellow cursor is in it.
TEST_F(GuiTest, TheViewFollowsThePositionAndStaysThroughAnEdit)
{
    ASSERT_TRUE(Start());
    Show();
    OpenThroughDialog(SineWave("long.wav", 8000, 1, 8000 * 600));  // 4800 columns at 1:1
    Main().MZoom1Click();
    WaveScrollArea* box = C().ScrollBox1;
    box->SetLeft(0);
    QApplication::processEvents();
    ASSERT_GT(CursorPixels(C().PaintBox1), 0);

    Main().SeekActions[5]->trigger();  // End
    QApplication::processEvents();
    EXPECT_EQ(box->Left(), box->ContentWidth() - box->Shown());
    EXPECT_GT(CursorPixels(C().PaintBox1), 0);
    Main().SeekActions[4]->trigger();  // Home
    EXPECT_EQ(box->Left(), 0);

    // A fade near the end, with the view elsewhere: nothing moves.
    box->SetLeft(2000);
    SeekStream(Doc(), 2100 * 1000);
    SetMarkers(Doc(), 2050, 2300);
    C().MFadeOut->trigger();
    EXPECT_EQ(box->Left(), 2000);
    EXPECT_EQ(PlayFrameNow(Doc()), 2100u * 1000);

    // A Delete whose start is out of view: the position at the join, and
    // the view goes to it.
    SetMarkers(Doc(), 4000, 4100);
    C().MDelete->trigger();
    EXPECT_EQ(PlayFrameNow(Doc()), 4000u * 1000);
    const std::int64_t joint = 4000;
    EXPECT_LE(box->Left(), joint);
    EXPECT_GT(box->Left() + box->Shown(), joint);
    QApplication::processEvents();
    EXPECT_GT(CursorPixels(C().PaintBox1), 0);

    // Set Selection shows what it selected.
    box->SetLeft(0);
    QTimer::singleShot(0, [&] {
        Main().SelectionForm->StartEdit->setText(QStringLiteral("8:00.5"));
        Main().SelectionForm->FinishEdit->setText(QStringLiteral("8:01"));
        Main().SelectionForm->Buttons->button(QDialogButtonBox::Ok)->click();
    });
    C().MSetSelection->trigger();
    EXPECT_EQ(std::pair(Doc().SelStartFrame, Doc().SelFinishFrame), std::pair(8000u * 480 + 4000, 8000u * 481));
    EXPECT_LE(box->Left(), 3844);
    EXPECT_GT(box->Left() + box->Shown(), 3844);
    EXPECT_TRUE(dialogs.Messages.empty());
}

// Play Selection plays the frames between the markers and stops, the
// position back on the start marker; with Loop it repeats them until Stop.
// The marker stop leaves a played selection alone.
TEST_F(GuiTest, PlaySelectionPlaysTheRangeOnceOrInALoop)
{
    ASSERT_TRUE(Start());
    Show();
    OpenThroughDialog(SineWave("p.wav", 8000, 2, 8000 * 5));  // 4 columns
    EXPECT_TRUE(C().MPlaySelection->isEnabled());
    SetMarkers(Doc(), 1, 2);  // frames 10000 to 20000: 1.25 s
    C().MPlaySelection->trigger();
    EXPECT_EQ(Doc().PlayState, psPlaying);
    EXPECT_TRUE(Doc().PlaysSelection);
    Main().PaintBox1Paint();  // on the start marker's column: no stop
    EXPECT_EQ(Doc().PlayState, psPlaying);
    // Once played, the position rests on the start marker (where the
    // marker stop holds it, paused).
    ASSERT_TRUE(WaitFor([&] {
        Main().Timer1Timer();
        return Doc().PlayState != psPlaying;
    }, 5000));
    EXPECT_EQ(BASS_ChannelIsActive(Doc().Stream), BASS_ACTIVE_STOPPED);
    EXPECT_EQ(PlayFrameNow(Doc()), 10000u);
    EXPECT_FALSE(Doc().PlaysSelection);

    // Loop: still playing, inside the range, after more than one pass.
    C().MLoop->trigger();
    EXPECT_TRUE(C().MLoop->isChecked());
    EXPECT_EQ(Doc().PlayState, psPlaying);
    WaitFor([&] {
        Main().Timer1Timer();
        return false;
    }, 2000);
    EXPECT_EQ(Doc().PlayState, psPlaying);
    EXPECT_GE(PlayFrameNow(Doc()), 10000u);
    EXPECT_LT(PlayFrameNow(Doc()), 20000u);
    // Loop turned off while paused in it: going on plays the pass to its end.
    Main().CButtonPauseClick();
    C().MLoop->trigger();
    EXPECT_FALSE(C().MLoop->isChecked());
    Main().CButtonPlayFromHereClick();
    EXPECT_TRUE(WaitFor([&] {
        Main().Timer1Timer();
        return Doc().PlayState != psPlaying;
    }, 5000));
    // An empty selection has nothing to play.
    SetMarkers(Doc(), 2, 2);
    Main().UpdateCommandState(Doc().PlayState);
    EXPECT_FALSE(C().MPlaySelection->isEnabled());
}

// The Zoom menu: the six ratios, then the finer steps, each checked when
// it is the zoom; Whole File of a short file fills the view.
TEST_F(GuiTest, TheFinerStepsFollowTheRatiosInTheZoomMenu)
{
    ASSERT_TRUE(Start());
    Show();
    OpenThroughDialog(SineWave("z.wav", 44100, 2, 410218));  // 9.3 s
    const QList<QAction*> items = C().MenuZoom->actions();
    ASSERT_EQ(items.indexOf(C().MZoom1) + 1, items.indexOf(Main().FineZoomItems.front()));
    ASSERT_EQ(Main().FineZoomItems.size(), std::size(FineZoomSteps));
    for (std::size_t i = 0; i < std::size(FineZoomSteps); i += 4) {
        Main().FineZoomItems[i]->trigger();
        EXPECT_EQ(ZoomOf(Doc()), FineZoomSteps[i]);
        EXPECT_TRUE(Main().FineZoomItems[i]->isChecked());
        EXPECT_EQ(Main().FineZoomItems[i]->text().toStdString(), FineZoomCaption(FineZoomSteps[i]));
    }
    Main().MZoomWholeClick();
    const WaveScrollArea* box = C().ScrollBox1;
    EXPECT_LE(box->ContentWidth(), box->Shown());
    EXPECT_GT(box->ContentWidth(), box->Shown() * 2 / 3);
    EXPECT_TRUE(C().MZoomWhole->isChecked());
}

} // namespace
} // namespace velmora
