// Opening through the dialog and its refusals, zoom, clicks on the view,
// Select All and the two marker commands.

#include "GuiFixture.h"

#include "document/WaveScrollArea.h"

#include "document/Units.h"
#include "app/Formselection.h"
#include "app/SelectionReadout.h"
#include "document/Zoom.h"
#include "document/ViewCommands.h"
#include "import/Formopen.h"
#include "platform/audio/Bass.h"
#include "support/Process.h"

#include <QLabel>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QApplication>
#include <QTest>
#include <QTimer>

namespace velmora {
namespace {

using test::GuiTest;

TEST_F(GuiTest, AnUnsupportedExtensionIsRefused)
{
    ASSERT_TRUE(Start());
    OpenThroughDialog(dir / "notes.txt");
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Can not open the file."});
    EXPECT_FALSE(Doc().DocumentOpen);
    EXPECT_EQ(Doc().PlayState, psNoDocument);
}

TEST_F(GuiTest, ABrokenMp3ShowsItsMessageAndCancelLeavesNoDocument)
{
    const std::string fake = dir / "broken.mp3";
    test::WriteWholeFile(fake, std::vector<unsigned char>(3000, 'x'));
    ASSERT_TRUE(Start());
    // The dialog waits for Cancel after the message; press it then.
    QTimer presser;
    QObject::connect(&presser, &QTimer::timeout, [this] {
        if (OpenForm->isVisible() && !OpenForm->BodyRunning && !dialogs.Messages.empty())
            OpenForm->ButtonCancelClick();
    });
    presser.start(20);
    OpenThroughDialog(fake);
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Can not creat the decode stream."});
    EXPECT_FALSE(Doc().DocumentOpen);
    EXPECT_EQ(Doc().Stream, 0u);
    EXPECT_TRUE(C().ButtonOpen->isEnabled());
}

TEST_F(GuiTest, OpeningAnMp3DecodesIt)
{
    const std::string wav = dir / "s.wav";
    ASSERT_TRUE(test::Shell("sox -n -r 44100 -c 2 -b 16 '" + wav + "' synth 3 sine 440"));
    const std::string mp3 = dir / "s.mp3";
    ASSERT_TRUE(test::Shell("lame --quiet -b 128 '" + wav + "' '" + mp3 + "'"));
    ASSERT_TRUE(Start());
    OpenThroughDialog(mp3);
    ASSERT_TRUE(Doc().DocumentOpen);
    EXPECT_EQ(Doc().TotalFrames, 3u * 44100);
    // File bytes over three seconds: the 128 kbit/s and LAME's frames around them.
    EXPECT_GE(Doc().SourceBitrate, 128);
    EXPECT_LE(Doc().SourceBitrate, 135);
    EXPECT_NE(Doc().Stream, 0u);
    EXPECT_EQ(Doc().StreamLength, static_cast<std::int32_t>(3 * 44100 * 4));
}

// A zoom rescans and keeps the markers' frames, the play position and the
// redo steps; Zoom In and Out walk every step, the finer ones too.
TEST_F(GuiTest, ZoomStepsRescanAndKeepTheMarkersAndThePosition)
{
    const std::string path = SineWave("z.wav", 44100, 2, 44100 * 5);  // 23 columns at 10:1
    ASSERT_TRUE(Start());
    OpenThroughDialog(path);
    ASSERT_EQ(Doc().ColumnCount, 23u);
    SetMarkers(Doc(), 3, 7);

    // The item that is already checked changes nothing.
    const HSTREAM stream = Doc().Stream;
    Main().MZoom10Click();
    EXPECT_EQ(Doc().Stream, stream);
    EXPECT_EQ(Doc().SelStart, 3u);

    SeekStream(Doc(), 12345);
    Main().MZoom1Click();
    EXPECT_EQ(Doc().FramesPerColumn, 1000);
    EXPECT_EQ(Doc().ColumnCount, 221u);
    EXPECT_EQ(Doc().PeakUpper.size(), 221u);
    EXPECT_EQ(Doc().SelStart, 30u);
    EXPECT_EQ(Doc().SelFinish, 70u);
    EXPECT_EQ(std::pair(Doc().SelStartFrame, Doc().SelFinishFrame), std::pair(30000u, 70000u));
    EXPECT_EQ(PlayFrameNow(Doc()), 12345u);
    EXPECT_EQ(Main().WaveBitmap.Width, 221);
    EXPECT_TRUE(C().MZoom1->isChecked());
    EXPECT_FALSE(C().MZoom10->isChecked());
    EXPECT_TRUE(C().ButtonZoomIn->isEnabled());
    EXPECT_TRUE(C().ButtonZoomOut->isEnabled());
    EXPECT_NE(Doc().Stream, 0u);
    EXPECT_EQ(Doc().PlayState, psStopped);
    EXPECT_TRUE(C().CButtonSetStart->isEnabled());
    EXPECT_FALSE(C().CButtonSetFinish->isEnabled());

    Main().ButtonZoomOutClick();
    EXPECT_EQ(Doc().FramesPerColumn, 2000);
    EXPECT_TRUE(C().MZoom2->isChecked());
    Main().ButtonZoomInClick();
    EXPECT_EQ(Doc().FramesPerColumn, 1000);
    // Below 1:1: to one frame a column, then pixels a frame.
    int finer = 0;
    while (C().ButtonZoomIn->isEnabled() && finer < 100) {
        Main().ButtonZoomInClick();
        ++finer;
    }
    EXPECT_EQ(finer, static_cast<int>(std::size(FineZoomSteps)));
    EXPECT_EQ(ZoomOf(Doc()), ZoomLevel(1, MostPixelsPerFrame));
    EXPECT_TRUE(Main().FineZoomItems.back()->isChecked());
    EXPECT_EQ(Main().WaveBitmap.Width, std::int64_t{5} * 44100 * MostPixelsPerFrame);
    EXPECT_TRUE(Doc().PeakUpper.empty());
    EXPECT_EQ(std::pair(Doc().SelStartFrame, Doc().SelFinishFrame), std::pair(30000u, 70000u));
    EXPECT_EQ(PlayFrameNow(Doc()), 12345u);
    while (C().ButtonZoomOut->isEnabled())
        Main().ButtonZoomOutClick();
    EXPECT_EQ(Doc().FramesPerColumn, 10000);
    EXPECT_EQ(Doc().SelStart, 3u);
    EXPECT_EQ(Doc().PeakUpper.size(), 23u);
    EXPECT_TRUE(dialogs.Messages.empty());
}

TEST_F(GuiTest, AClickSeeksToTheColumnsByte)
{
    // 8-bit mono at 8000 Hz, 100 columns: a byte per frame.
    const std::string path = test::WaveBuilder().Format(1, 1, 8000, 8).Samples(std::vector<unsigned char>(1000000, 128)).WriteTo(dir / "c.wav");
    ASSERT_TRUE(Start());
    OpenThroughDialog(path);
    ASSERT_EQ(Doc().ColumnCount, 100u);
    ASSERT_EQ(Doc().StreamLength, 1000000);
    Main().PaintBox1MouseDown(Qt::LeftButton, 37, 50);
    EXPECT_EQ(BASS_ChannelGetPosition(Doc().Stream, BASS_POS_BYTE), 370000u);
    // Only the left button on the waveform band moves the position.
    Main().PaintBox1MouseDown(Qt::LeftButton, 60, 201);
    Main().PaintBox1MouseDown(Qt::MiddleButton, 60, 50);
    Main().PaintBox1MouseDown(Qt::RightButton, 60, 50);
    Main().PaintBox1MouseUp(Qt::LeftButton, 60, 50);
    EXPECT_EQ(BASS_ChannelGetPosition(Doc().Stream, BASS_POS_BYTE), 370000u);
    // The play column decides Set Start and Set Finish.
    EXPECT_TRUE(C().CButtonSetStart->isEnabled());
    EXPECT_TRUE(C().CButtonSetFinish->isEnabled());

    // A right release seeks too and opens the pop-up menu.
    Main().PaintBox1MouseUp(Qt::RightButton, 42, 10);
    EXPECT_EQ(BASS_ChannelGetPosition(Doc().Stream, BASS_POS_BYTE), 420000u);
    EXPECT_TRUE(Main().PopupMenu1->isVisible());
    Main().PopupMenu1->close();
}

TEST_F(GuiTest, MarkerCommandsAndSelectAll)
{
    const std::string path = test::WaveBuilder().Format(1, 1, 8000, 8).Samples(std::vector<unsigned char>(1000000, 128)).WriteTo(dir / "m.wav");
    ASSERT_TRUE(Start());
    OpenThroughDialog(path);
    ASSERT_EQ(Doc().SelFinish, 99u);

    Main().PaintBox1MouseDown(Qt::LeftButton, 30, 50);
    Main().CButtonSetStartClick();
    EXPECT_EQ(Doc().SelStart, 30u);
    // The cursor now sits on a marker: the repaint's marker stop pauses.
    EXPECT_EQ(Doc().PlayState, psPaused);

    Main().PaintBox1MouseDown(Qt::LeftButton, 20, 50);
    Main().CButtonSetFinishClick();  // not after the start marker: nothing
    EXPECT_EQ(Doc().SelFinish, 99u);
    Main().PaintBox1MouseDown(Qt::LeftButton, 60, 50);
    Main().CButtonSetFinishClick();
    EXPECT_EQ(Doc().SelFinish, 60u);
    Main().PaintBox1MouseDown(Qt::LeftButton, 70, 50);
    Main().CButtonSetStartClick();  // not before the finish marker: nothing
    EXPECT_EQ(Doc().SelStart, 30u);

    Main().MSelectAllClick();
    EXPECT_EQ(Doc().SelStart, 0u);
    EXPECT_EQ(Doc().SelFinish, 99u);
}

// Dragging selects, on the columns clicks there would give; Shift+click
// moves the nearer marker; a click without a drag keeps the markers.
TEST_F(GuiTest, DraggingSelectsAndShiftClickMovesTheNearerMarker)
{
    const std::string path = test::WaveBuilder().Format(1, 1, 8000, 8).Samples(std::vector<unsigned char>(1000000, 128)).WriteTo(dir / "d.wav");
    ASSERT_TRUE(Start());
    Show();
    OpenThroughDialog(path);
    QWidget* view = C().PaintBox1;
    // What a click and Set Start / Set Finish give at x.
    auto clickedColumn = [&](int x) {
        Main().PaintBox1MouseDown(Qt::LeftButton, x, 50);
        return PlayColumnNow(Doc());
    };
    struct Drag {
        int From, To;
        std::uint32_t Start, Finish;
    };
    for (const Drag& d : {Drag{30, 60, 30, 60}, Drag{70, 40, 40, 70}, Drag{5, 500, 5, 99}, Drag{20, -40, 0, 20}}) {
        QTest::mousePress(view, Qt::LeftButton, {}, QPoint(d.From, 50));
        const int middle = (d.From + d.To) / 2;
        QTest::mouseMove(view, QPoint(middle, 50));
        // The band follows the mouse before the release.
        const auto from = static_cast<std::uint32_t>(std::clamp(d.From, 0, 99));
        const auto to = static_cast<std::uint32_t>(std::clamp(middle, 0, 99));
        EXPECT_EQ(std::pair(Doc().SelStart, Doc().SelFinish), std::pair(std::min(from, to), std::max(from, to)))
            << d.From << "->" << middle;
        QTest::mouseMove(view, QPoint(d.To, 50));
        QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(d.To, 50));
        EXPECT_EQ(Doc().SelStart, d.Start) << d.From << "->" << d.To;
        EXPECT_EQ(Doc().SelFinish, d.Finish) << d.From << "->" << d.To;
    }
    EXPECT_EQ(clickedColumn(30), 30u);
    EXPECT_EQ(clickedColumn(60), 60u);

    SetMarkers(Doc(), 40, 70);
    QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, QPoint(65, 50));
    EXPECT_EQ(std::pair(Doc().SelStart, Doc().SelFinish), std::pair(40u, 65u));
    QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, QPoint(10, 50));
    EXPECT_EQ(std::pair(Doc().SelStart, Doc().SelFinish), std::pair(10u, 65u));

    // A click, or a drag that comes back to where it began, keeps them.
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(50, 50));
    EXPECT_EQ(PlayColumnNow(Doc()), 50u);
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(50, 50));
    QTest::mouseMove(view, QPoint(80, 50));
    QTest::mouseMove(view, QPoint(50, 50));
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(50, 50));
    EXPECT_EQ(std::pair(Doc().SelStart, Doc().SelFinish), std::pair(10u, 65u));
}

// The readout beside the transport buttons: the markers as the edit range
// has them, its length and the play position, after every change and while
// playing; its captions in the current language.
TEST_F(GuiTest, TheReadoutShowsWhereYouAre)
{
    // 8000 Hz mono 8-bit, 100 columns of 10000 frames (1.25 s).
    const std::string path = test::WaveBuilder().Format(1, 1, 8000, 8).Samples(std::vector<unsigned char>(999000, 128)).WriteTo(dir / "r.wav");
    UseShippedLanguage("German.ini");
    ASSERT_TRUE(Start());
    Show();
    OpenThroughDialog(path);
    using Texts = std::array<std::string, 4>;
    EXPECT_EQ(Main().Readout->Values(), (Texts{"0:00:00.000", "0:02:04.875", "0:02:04.875", "0:00:00.000"}));
    QTest::mousePress(C().PaintBox1, Qt::LeftButton, {}, QPoint(30, 50));
    QTest::mouseMove(C().PaintBox1, QPoint(60, 50));
    QTest::mouseRelease(C().PaintBox1, Qt::LeftButton, {}, QPoint(60, 50));
    // (the click's position: column 30's first frame)
    EXPECT_EQ(Main().Readout->Values(), (Texts{"0:00:37.500", "0:01:15.000", "0:00:37.500", "0:00:37.500"}));

    Main().MSelectAllClick();
    Main().PaintBox1MouseDown(Qt::LeftButton, 10, 50);
    Main().CButtonPlayFromHereClick();
    ASSERT_TRUE(WaitFor([&] {
        Main().Timer1Timer();
        return Main().Readout->Values()[3] > "0:00:12.600";
    }, 5000)) << Main().Readout->Values()[3];
    Main().CButtonStopClick();
    EXPECT_EQ(Main().Readout->findChild<QLabel*>()->text(), QStringLiteral("Anfang:"));
    EXPECT_EQ(Main().Readout->findChild<QLabel*>(QStringLiteral("ReadoutLength"))->accessibleName(),
              QStringLiteral("Länge:"));
}

// Left and Right move the play position a column, with Shift a screen,
// Home and End to the beginning and the end; never past either end; and
// only with a document.
TEST_F(GuiTest, KeysMoveThePlayPositionWithinTheFile)
{
    const std::string path = test::WaveBuilder().Format(1, 1, 8000, 8).Samples(std::vector<unsigned char>(1000000, 128)).WriteTo(dir / "k.wav");
    ASSERT_TRUE(Start());
    Show();
    auto key = [&](Qt::Key k, Qt::KeyboardModifiers modifiers = {}) {
        QApplication::setActiveWindow(MainForm);
        QTest::keyClick(MainForm, k, modifiers);
        return PlayColumnNow(Doc());
    };
    for (QAction* seek : Main().SeekActions)
        EXPECT_FALSE(seek->isEnabled()) << seek->objectName().toStdString();
    OpenThroughDialog(path);
    Main().MZoom1Click();  // 1000 columns, wider than the view
    QApplication::processEvents();
    const auto screen = static_cast<std::uint32_t>(C().PaintBox1->visibleRegion().boundingRect().width());
    ASSERT_GT(screen, 10u);
    ASSERT_LT(screen, 999u);
    EXPECT_EQ(key(Qt::Key_Left), 0u);
    EXPECT_EQ(key(Qt::Key_Right), 1u);
    EXPECT_EQ(key(Qt::Key_Right, Qt::ShiftModifier), 1u + screen);
    EXPECT_EQ(key(Qt::Key_End), 999u);
    EXPECT_EQ(key(Qt::Key_Right), 999u);
    EXPECT_EQ(key(Qt::Key_Right, Qt::ShiftModifier), 999u);
    // From the end (past the last column's start) a column back is the last column.
    EXPECT_EQ(key(Qt::Key_Left), 999u);
    EXPECT_EQ(PlayFrameNow(Doc()), 999000u);
    EXPECT_EQ(key(Qt::Key_Left), 998u);
    EXPECT_EQ(key(Qt::Key_Left, Qt::ShiftModifier), 998u - screen);
    EXPECT_EQ(key(Qt::Key_Home), 0u);
    EXPECT_EQ(key(Qt::Key_Left, Qt::ShiftModifier), 0u);
    // The markers then go there as before.
    key(Qt::Key_End);
    key(Qt::Key_BracketRight);
    EXPECT_EQ(Doc().SelFinish, 999u);
}

// Whole File shows the whole document in the view's width; after any zoom
// the time at the centre of the view is at its centre again.
TEST_F(GuiTest, WholeFileFitsTheViewAndZoomKeepsTheCentre)
{
    // 8000 Hz mono 8-bit, 2 000 000 frames: 2000 columns at 1:1.
    const std::string path = test::WaveBuilder().Format(1, 1, 8000, 8).Samples(std::vector<unsigned char>(2000000, 128)).WriteTo(dir / "w.wav");
    ASSERT_TRUE(Start());
    Show();
    OpenThroughDialog(path);
    Main().MZoom1Click();
    WaveScrollArea* box = C().ScrollBox1;
    const int width = box->viewport()->width();
    box->horizontalScrollBar()->setValue(1100 - width / 2);
    Main().MZoom2Click();  // frame 1 100 000 was at the centre: column 550 now
    EXPECT_NEAR(box->horizontalScrollBar()->value() + width / 2, 550, 1);

    Main().MZoomWholeClick();
    EXPECT_TRUE(C().MZoomWhole->isChecked());
    EXPECT_FALSE(C().MZoom10->isChecked());
    EXPECT_EQ(ZoomOf(Doc()), WholeFileZoom(2000000, static_cast<std::uint32_t>(width)));
    EXPECT_LE(Doc().ColumnCount, static_cast<std::uint32_t>(width));
    EXPECT_GT(Doc().ColumnCount, static_cast<std::uint32_t>(width) / 2);
    EXPECT_EQ(Doc().SelFinish, Doc().ColumnCount - 1);  // the whole file, as opened
    EXPECT_TRUE(C().ButtonZoomIn->isEnabled());
    Main().ButtonZoomInClick();  // to the nearest finer step
    EXPECT_TRUE(IsZoomStep(Doc().FramesPerColumn));
    EXPECT_LT(Doc().FramesPerColumn, WholeFileZoom(2000000, static_cast<std::uint32_t>(width)).FramesPerColumn);
}

// Set Selection takes typed times, as --from and --to do, onto the columns
// markers set there would take; text that is no time, or a start after the
// finish, is not taken.
TEST_F(GuiTest, SetSelectionTakesTypedTimes)
{
    // 8000 Hz mono 8-bit, 100 columns of 1.25 s.
    const std::string path = test::WaveBuilder().Format(1, 1, 8000, 8).Samples(std::vector<unsigned char>(1000000, 128)).WriteTo(dir / "s.wav");
    ASSERT_TRUE(Start());
    Show();
    OpenThroughDialog(path);
    TSelectionForm* form = Main().SelectionForm;
    struct Typed {
        const char* Start;
        const char* Finish;
        bool Offered;
    };
    std::vector<bool> offered;
    QTimer::singleShot(0, [&] {
        for (const Typed& t : {Typed{"1:75", "2:00", false}, Typed{"abc", "2:00", false}, Typed{"", "1", false},
                               Typed{"90", "30", false}, Typed{"0:37.5", "1:1:15", true},
                               Typed{"0:37.5", "1:15", true}}) {
            form->StartEdit->setText(QString::fromLatin1(t.Start));
            form->FinishEdit->setText(QString::fromLatin1(t.Finish));
            offered.push_back(form->Buttons->button(QDialogButtonBox::Ok)->isEnabled());
            EXPECT_EQ(offered.back(), t.Offered) << t.Start << " " << t.Finish;
        }
        form->Buttons->button(QDialogButtonBox::Ok)->click();
    });
    ASSERT_TRUE(C().MSetSelection->isEnabled());
    C().MSetSelection->trigger();
    EXPECT_EQ(offered.size(), 6u);
    EXPECT_EQ(Doc().SelStart, 30u);
    EXPECT_EQ(Doc().SelFinish, 60u);
    EXPECT_EQ(Main().Readout->Values()[0], "0:00:37.500");

    // Cancel changes nothing; the fields start from the markers.
    QTimer::singleShot(0, [&] {
        EXPECT_EQ(form->StartEdit->text(), QStringLiteral("0:00:37.500"));
        form->StartEdit->setText(QStringLiteral("1"));
        form->reject();
    });
    C().MSetSelection->trigger();
    EXPECT_EQ(Doc().SelStart, 30u);
}

// Select All then Delete takes every frame (the finish marker on the last
// column reaches the end): what is left is still a document that can be
// shown, played, zoomed, edited, saved and undone.
TEST_F(GuiTest, ADocumentWithEveryFrameDeletedStillWorks)
{
    const std::string path = test::WaveBuilder().Format(1, 2, 8000, 16).Samples(std::vector<unsigned char>(4 * 25000, 7)).WriteTo(dir / "all.wav");
    ASSERT_TRUE(Start());
    Show();
    OpenThroughDialog(path);
    Main().MSelectAllClick();
    Main().MDeleteClick();
    ASSERT_EQ(Doc().TotalFrames, 0u);
    EXPECT_EQ(Doc().ColumnCount, 0u);
    EXPECT_EQ(Doc().SelStart, 0u);
    EXPECT_EQ(Doc().SelFinish, 0u);
    C().PaintBox1->repaint();
    Main().CButtonPlayClick();
    Wait(100);
    Main().Timer1Timer();
    Main().CButtonStopClick();
    Main().MZoom1Click();
    Main().MSelectAllClick();
    Main().MFadeInClick();
    Main().PaintBox1MouseDown(Qt::LeftButton, 0, 5);
    Main().CButtonSetStartClick();
    EXPECT_EQ(Doc().TotalFrames, 0u);
    EXPECT_TRUE(dialogs.Messages.empty()) << testing::PrintToString(dialogs.Texts());
    while (C().MUndo->isEnabled())
        C().MUndo->trigger();
    EXPECT_EQ(Doc().TotalFrames, 25000u);
}

} // namespace
} // namespace velmora
