// Undo and Redo in the windows, and documents with unsaved edits taken up
// again after the editor was killed.

#include "GuiFixture.h"

#include "history/Manifest.h"
#include "support/Process.h"

#include <QApplication>
#include <QTest>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <unistd.h>

namespace velmora {
namespace {

using test::GuiTest;

TEST_F(GuiTest, UndoAndRedoFromTheMenuAndTheKeysInEveryLanguage)
{
    UseShippedLanguage("Russian.ini");
    const std::string path = SineWave("u.wav", 8000, 2, 8000 * 6);
    ASSERT_TRUE(Start());
    Show();
    EXPECT_EQ(C().MUndo->text(), QStringLiteral("Отменить"));
    OpenThroughDialog(path);
    const auto opened = test::ReadWholeFile(Doc().WorkFile);
    EXPECT_FALSE(C().MUndo->isEnabled());

    Main().SeekActions[1]->trigger();  // Right (a press there would take hold of a marker)
    Main().CButtonSetStartClick();
    C().MDelete->trigger();  // from column 1 to the end
    ASSERT_EQ(Doc().ColumnCount, 1u);
    EXPECT_TRUE(C().MUndo->isEnabled());
    EXPECT_FALSE(C().MRedo->isEnabled());

    QApplication::setActiveWindow(MainForm);
    QTest::keyClick(MainForm, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(test::ReadWholeFile(Doc().WorkFile), opened);
    EXPECT_EQ(Doc().ColumnCount, 5u);
    EXPECT_FALSE(Doc().Modified);
    EXPECT_EQ(Main().WaveBitmap.Width, 5);
    EXPECT_TRUE(C().MRedo->isEnabled());

    QApplication::setActiveWindow(MainForm);
    QTest::keyClick(MainForm, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Doc().ColumnCount, 1u);
    EXPECT_TRUE(Doc().Modified);

    dialogs.Answers.push_back(UserDialogs::Answer::No);
    Main().ButtonCloseClick();
    EXPECT_FALSE(C().MUndo->isEnabled());
    EXPECT_FALSE(C().MRedo->isEnabled());
}

TEST_F(GuiTest, AFileWithoutTheUndoKeysShowsTheEnglishWords)
{
    std::filesystem::create_directories(programFolder / "KVLanguage");
    test::WriteWholeFile(programFolder / "KVLanguage/Old.ini",
                         {'[', 'L', 'a', 'n', 'g', 'u', 'a', 'g', 'e', 'P', 'r', 'o', 'p', 'e', 'r', 't', 'y', ']', '\n',
                          'N', 'a', 'm', 'e', '=', 'O', 'l', 'd', '\n'});
    IniFile(programFolder / "Kelvane.ini").WriteString("General", "Language", "Old.ini");
    ASSERT_TRUE(Start());
    Show();
    EXPECT_EQ(C().MUndo->text(), QStringLiteral("Undo"));
    EXPECT_EQ(C().MRedo->text(), QStringLiteral("Redo"));
    EXPECT_TRUE(C().MDelete->text().isEmpty());  // the original keys blank out
}

// A private folder as a killed editor of an earlier version leaves it
// (its markers are columns), with an empty history or none.
std::string AbandonedFolder(const std::string& name, const std::string& wave, bool modified, bool history = false)
{
    const std::string folder = PrivateTempFolder::Base() / name;
    std::filesystem::create_directory(folder);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
    test::WriteWholeFile(folder + "/velmora.lock", {});
    std::filesystem::copy_file(wave, folder + "/" + WorkFileName);
    const std::string manifest = "[Document]\nSource=/music/song.mp3\nModified=" + std::string(modified ? "1" : "0") +
                                 "\nSelStart=1\nSelFinish=3\nFramesPerColumn=2000\nSourceBitrate=192\n" +
                                 (history ? "[History]\nUndoSteps=0\nRedoSteps=0\nPending=None\n" : "");
    test::WriteWholeFile(folder + "/" + ManifestName, std::vector<unsigned char>(manifest.begin(), manifest.end()));
    return folder;
}

TEST_F(GuiTest, UnsavedEditsOfAKilledEditorAreOfferedBack)
{
    const std::string wave = SineWave("w.wav", 8000, 1, 8000 * 2);
    for (UserDialogs::Answer answer : {UserDialogs::Answer::Cancel, UserDialogs::Answer::No, UserDialogs::Answer::Yes}) {
        SCOPED_TRACE(static_cast<int>(answer));
        const std::string unsaved = AbandonedFolder("velmora-Un5av3", wave, true);
        const std::string saved = AbandonedFolder("velmora-5av3d0", wave, false);
        dialogs.Questions.clear();
        dialogs.Answers = {answer};
        ASSERT_TRUE(Start({QString::fromStdString(wave)}));
        Show();
        EXPECT_FALSE(std::filesystem::exists(saved));  // nothing to offer: removed silently
        ASSERT_EQ(dialogs.Questions.size(), 1u);
        EXPECT_EQ(dialogs.Questions[0].Text, "Recover the unsaved edits of song.mp3?");
        // Cancel leaves the folder for next time; Yes takes the document up
        // where it lies, the folder now the editor's own.
        EXPECT_EQ(std::filesystem::exists(unsaved), answer != UserDialogs::Answer::No);
        if (answer == UserDialogs::Answer::Yes) {
            EXPECT_EQ(Doc().TempFolder, unsaved + "/");
            EXPECT_EQ(Doc().SourceFile, "/music/song.mp3");
            EXPECT_TRUE(Doc().Modified);
            EXPECT_EQ(Doc().FramesPerColumn, 2000);
            EXPECT_TRUE(C().MZoom2->isChecked());
            EXPECT_EQ(Doc().ColumnCount, 8u);
            EXPECT_EQ(Doc().SelStart, 1u);
            EXPECT_EQ(Doc().SelFinish, 3u);
            EXPECT_EQ(Doc().SourceBitrate, 192);
            EXPECT_TRUE(C().MSave->isEnabled());
        } else {
            EXPECT_EQ(Doc().SourceFile, wave);  // the command line's file
            EXPECT_FALSE(Doc().Modified);
        }
        DestroyWindows();
        EXPECT_EQ(std::filesystem::exists(unsaved), answer == UserDialogs::Answer::Cancel);
        std::error_code ignored;
        std::filesystem::remove_all(unsaved, ignored);
    }
}

// An earlier version's folder with a history: its markers are columns of
// its zoom all the same, taken as the frames they begin.
TEST_F(GuiTest, AnEarlierFoldersMarkersComeBackOnTheirColumns)
{
    const std::string unsaved = AbandonedFolder("velmora-H1st0r", SineWave("w.wav", 8000, 1, 8000 * 2), true, true);
    dialogs.Answers = {UserDialogs::Answer::Yes};
    ASSERT_TRUE(Start());
    Show();
    ASSERT_TRUE(Doc().DocumentOpen);
    EXPECT_EQ(std::pair(Doc().SelStartFrame, Doc().SelFinishFrame), std::pair(2000u, 6000u));
    DestroyWindows();
    std::error_code ignored;
    std::filesystem::remove_all(unsaved, ignored);
}

TEST_F(GuiTest, AnEditSurvivesAnEditorKilledWithSigkill)
{
    if (!test::Shell("command -v Xvfb >/dev/null && command -v xdotool >/dev/null"))
        GTEST_SKIP() << "needs Xvfb and xdotool";
    int server = -1;
    const std::string display = test::StartVirtualDisplay("1024x768x24", server);
    ASSERT_FALSE(display.empty());
    const std::string path = SineWave("k.wav", 8000, 1, 8000 * 5);  // four columns
    const std::string temporary = PrivateTempFolder::Base();
    const int editor = test::StartProcess({VELMORA_PATH, path}, {{"DISPLAY", display},
                                                                 {"QT_QPA_PLATFORM", "xcb"},
                                                                 {"SDL_AUDIODRIVER", "dummy"}});
    // The manifest of the document k.wav (its edits, when modified).
    auto manifestOfK = [&](bool modified) {
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(temporary, ignored)) {
            const auto manifest = ReadManifest(entry.path());
            if (manifest && manifest->SourceFile == path && (manifest->Modified || !modified))
                return true;
        }
        return false;
    };
    // What the key needs, waited for in turn rather than keys retried: the
    // document open (a first start on a fresh machine may build its font
    // caches first), then the window viewable and holding the focus.  Delete
    // with the markers on the whole file takes everything.
    const bool opened = WaitFor([&] { return manifestOfK(false); }, 120000);
    const int pressed = opened ? test::RunProcess({"xdotool", "search", "--sync", "--onlyvisible", "--name",
                                                   "^Velmora Audio Editor$", "windowfocus", "--sync", "key", "Delete"},
                                                  {{"DISPLAY", display}})
                                     .ExitCode
                               : -1;
    const bool edited = opened && pressed == 0 && WaitFor([&] { return manifestOfK(true); }, 30000);
    ::kill(editor, SIGKILL);
    test::WaitProcess(editor);
    ::kill(server, SIGTERM);
    test::WaitProcess(server);
    ASSERT_TRUE(opened);
    ASSERT_EQ(pressed, 0);
    ASSERT_TRUE(edited);

    dialogs.Answers = {UserDialogs::Answer::Yes};
    ASSERT_TRUE(Start());
    Show();
    ASSERT_EQ(dialogs.Questions.size(), 1u);
    EXPECT_EQ(dialogs.Questions[0].Text, "Recover the unsaved edits of k.wav?");
    EXPECT_EQ(Doc().SourceFile, path);
    EXPECT_TRUE(Doc().Modified);
    EXPECT_EQ(Doc().TotalFrames, 0u);
    // Nothing left is still a document: it is shown, and Undo brings the
    // audio back.
    C().PaintBox1->repaint();
    // (the key may have gone in more than once: each press is a step)
    ASSERT_TRUE(C().MUndo->isEnabled());
    while (C().MUndo->isEnabled())
        C().MUndo->trigger();
    EXPECT_EQ(Doc().TotalFrames, 40000u);
}

} // namespace
} // namespace velmora
