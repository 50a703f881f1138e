// Faults found in use: the zoom item's check mark, the wheel over the view,
// relative paths, long paths in the status bar, and the real program on a
// real X display (exact dialog titles, dialogs centred on the main window)
// ending cleanly on SIGTERM and SIGINT.

#include "GuiFixture.h"

#include "document/WaveScrollArea.h"

#include "document/ViewCommands.h"
#include "support/Process.h"

#include <QActionGroup>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

#include <csignal>
#include <filesystem>
#include <optional>
#include <regex>
#include <sys/wait.h>

namespace velmora {
namespace {

using test::GuiTest;

int CheckedZoomItems(Ui::TMainForm& c)
{
    int checked = 0;
    for (QAction* item : {c.MZoom10, c.MZoom8, c.MZoom6, c.MZoom4, c.MZoom2, c.MZoom1})
        checked += item->isChecked() ? 1 : 0;
    return checked;
}

TEST_F(GuiTest, ChoosingTheCheckedZoomItemKeepsItsMark)
{
    ASSERT_TRUE(Start());
    OpenThroughDialog(SineWave("z.wav", 44100, 1, 44100 * 3));
    C().MZoom10->trigger();
    EXPECT_TRUE(C().MZoom10->isChecked());
    EXPECT_EQ(CheckedZoomItems(C()), 1);
    C().ButtonZoomIn->click();
    EXPECT_EQ(Doc().FramesPerColumn, 8000);

    C().MZoom1->trigger();
    C().MZoom1->trigger();
    EXPECT_TRUE(C().MZoom1->isChecked());
    EXPECT_EQ(CheckedZoomItems(C()), 1);
    C().ButtonZoomOut->click();
    EXPECT_EQ(Doc().FramesPerColumn, 2000);
    EXPECT_TRUE(C().MZoom2->isChecked());
}

TEST_F(GuiTest, TheWheelMovesAlongTheWaveformAndWithCtrlStepsTheZoom)
{
    ASSERT_TRUE(Start());
    Show();
    OpenThroughDialog(SineWave("w.wav", 44100, 2, 44100 * 20));
    Main().MZoom1Click();  // 882 columns: the horizontal scroll bar shows
    Wait(50);
    WaveScrollArea* box = C().ScrollBox1;
    box->horizontalScrollBar()->setValue(0);  // (the zoom kept the middle of the file in view)
    ASSERT_TRUE(box->horizontalScrollBar()->isVisible());
    auto turn = [box](int delta, Qt::KeyboardModifiers modifiers) {
        QWheelEvent wheel(QPointF(100, 100), box->viewport()->mapToGlobal(QPointF(100, 100)), QPoint(),
                          QPoint(0, delta), Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(box->viewport(), &wheel);
    };
    int left = 0;
    for (Qt::KeyboardModifiers modifiers : {Qt::NoModifier, Qt::ShiftModifier}) {
        turn(-120, modifiers);
        EXPECT_GT(box->horizontalScrollBar()->value(), left);
        left = box->horizontalScrollBar()->value();
        EXPECT_EQ(box->verticalScrollBar()->value(), 0);
        EXPECT_EQ(C().PaintBox1->mapTo(box->viewport(), QPoint(0, 0)).y(), 0);
    }
    // Ctrl: half notches add up.
    turn(-60, Qt::ControlModifier);
    EXPECT_EQ(Doc().FramesPerColumn, 1000);
    turn(-60, Qt::ControlModifier);
    EXPECT_EQ(Doc().FramesPerColumn, 2000);
    turn(120, Qt::ControlModifier);
    EXPECT_EQ(Doc().FramesPerColumn, 1000);
    turn(120, Qt::ControlModifier);
    EXPECT_EQ(Doc().FramesPerColumn, 500);
}

TEST_F(GuiTest, AFileNamedRelativelyIsHeldByItsFullPath)
{
    const std::string path = SineWave("rel.wav", 8000, 1, 8000);
    const std::string relative = std::filesystem::relative(path).string();
    ASSERT_NE(relative, path);
    ASSERT_TRUE(Start({QString::fromStdString(relative)}));
    Show();
    ASSERT_TRUE(Doc().DocumentOpen);
    EXPECT_EQ(Doc().SourceFile, path);
    EXPECT_EQ(Main().StatusPanels[2]->toolTip().toStdString(), path);
}

TEST_F(GuiTest, ALongPathIsElidedInTheMiddleAndWholeInTheToolTip)
{
    const std::string folders = std::string(60, 'a') + "/" + std::string(60, 'b') + "/";
    std::filesystem::create_directories(dir / folders);
    const std::string path = SineWave(folders + "song.wav", 8000, 1, 8000);
    ASSERT_TRUE(Start());
    Show();
    OpenThroughDialog(path);
    const QLabel* panel = Main().StatusPanels[2];
    EXPECT_EQ(panel->toolTip().toStdString(), path);
    EXPECT_TRUE(panel->text().endsWith(QStringLiteral("song.wav"))) << panel->text().toStdString();
    EXPECT_TRUE(panel->text().contains(QChar(0x2026)));
    EXPECT_LE(panel->fontMetrics().horizontalAdvance(panel->text()), panel->contentsRect().width());
}

TEST_F(GuiTest, ADocumentOfThreeGigabytesPlaysAndSeeksEverywhere)
{
    // A sparse working file: a header, then 3.2 GB (80000 whole columns) of
    // unwritten silence.
    const std::uint32_t dataBytes = 80000u * 10000 * 4;
    const std::string path = test::WaveBuilder().Format(1, 2, 44100, 16).DataSizeField(dataBytes).WriteTo(dir / "AudioTemp.wav");
    std::filesystem::resize_file(path, 44ull + dataBytes);
    ASSERT_TRUE(Start());
    Show();
    // The document as loading would leave it (without reading 3 GiB).
    Document& doc = Doc();
    doc.WorkFile = doc.SourceFile = path;
    doc.Channels = 2;
    doc.SampleRate = 44100;
    doc.BitsPerSample = 16;
    doc.FrameSize = 4;
    doc.DataOffset = 44;
    doc.DataSize = dataBytes;
    doc.DataEnd = 44 + dataBytes;
    doc.TotalFrames = dataBytes / 4;
    doc.DurationSeconds = doc.TotalFrames / 44100;
    doc.ColumnCount = ColumnCountFor(doc.TotalFrames, doc.FramesPerColumn);
    doc.PeakUpper.assign(doc.ColumnCount, 0);
    doc.PeakLower.assign(doc.ColumnCount, 0);
    SelectAll(doc);
    doc.DocumentOpen = true;
    EditorWindow& window = Main();
    window.CreateStream();
    window.SetViewWidth(ViewWidthOf(doc));
    window.UpdateCommandState(psStopped);
    ASSERT_EQ(doc.StreamLength, static_cast<std::int64_t>(dataBytes));

    // A click near the end, the start marker there, and playing on.
    const std::uint32_t column = doc.ColumnCount - 10;
    Main().PaintBox1MouseDown(Qt::LeftButton, static_cast<int>(column), 50);
    EXPECT_EQ(PlayColumnNow(doc), column);
    EXPECT_GT(Main().CurrentWaveScene().PlayFrame * 4, std::uint64_t{1} << 31);
    Main().CButtonSetStartClick();
    EXPECT_EQ(doc.SelStart, column);
    Main().CButtonPlayFromHereClick();
    EXPECT_TRUE(WaitFor([&] { return PlayColumnNow(doc) > column; }));
    EXPECT_EQ(doc.PlayState, psPlaying);
    Main().CButtonStopClick();
}

// ---- The real program ----

// Waits up to ms for pid to end; its wait status, or -1 (then kills it).
int WaitStatusWithin(int pid, int ms)
{
    for (int waited = 0; waited < ms; waited += 20) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return status;
        ::usleep(20000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
}

// True when no working folder of the program is left in folder (Qt keeps
// a runtime folder of its own there).
bool NoWorkingFolderIn(const std::string& folder)
{
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().starts_with("velmora-"))
            return false;
    return true;
}

TEST_F(GuiTest, SigintEndsTheProgramCleanly)
{
    const std::string path = SineWave("play.wav", 44100, 2, 44100 * 30);
    test::TempDir temp;
    const int pid = test::StartProcess({VELMORA_PATH, path}, {{"TMPDIR", temp.Path()},
                                                              {"QT_QPA_PLATFORM", "offscreen"},
                                                              {"SDL_AUDIODRIVER", "dummy"}});
    // Up when the working file has been written.
    ASSERT_TRUE(WaitFor([&] {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(temp.Path()))
            if (entry.path().filename() == "AudioTemp.wav" && entry.file_size() > 44100 * 4 * 29)
                return true;
        return false;
    }, 10000));
    Wait(300);
    ::kill(pid, SIGINT);
    const int status = WaitStatusWithin(pid, 5000);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGINT) << status;
    EXPECT_TRUE(NoWorkingFolderIn(temp.Path()));
}

// The windows of an xwininfo tree whose name is exactly title, with their
// absolute positions and sizes.
std::vector<QRect> WindowsNamed(const std::string& tree, const std::string& title)
{
    const std::regex line("\"" + title + "\": \\([^)]*\\)\\s+(\\d+)x(\\d+)\\+-?\\d+\\+-?\\d+\\s+\\+(-?\\d+)\\+(-?\\d+)");
    std::vector<QRect> found;
    for (auto it = std::sregex_iterator(tree.begin(), tree.end(), line); it != std::sregex_iterator(); ++it) {
        const std::smatch& m = *it;
        found.emplace_back(std::stoi(m[3]), std::stoi(m[4]), std::stoi(m[1]), std::stoi(m[2]));
    }
    return found;
}

TEST_F(GuiTest, OnARealDisplayTheOpenDialogHasItsExactTitleCentredAndSigtermEndsCleanly)
{
    if (!test::Shell("command -v Xvfb >/dev/null && command -v xwininfo >/dev/null"))
        GTEST_SKIP() << "needs Xvfb and xwininfo";
    int server = -1;
    const std::string display = test::StartVirtualDisplay("1280x1024x24", server);
    ASSERT_FALSE(display.empty());
    const std::string broken = dir / "broken.mp3";
    test::WriteWholeFile(broken, std::vector<unsigned char>(3000, 'x'));
    test::TempDir temp;
    // A broken MP3 leaves the open dialog up behind its message until Cancel.
    const int pid = test::StartProcess({VELMORA_PATH, broken}, {{"DISPLAY", display},
                                                                {"QT_QPA_PLATFORM", "xcb"},
                                                                {"TMPDIR", temp.Path()},
                                                                {"SDL_AUDIODRIVER", "dummy"}});
    std::string tree;
    const bool shown = WaitFor([&] {
        tree = test::RunProcess({"xwininfo", "-display", display, "-root", "-tree"}).Out;
        return !WindowsNamed(tree, "Open File").empty();
    }, 30000);
    Wait(200);
    tree = test::RunProcess({"xwininfo", "-display", display, "-root", "-tree"}).Out;
    ::kill(pid, SIGTERM);
    const int status = WaitStatusWithin(pid, 5000);
    ::kill(server, SIGTERM);
    test::WaitProcess(server);

    ASSERT_TRUE(shown) << tree;
    const std::vector<QRect> dialogs = WindowsNamed(tree, "Open File");
    // The message box carries the program's name too; the main window is
    // the one of the design's width (714 pixels).
    std::optional<QRect> main;
    for (const QRect& window : WindowsNamed(tree, "Velmora Audio Editor"))
        if (window.width() == 714)
            main = window;
    ASSERT_EQ(dialogs.size(), 1u) << tree;
    ASSERT_TRUE(main) << tree;
    const QRect* dialog = &dialogs[0];
    EXPECT_EQ(tree.find("Open File \u2014"), std::string::npos) << tree;
    EXPECT_NEAR(dialog->center().x(), main->center().x(), 2);
    EXPECT_NEAR(dialog->center().y(), main->center().y(), 2);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGTERM) << status;
    EXPECT_TRUE(NoWorkingFolderIn(temp.Path()));
}

} // namespace
} // namespace velmora
