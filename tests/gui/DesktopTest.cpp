// The keyboard, files dropped on the window and the view following the
// play cursor.

#include "GuiFixture.h"

#include "document/ViewCommands.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QUrl>

namespace velmora::test {
namespace {

class DesktopTest : public GuiTest {
protected:
    // A key typed into the main window.  The offscreen platform leaves a
    // closed dialog the active window; a desktop gives the activation back.
    void Key(QKeyCombination key)
    {
        if (QApplication::activeWindow() != MainForm)
            QApplication::setActiveWindow(MainForm);
        QTest::keyClick(MainForm, key.key(), key.keyboardModifiers());
        Wait(20);
    }

    void Drop(const std::string& path)
    {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
        const QPointF at(100, 100);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(MainForm, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(MainForm, &drop);
        Wait(50);
    }
};

TEST_F(DesktopTest, EachShortcutFiresOnlyWhileItsCommandIsEnabled)
{
    const std::string path = SineWave("k.wav", 44100, 2, 44100 * 20);
    ASSERT_TRUE(Start());
    Show();

    // No document: only Open (and Exit, Help) are live.
    for (QKeyCombination key : {Qt::CTRL | Qt::Key_S, Qt::CTRL | Qt::Key_A, QKeyCombination(Qt::Key_Delete),
                                QKeyCombination(Qt::Key_Space), QKeyCombination(Qt::Key_BracketLeft),
                                Qt::CTRL | Qt::Key_Equal, Qt::CTRL | Qt::Key_W})
        Key(key);
    EXPECT_FALSE(Doc().DocumentOpen);
    EXPECT_TRUE(dialogs.Messages.empty());
    EXPECT_TRUE(dialogs.Questions.empty());
    dialogs.OpenChoices.push_back(path);
    Key(Qt::CTRL | Qt::Key_O);
    ASSERT_TRUE(Doc().DocumentOpen);
    Key(Qt::CTRL | Qt::Key_O);  // Open is disabled with a document open
    EXPECT_EQ(dialogs.Filters.size(), 1u);

    // Space plays, pauses and goes on; Escape stops.
    Key(QKeyCombination(Qt::Key_Space));
    EXPECT_EQ(Doc().PlayState, psPlaying);
    EXPECT_EQ(C().MPause->shortcut(), QKeySequence(Qt::Key_Space));
    Key(QKeyCombination(Qt::Key_Space));
    EXPECT_EQ(Doc().PlayState, psPaused);
    const std::uint32_t pausedAt = PlayColumnNow(Doc());
    Key(QKeyCombination(Qt::Key_Space));
    EXPECT_EQ(Doc().PlayState, psPlaying);
    EXPECT_GE(PlayColumnNow(Doc()), pausedAt);  // resumed, not started over
    Key(QKeyCombination(Qt::Key_Escape));
    EXPECT_EQ(Doc().PlayState, psStopped);
    Key(QKeyCombination(Qt::Key_Escape));
    EXPECT_EQ(Doc().PlayState, psStopped);

    // Zoom: the coarsest step cannot go coarser.
    ASSERT_EQ(Doc().FramesPerColumn, 10000);
    Key(Qt::CTRL | Qt::Key_Minus);
    EXPECT_EQ(Doc().FramesPerColumn, 10000);
    Key(Qt::CTRL | Qt::Key_Equal);
    EXPECT_EQ(Doc().FramesPerColumn, 8000);
    Key(Qt::CTRL | Qt::Key_Minus);
    EXPECT_EQ(Doc().FramesPerColumn, 10000);

    // The markers at the play position; [ past the finish marker does nothing.
    Main().PaintBox1MouseDown(Qt::LeftButton, 30, 10);
    const std::uint32_t finish = PlayColumnNow(Doc());
    Key(QKeyCombination(Qt::Key_BracketRight));
    EXPECT_EQ(Doc().SelFinish, finish);
    Main().PaintBox1MouseDown(Qt::LeftButton, 40, 10);
    Key(QKeyCombination(Qt::Key_BracketLeft));
    EXPECT_EQ(Doc().SelStart, 0u);
    Main().PaintBox1MouseDown(Qt::LeftButton, 10, 10);
    const std::uint32_t start = PlayColumnNow(Doc());
    Key(QKeyCombination(Qt::Key_BracketLeft));
    EXPECT_EQ(Doc().SelStart, start);

    // Delete edits; then Save is live, and Close and Exit ask first.
    const std::uint32_t columns = Doc().ColumnCount;
    Key(QKeyCombination(Qt::Key_Delete));
    EXPECT_EQ(Doc().ColumnCount, columns - (finish - start));
    EXPECT_TRUE(Doc().Modified);
    Key(Qt::CTRL | Qt::Key_A);
    EXPECT_EQ(Doc().SelStart, 0u);
    EXPECT_EQ(Doc().SelFinish, Doc().ColumnCount - 1);
    for (QKeyCombination key : {Qt::CTRL | Qt::Key_W, Qt::CTRL | Qt::Key_Q})
        Key(key);  // each answered Cancel
    EXPECT_EQ(dialogs.Questions.size(), 2u);
    EXPECT_TRUE(Doc().DocumentOpen);
    EXPECT_TRUE(MainForm->isVisible());
}

TEST_F(DesktopTest, ADroppedWaveOpensAndOtherFilesAreRefused)
{
    const std::string first = SineWave("first.wav", 8000, 1, 8000 * 5);
    const std::string second = SineWave("second.WAV", 8000, 2, 8000 * 3);
    const std::string text = dir / "notes.txt";
    WriteWholeFile(text, {'h', 'i'});
    ASSERT_TRUE(Start());
    Show();

    Drop(first);
    ASSERT_TRUE(Doc().DocumentOpen);
    EXPECT_EQ(Doc().SourceFile, first);

    Drop(text);
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Text, "Can not open the file.");
    EXPECT_EQ(Doc().SourceFile, first);

    // Unsaved edits: Close's prompt first; Cancel keeps them and the document.
    Doc().Modified = true;
    Drop(second);
    EXPECT_EQ(dialogs.Questions.size(), 1u);
    EXPECT_EQ(Doc().SourceFile, first);
    dialogs.Answers.push_back(UserDialogs::Answer::No);
    Drop(second);
    ASSERT_TRUE(Doc().DocumentOpen);
    EXPECT_EQ(Doc().SourceFile, second);
    EXPECT_EQ(Doc().Channels, 2);
}

TEST_F(DesktopTest, TheViewFollowsAPlayingCursorPageWise)
{
    ASSERT_TRUE(Start());
    Show();
    OpenThroughDialog(SineWave("long.wav", 44100, 1, 44100 * 40));
    Main().MZoom1Click();  // 1764 columns, 44 a second
    Wait(50);
    QScrollBar* bar = C().ScrollBox1->horizontalScrollBar();
    bar->setValue(0);  // (the zoom kept the middle of the file in view)
    const int width = C().ScrollBox1->viewport()->width();
    ASSERT_LT(width, 1200);
    ASSERT_EQ(bar->value(), 0);

    Main().PaintBox1MouseDown(Qt::LeftButton, width - 10, 10);
    Main().CButtonPlayFromHereClick();
    ASSERT_TRUE(WaitFor([bar] { return bar->value() > 0; }, 3000));
    const int left = bar->value();
    const int cursor = static_cast<int>(PlayColumnNow(Doc()));
    EXPECT_GE(left, width - 10);
    EXPECT_GE(cursor, left);
    EXPECT_LT(cursor, left + 20);  // a new page starts at the cursor

    // The user looks back: the view stays there while the cursor plays on.
    bar->setValue(0);
    Wait(400);
    EXPECT_EQ(bar->value(), 0);
    Main().CButtonStopClick();
}

} // namespace
} // namespace velmora::test
