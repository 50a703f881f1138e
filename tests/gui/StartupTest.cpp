// Start-up, the command state with and without a document, the status
// bar, the command line, the configuration file, resizing, Close.

#include "GuiFixture.h"

#include "document/WaveScrollArea.h"

#include "support/Process.h"

#include "app/Formabout.h"
#include "document/Formreload.h"
#include "document/ViewCommands.h"
#include "edit/Formprocess.h"
#include "edit/Formvolume.h"
#include "export/Formsave.h"
#include "import/Formopen.h"
#include "platform/IniFile.h"

#include <QLabel>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>

#include <filesystem>

namespace velmora {
namespace {

using test::GuiTest;

std::vector<std::string> EnabledCommands(const TMainForm& main)
{
    std::vector<std::string> enabled;
    for (const QAction* item : main.findChildren<QAction*>()) {
        if (!item->objectName().isEmpty() && item->isEnabled() && !item->objectName().startsWith("MLanguage"))
            enabled.push_back(item->objectName().toStdString());
    }
    for (const QToolButton* button : main.findChildren<QToolButton*>()) {
        if (button->isEnabled() && !button->objectName().startsWith("qt_"))
            enabled.push_back(button->objectName().toStdString());
    }
    std::sort(enabled.begin(), enabled.end());
    return enabled;
}

TEST_F(GuiTest, WithoutADocumentOnlyOpenExitHelpAndLanguageWork)
{
    ASSERT_TRUE(Start());
    EXPECT_EQ(MainForm->windowTitle(), "Velmora Audio Editor");
    EXPECT_EQ(EnabledCommands(Main()), (std::vector<std::string>{"ButtonHelp", "ButtonOpen", "ButtonUpdate", "MAbout",
                                                                  "MExit", "MHelp", "MHome", "MOpen"}));
    for (QLabel* panel : Main().StatusPanels)
        EXPECT_TRUE(panel->text().isEmpty());
    EXPECT_TRUE(C().MZoom10->isChecked());
    EXPECT_EQ(Main().WaveBitmap.Width, 10);
    EXPECT_EQ(C().PaintBox1->height(), 221);
    EXPECT_TRUE(dialogs.Messages.empty());
}

TEST_F(GuiTest, TheSevenWindowsAreCreatedWithTheirDesigns)
{
    // Activation applies the language; English gives the designs' texts.
    UseShippedLanguage("English.ini");
    ASSERT_TRUE(Start());
    Show();
    ASSERT_NE(OpenForm, nullptr);
    ASSERT_NE(VolumeForm, nullptr);
    EXPECT_EQ(OpenForm->windowTitle(), "Open File");
    EXPECT_EQ(ReloadForm->windowTitle(), "Reload File");
    EXPECT_EQ(SaveForm->windowTitle(), "Save File");
    EXPECT_EQ(AboutForm->windowTitle(), "About");
    EXPECT_EQ(ProcessForm->windowTitle(), "Process");
    EXPECT_EQ(VolumeForm->windowTitle(), "Volume");
    const QStringList toolbar = {"ButtonOpen",  "ButtonClose",  "ButtonSave",   "ButtonSaveAs", "ButtonDelete",
                                 "ButtonCutOut", "ButtonVolume", "ButtonFadeIn", "ButtonFadeOut", "ButtonZoomIn",
                                 "ButtonZoomOut", "ButtonHelp", "ButtonUpdate"};
    int lastX = -1;
    for (const QString& name : toolbar) {
        auto* button = Main().findChild<QToolButton*>(name);
        ASSERT_NE(button, nullptr) << name.toStdString();
        EXPECT_EQ(button->size(), QSize(49, 59));
        EXPECT_EQ(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        EXPECT_FALSE(button->icon().isNull());
        EXPECT_GT(button->x(), lastX);
        lastX = button->x();
    }
    EXPECT_EQ(C().CButtonSetFinish->toolTip(), "Set Finish Marker");
    EXPECT_EQ(C().PaintBox2->size(), QSize(97, 49));
    EXPECT_EQ(C().PaintBox3->size(), QSize(161, 17));
    QStringList menus;
    for (QAction* menu : C().MainMenu1->actions())
        menus << menu->text();
    EXPECT_EQ(menus, (QStringList{"&File", "&Edit", "&Zoom", "&Control", "&Language", "&Help"}));
}

// The language is there from the first showing, even where no window
// manager ever activates the window.
TEST_F(GuiTest, TheLanguageIsAppliedAtTheFirstShowing)
{
    UseShippedLanguage("German.ini");
    ASSERT_TRUE(Start());
    MainForm->setAttribute(Qt::WA_ShowWithoutActivating);
    MainForm->show();
    EXPECT_FALSE(MainForm->isActiveWindow());
    EXPECT_EQ(C().MOpen->text(), QStringLiteral("Öffnen ..."));
}

// Help without a browser says so and where the guide lies; with one,
// nothing is said.  (A stand-in xdg-open in front of PATH.)
TEST_F(GuiTest, HelpWithoutABrowserSaysWhereTheGuideLies)
{
    UseShippedLanguage("English.ini");
    ASSERT_TRUE(Start());
    Show();
    const std::string bin = dir / "bin";
    std::filesystem::create_directory(bin);
    const char* oldPath = std::getenv("PATH");
    const std::string path = bin + ":" + (oldPath != nullptr ? oldPath : "");
    ::setenv("PATH", path.c_str(), 1);
    for (const int exitCode : {3, 0}) {
        const std::string script = "#!/bin/sh\nexit " + std::to_string(exitCode) + "\n";
        test::WriteWholeFile(bin + "/xdg-open", std::vector<unsigned char>(script.begin(), script.end()));
        std::filesystem::permissions(bin + "/xdg-open", std::filesystem::perms::owner_all);
        dialogs.Messages.clear();
        Main().MHelpClick();
        Wait(500);
        if (exitCode != 0) {
            ASSERT_TRUE(WaitFor([&] { return !dialogs.Messages.empty(); }, 5000));
            EXPECT_TRUE(dialogs.Messages[0].Text.starts_with("No browser could open the guide: ")) << dialogs.Messages[0].Text;
            EXPECT_NE(dialogs.Messages[0].Text.find("KVLanguage/Help/English/index.html"), std::string::npos);
        } else {
            EXPECT_TRUE(dialogs.Messages.empty());
        }
    }
    ::setenv("PATH", oldPath != nullptr ? oldPath : "", 1);
}

// However low the window is made, the whole waveform (both channels and
// the ruler) and the horizontal scroll bar stay in view.
TEST_F(GuiTest, ALowWindowKeepsTheWholeWaveformInView)
{
    ASSERT_TRUE(Start());
    Show();
    OpenThroughDialog(SineWave("low.wav", 44100, 2, 44100 * 60));
    Main().MZoom1Click();
    MainForm->resize(MainForm->width(), 200);
    Wait(50);
    WaveScrollArea* box = C().ScrollBox1;
    EXPECT_GE(box->viewport()->height(), WaveViewHeight);
    EXPECT_TRUE(box->horizontalScrollBar()->isVisible());
    EXPECT_GE(MainForm->height(), 300);
}

// At any scale the window is placed inside the screen's available area,
// shrunk to it when it does not fit (a 714x460 frame at twice the scale on
// a 1280x800 screen was placed at (-74,-22)).
TEST(Program, TheWindowIsPlacedInsideTheScreen)
{
    struct Case {
        QRect Frame, Available, Placed;
    };
    for (const Case& c : {Case{QRect(0, 0, 714, 460), QRect(0, 0, 1280, 800), QRect(283, 170, 714, 460)},
                          Case{QRect(0, 0, 1428, 920), QRect(0, 0, 640, 400), QRect(0, 0, 640, 400)},
                          Case{QRect(0, 0, 1428, 300), QRect(0, 24, 640, 376), QRect(0, 62, 640, 300)},
                          Case{QRect(0, 0, 701, 401), QRect(10, 10, 700, 400), QRect(10, 10, 700, 400)}}) {
        const QRect placed = PlaceOnScreen(c.Frame, c.Available);
        EXPECT_EQ(placed, c.Placed) << c.Frame.width() << "x" << c.Frame.height();
        EXPECT_TRUE(c.Available.contains(placed)) << c.Frame.width() << "x" << c.Frame.height();
    }
}

// --help and --version answer in the terminal and start no window.
TEST(Program, HelpAndVersionPrintAndExit)
{
    const auto help = test::RunProcess({VELMORA_PATH, "--help"}, {{"QT_QPA_PLATFORM", "offscreen"}});
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_NE(help.Out.find("Usage: velmora [FILE]"), std::string::npos) << help.Out;
    EXPECT_NE(help.Out.find(".flac, .ogg, .oga, .opus, .m4a, .aac, .aiff, .aif"), std::string::npos) << help.Out;
    const auto version = test::RunProcess({VELMORA_PATH, "--version"}, {{"QT_QPA_PLATFORM", "offscreen"}});
    EXPECT_EQ(version.ExitCode, 0);
    // One version for both programs (and the package): the build's.
    EXPECT_EQ(version.Out, "velmora " VELMORA_PROJECT_VERSION "\n");
    EXPECT_EQ(test::RunProcess({VELMORA_CLI_PATH, "--version"}).Out, "velmora-cli " VELMORA_PROJECT_VERSION "\n");
}

TEST_F(GuiTest, NoOutputDeviceEndsTheStartUp)
{
    ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    const bool started = Start();
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_FALSE(started);
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Text, "Can not start default recording device!");
    EXPECT_EQ(dialogs.Messages[0].Kind, UserDialogs::Icon::Error);
}

TEST_F(GuiTest, AFileOnTheCommandLineOpensWhenTheWindowFirstShows)
{
    std::filesystem::create_directory(dir / "my music");
    const std::string path = SineWave("my music/two words.wav", 44100, 2, 44100 * 25 + 100);
    // The path with a blank arrives as two arguments.
    ASSERT_TRUE(Start({QString::fromStdString(dir / "my"), QStringLiteral("music/two words.wav")}));
    EXPECT_FALSE(Doc().DocumentOpen);
    Show();
    ASSERT_TRUE(WaitFor([this] { return Doc().DocumentOpen; }));
    EXPECT_EQ(Doc().PlayState, psStopped);
    EXPECT_EQ(Doc().SourceFile, path);
    EXPECT_EQ(Main().StatusPanels[0]->text(), "44100 Hz      16");  // the language's words are empty
    EXPECT_EQ(Main().StatusPanels[1]->text(), "00:00:25");
    // The path, elided to the panel where it does not fit.
    EXPECT_EQ(Main().StatusPanels[2]->toolTip().toStdString(), path);
    EXPECT_TRUE(Main().StatusPanels[2]->text().endsWith(QStringLiteral("two words.wav")));
    EXPECT_EQ(Doc().ColumnCount, 111u);
    EXPECT_EQ(Doc().SelStart, 0u);
    EXPECT_EQ(Doc().SelFinish, 110u);
    EXPECT_EQ(Main().WaveBitmap.Width, 111);
    EXPECT_TRUE(C().CButtonSetStart->isEnabled());
    EXPECT_FALSE(C().CButtonSetFinish->isEnabled());
    EXPECT_TRUE(C().CButtonPlay->isEnabled());
    EXPECT_FALSE(C().CButtonPause->isEnabled());
    EXPECT_FALSE(C().ButtonSave->isEnabled());
    EXPECT_TRUE(C().ButtonSaveAs->isEnabled());
    EXPECT_FALSE(C().ButtonOpen->isEnabled());
    EXPECT_FALSE(C().ButtonZoomOut->isEnabled());
    EXPECT_TRUE(C().ButtonZoomIn->isEnabled());
}

TEST_F(GuiTest, AMissingFileOnTheCommandLineIsIgnored)
{
    ASSERT_TRUE(Start({QString::fromStdString(dir / "nothing.wav")}));
    Show();
    EXPECT_FALSE(Doc().DocumentOpen);
    EXPECT_TRUE(Doc().SourceFile.empty());
    EXPECT_TRUE(dialogs.Messages.empty());
}

TEST_F(GuiTest, StatusBarOfAnEightBitMonoDocument)
{
    const std::string path = test::WaveBuilder().Format(1, 1, 22050, 8).Samples(std::vector<unsigned char>(22050 * 3, 128)).WriteTo(dir / "m.wav");
    ASSERT_TRUE(Start());
    OpenThroughDialog(path);
    ASSERT_TRUE(Doc().DocumentOpen);
    EXPECT_EQ(Main().StatusPanels[0]->text(), "22050 Hz      8");
    EXPECT_EQ(Main().StatusPanels[1]->text(), "00:00:03");
}

TEST_F(GuiTest, FirstStartWritesTheLanguageAndListsTheLanguageFiles)
{
    std::filesystem::create_directory(programFolder / "KVLanguage");
    std::filesystem::create_directory(programFolder / "KVLanguage/folder.ini");
    test::WriteWholeFile(programFolder / "KVLanguage/russian.ini", {'[', 'L', 'a', 'n', 'g', 'u', 'a', 'g', 'e', 'P', 'r', 'o', 'p', 'e', 'r', 't', 'y', ']', '\n', 'N', 'a', 'm', 'e', '=', 'R', 'u', '\n'});
    test::WriteWholeFile(programFolder / "KVLanguage/English.ini", {'[', 'L', 'a', 'n', 'g', 'u', 'a', 'g', 'e', 'P', 'r', 'o', 'p', 'e', 'r', 't', 'y', ']', '\n', 'N', 'a', 'm', 'e', '=', 'E', 'n', '\n'});
    ASSERT_TRUE(Start());
    const IniFile configuration(programFolder / "Kelvane.ini");
    EXPECT_EQ(configuration.ReadString("General", "Language", ""), "English.ini");  // the test runs in an English locale
    QStringList items;
    for (QAction* item : C().MenuLanguage->actions())
        items << item->objectName() + "=" + item->text() + (item->isChecked() ? "*" : "");
    EXPECT_EQ(items, (QStringList{"MLanguage0=En*", "MLanguage1=Ru"}));
}

TEST_F(GuiTest, ATallWaveformAreaGrowsTheView)
{
    ASSERT_TRUE(Start());
    Show();
    OpenThroughDialog(SineWave("a.wav", 8000, 1, 8000 * 30));
    // (24 columns: no scroll bar below the view)
    const int frame = 2 * C().ScrollBox1->frameWidth();
    for (const auto& [area, view] : {std::pair{200, 221}, std::pair{251, 251 - frame}, std::pair{300, 300 - frame}}) {
        C().ScrollBox1->setFixedHeight(area);
        Wait(20);
        EXPECT_EQ(C().PaintBox1->height(), area - frame) << area;
        EXPECT_EQ(Main().CurrentWaveScene().Height, view) << area;
    }
    // A click on the ruler of the grown view moves nothing; one just above it does.
    const int rulerTop = 300 - frame - RulerRows;
    Main().PaintBox1MouseDown(Qt::LeftButton, 10, rulerTop);
    EXPECT_EQ(PlayColumnNow(Doc()), 0u);
    Main().PaintBox1MouseDown(Qt::LeftButton, 10, rulerTop - 1);
    EXPECT_EQ(PlayColumnNow(Doc()), 10u);
}

TEST_F(GuiTest, CloseWithoutChangesAsksNothingAndRemovesTheWorkingFile)
{
    const std::string path = SineWave("a.wav", 44100, 2, 44100 * 3);
    ASSERT_TRUE(Start());
    OpenThroughDialog(path);
    ASSERT_TRUE(Doc().DocumentOpen);
    const std::string work = Doc().WorkFile;
    ASSERT_TRUE(std::filesystem::exists(work));
    Main().ButtonCloseClick();
    EXPECT_TRUE(dialogs.Questions.empty());
    EXPECT_FALSE(std::filesystem::exists(work));
    EXPECT_FALSE(Doc().DocumentOpen);
    EXPECT_EQ(Doc().PlayState, psNoDocument);
    EXPECT_TRUE(Doc().SourceFile.empty());
    EXPECT_EQ(Main().WaveBitmap.Width, 10);
    EXPECT_TRUE(C().ButtonOpen->isEnabled());
    EXPECT_TRUE(Main().StatusPanels[2]->text().isEmpty());
}

TEST_F(GuiTest, CancelInTheSavePromptKeepsTheDocumentAndTheWindow)
{
    const std::string path = SineWave("a.wav", 44100, 2, 44100);
    ASSERT_TRUE(Start());
    Show();
    OpenThroughDialog(path);
    ASSERT_TRUE(Doc().DocumentOpen);
    Doc().Modified = true;
    dialogs.Answers = {UserDialogs::Answer::Cancel, UserDialogs::Answer::Yes};
    MainForm->close();
    ASSERT_EQ(dialogs.Questions.size(), 1u);
    EXPECT_EQ(dialogs.Questions[0].Text, "File has been modified.\nDo you want to save the changes?");
    EXPECT_TRUE(MainForm->isVisible());
    EXPECT_TRUE(Doc().DocumentOpen);
    EXPECT_NE(Doc().Stream, 0u);
    // Yes with a save that leaves the document modified keeps it too: the
    // opened file is read-only, so Save refuses.
    std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                           std::filesystem::perms::others_read);
    Main().ButtonCloseClick();
    EXPECT_TRUE(Doc().DocumentOpen);
    EXPECT_TRUE(std::filesystem::exists(Doc().WorkFile));
}

TEST_F(GuiTest, ClosingTheWindowClosesTheDocument)
{
    const std::string path = SineWave("a.wav", 44100, 2, 44100);
    ASSERT_TRUE(Start());
    OpenThroughDialog(path);
    const std::string work = Doc().WorkFile;
    MainForm->close();
    EXPECT_FALSE(std::filesystem::exists(work));
}

} // namespace
} // namespace velmora
