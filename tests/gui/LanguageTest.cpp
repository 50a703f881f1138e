// Languages: where a language file's texts land, fonts, the Language menu,
// the first language from the system, the shipped files, the About box's
// owner line, and the web pane's right-click filter.

#include "GuiFixture.h"

#include "app/Formabout.h"
#include "app/Formloudness.h"
#include "app/Formproperties.h"
#include "app/Formselection.h"
#include "app/Language.h"
#include "app/WebPane.h"
#include "document/Formreload.h"
#include "edit/Formprocess.h"
#include "edit/Formvolume.h"
#include "export/Formsave.h"
#include "import/Formopen.h"
#include "platform/IniFile.h"
#include "platform/LanguageFile.h"
#include "platform/TextEncoding.h"
#include "platform/widgets/DialogFit.h"
#include "ui_Formmain.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QDate>
#include <QLabel>
#include <QLocale>
#include <QFontMetrics>
#include <QKeySequence>
#include <QMenu>
#include <QMessageBox>
#include <QToolButton>
#include <QMouseEvent>
#include <QRawFont>

#include <filesystem>
#include <sys/stat.h>
#include <fstream>
#include <set>

namespace velmora {
namespace {

using test::GuiTest;

using Keys = std::vector<std::pair<std::string, std::string>>;

// The section and key of every entry of a language file, in order.
Keys KeysOf(const std::string& path)
{
    Keys keys;
    std::ifstream in(path);
    std::string line, section;
    while (std::getline(in, line)) {
        if (line.starts_with('['))
            section = line.substr(1, line.find(']') - 1);
        else if (!line.starts_with(';') && line.find('=') != std::string::npos)
            keys.emplace_back(section, line.substr(0, line.find('=')));
    }
    return keys;
}

const std::string English = std::string(VELMORA_LANGUAGE_DIR) + "English.ini";

class LanguageTest : public GuiTest {
protected:
    // A language file in the program folder whose every text names its own
    // section and key, except those left out.
    void WriteTaggedLanguage(const std::string& file, const std::set<std::string>& leftOut = {})
    {
        std::filesystem::create_directories(programFolder / "KVLanguage");
        std::ofstream out(programFolder / ("KVLanguage/" + file));
        std::string section;
        for (const auto& [s, k] : KeysOf(English)) {
            if (s != section)
                out << "[" << (section = s) << "]\n";
            if (leftOut.count(s + "/" + k) != 0)
                continue;
            out << k << "=" << (s == "LanguageProperty" ? PropertyValue(k) : s + "/" + k) << "\n";
        }
    }
    static std::string PropertyValue(const std::string& key)
    {
        if (key == "Name")
            return "Tagged";
        if (key == "FontSize")
            return "11";
        if (key == "HelpFile")
            return "guide/tagged.html";
        return key == "FontName" ? "DejaVu Sans" : "1";
    }

    // Every text the seven windows show.
    std::set<std::string> ShownTexts() const
    {
        std::set<std::string> texts;
        auto add = [&texts](const QString& text) {
            if (!text.isEmpty())
                texts.insert(text.toStdString());
        };
        for (QWidget* window : std::initializer_list<QWidget*>{MainForm, OpenForm, ReloadForm, SaveForm, AboutForm,
                                                                 ProcessForm, VolumeForm, Main().SelectionForm,
                                                                 Main().PropertiesForm, Main().LoudnessForm,
                                                                 NormalizeForm}) {
            add(window->windowTitle());
            for (const QAction* action : window->findChildren<QAction*>())
                add(action->text());
            for (const QMenu* menu : window->findChildren<QMenu*>())
                add(menu->title());
            for (const QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
                add(button->text());
                add(button->toolTip());
            }
            for (const QLabel* label : window->findChildren<QLabel*>())
                add(label->text());
            for (const QWidget* widget : window->findChildren<QWidget*>())
                add(widget->accessibleName());  // what a screen reader says
        }
        return texts;
    }
};

TEST_F(LanguageTest, EveryTextOfTheFileLandsWhereItBelongs)
{
    WriteTaggedLanguage("Tagged.ini", {"Menu/Delete"});
    IniFile(programFolder / "Kelvane.ini").WriteString("General", "Language", "Tagged.ini");
    ASSERT_TRUE(Start());
    Show();
    Main().ApplyLanguage();
    const std::set<std::string> shown = ShownTexts();

    // Everything a window shows, and nothing else of the file, is found there.
    for (const auto& [section, key] : KeysOf(English)) {
        const std::string tag = section + "/" + key;
        const bool elsewhere = section == "LanguageProperty" || section == "StatusBar" || section == "OpenDialog" ||
                               section == "SaveDialog" || tag == "AboutForm/Copyright" ||
                               tag == "AboutForm/Reserved" || tag == "Menu/Delete";
        EXPECT_EQ(shown.count(tag), elsewhere ? 0u : 1u) << tag;
    }
    // Namesakes in two sections stay apart; a missing key blanks its control.
    EXPECT_EQ(C().MOpen->text(), "Menu/Open");
    EXPECT_EQ(C().ButtonOpen->text(), "ToolBar/Open");
    EXPECT_EQ(C().MDelete->text(), "");
    EXPECT_EQ(C().ButtonDelete->text(), "ToolBar/Delete");
    EXPECT_EQ(C().CButtonPlayFromHere->toolTip(), "Control/PlayFrom");
    EXPECT_EQ(Main().MPopPlayFromHere->text(), "Control/PlayFrom");
    EXPECT_EQ(C().MenuFile->title(), "Menu/File");
    EXPECT_EQ(VolumeForm->windowTitle(), "VolumeForm/Caption");
    EXPECT_EQ(Main().HelpFile, "guide/tagged.html");
    EXPECT_EQ(AboutForm->CopyrightText, "AboutForm/Copyright");
    EXPECT_EQ(AboutForm->ReservedText, "AboutForm/Reserved");

    // The file dialogs' types, and the status bar's words.
    Main().ButtonOpenClick();
    ASSERT_FALSE(dialogs.Filters.empty());
    EXPECT_EQ(dialogs.Filters.back(), "OpenDialog/Filter");
    OpenThroughDialog(SineWave("s.wav", 8000, 2, 8000));
    Main().ButtonSaveAsClick();
    EXPECT_EQ(dialogs.Filters.back(), "SaveDialog/Filter");
    EXPECT_EQ(Main().StatusPanels[0]->text(), "8000 Hz   StatusBar/Stereo   16StatusBar/Bits");

    // The windows' font.
    for (QWidget* window : std::initializer_list<QWidget*>{MainForm, OpenForm, VolumeForm}) {
        EXPECT_EQ(window->font().family(), "DejaVu Sans");
        EXPECT_EQ(window->font().pointSize(), 11);
    }
}

TEST_F(LanguageTest, FontsAndTheirDefaults)
{
    struct Case {
        const char* Properties;
        const char* Family;
        int Size;
        const char* Fallback;  // a family tried after the named one
    } cases[] = {
        {"", "Tahoma", 8, "Liberation Sans"},
        {"FontName=Noto Sans\nFontSize=12\nCharSet=0\n", "Noto Sans", 12, "DejaVu Sans"},
        {"FontSize=9pt\nCharSet=x\n", "Tahoma", 8, "Liberation Sans"},
        {"FontSize=\nCharSet=\n", "Tahoma", 8, "Liberation Sans"},
        {"FontName=SimSun\nCharSet=134\n", "SimSun", 8, "Noto Sans CJK SC"},
        {"CharSet=136\n", "Tahoma", 8, "Noto Sans CJK TC"},
        {"CharSet=128\n", "Tahoma", 8, "Noto Sans CJK JP"},
    };
    for (const Case& c : cases) {
        const QFont font =
            LanguageFont(IniFile::FromText("x.ini", std::string("[LanguageProperty]\n") + c.Properties));
        EXPECT_EQ(font.families().value(0), c.Family) << c.Properties;
        EXPECT_TRUE(font.families().contains(c.Fallback)) << c.Properties;
        EXPECT_EQ(font.pointSize(), c.Size) << c.Properties;
    }
}

TEST_F(LanguageTest, APickAppliesAtOnceAndIsRemembered)
{
    WriteTaggedLanguage("b-tagged.ini");
    WriteTaggedLanguage("A-Tagged.ini");  // the same Name, first in order
    UseShippedLanguage("English.ini");
    ASSERT_TRUE(Start());
    Show();
    ASSERT_EQ(C().MOpen->text(), "Open ...");
    const QList<QAction*> items = C().MenuLanguage->actions();
    ASSERT_EQ(items.size(), 3);
    QAction* second = items[1];
    ASSERT_EQ(second->text(), "Tagged");
    second->trigger();
    EXPECT_EQ(C().MOpen->text(), "Menu/Open");
    EXPECT_TRUE(items[0]->isChecked());
    EXPECT_TRUE(items[1]->isChecked());
    EXPECT_FALSE(items[2]->isChecked());
    EXPECT_EQ(Main().LanguageFile, "A-Tagged.ini");
    EXPECT_EQ(IniFile(programFolder / "Kelvane.ini").ReadString("General", "Language", ""), "A-Tagged.ini");
}

// A Language= naming a folder, a FIFO among the language files and a
// Kelvane.ini that is a FIFO stop nothing: the window shows, in English,
// and what could not be read is not written over.
TEST_F(LanguageTest, UnreadableLanguageFilesGiveWayToEnglish)
{
    UseShippedLanguage("English.ini");
    std::filesystem::create_directory(programFolder / "KVLanguage/Folder.ini");
    ASSERT_EQ(::mkfifo((programFolder / "KVLanguage/Pipe.ini").c_str(), 0644), 0);
    IniFile(programFolder / "Kelvane.ini").WriteString("General", "Language", "Folder.ini");
    ASSERT_TRUE(Start());
    Show();
    EXPECT_EQ(C().MOpen->text(), "Open ...");
    EXPECT_EQ(C().MenuLanguage->actions().size(), 1);
    DestroyWindows();

    for (const char* name : {"../KVLanguage/English.ini", "Missing.ini"}) {
        IniFile(programFolder / "Kelvane.ini").WriteString("General", "Language", name);
        ASSERT_TRUE(Start());
        Show();
        EXPECT_EQ(C().MOpen->text(), "Open ...") << name;
        DestroyWindows();
    }

    std::filesystem::remove(programFolder / "Kelvane.ini");
    ASSERT_EQ(::mkfifo((programFolder / "Kelvane.ini").c_str(), 0644), 0);
    ASSERT_TRUE(Start());
    Show();
    EXPECT_TRUE(MainForm->isVisible());
    EXPECT_EQ(std::filesystem::status(programFolder / "Kelvane.ini").type(), std::filesystem::file_type::fifo);
}

// A language file is read when it is chosen, not again at every
// activation of the window.
TEST_F(LanguageTest, TheLanguageFileIsReadOncePerChoice)
{
    UseShippedLanguage("English.ini");
    ASSERT_TRUE(Start());
    Show();
    ASSERT_EQ(C().MOpen->text(), "Open ...");
    WriteTaggedLanguage("English.ini");
    Main().FormActivate();
    EXPECT_EQ(C().MOpen->text(), "Open ...");
}

TEST(Language, TheFirstLanguageFollowsTheSystem)
{
    const std::pair<const char*, const char*> cases[] = {
        {"zh_CN", "ChineseGB.ini"},   {"zh_SG", "ChineseGB.ini"}, {"zh_TW", "ChineseBig5.ini"},
        {"zh_HK", "ChineseBig5.ini"}, {"zh_MO", "English.ini"},   {"ru_RU", "Russian.ini"},
        {"de_DE", "English.ini"},     {"ja_JP", "English.ini"},   {"C", "English.ini"},
    };
    for (const auto& [locale, file] : cases)
        EXPECT_EQ(DefaultLanguageFile(QLocale(QString::fromLatin1(locale))), file) << locale;
}

TEST(Language, EveryShippedFileIsCompleteAndHasItsGuide)
{
    const std::vector<std::string> names = LanguageFileNames(VELMORA_LANGUAGE_DIR);
    EXPECT_EQ(names, (std::vector<std::string>{"ChineseBig5.ini", "ChineseGB.ini", "English.ini", "French.ini",
                                               "German.ini", "Japanese.ini", "Russian.ini", "Spanish.ini"}));
    const Keys englishKeys = KeysOf(English);
    // 72 keys of texts, 5 properties, 3 words, Undo and Redo; Set Selection
    // and Whole File, the readout's four captions, the waveform's name,
    // the selection dialog's three; Properties and its dialog's eleven;
    // Loudness and Normalize, their dialogs' eight and three; Fade Shape
    // and its four; the Volume dialog's Other; Play Selection and Loop.
    ASSERT_EQ(englishKeys.size(), 126u);
    std::set<std::string> languageNames;
    for (const std::string& name : names) {
        const std::string path = std::string(VELMORA_LANGUAGE_DIR) + name;
        const auto bytes = test::ReadWholeFile(path);
        EXPECT_TRUE(IsValidUtf8(std::string(bytes.begin(), bytes.end()))) << name;
        EXPECT_EQ(KeysOf(path), englishKeys) << name;
        const IniFile language = OpenLanguageFile(path).value();
        for (const auto& [section, key] : englishKeys)
            EXPECT_FALSE(language.ReadString(section, key, "").empty()) << name << " " << section << "/" << key;
        languageNames.insert(language.ReadString("LanguageProperty", "Name", ""));
        const std::string guide = language.ReadString("LanguageProperty", "HelpFile", "");
        EXPECT_TRUE(std::filesystem::is_regular_file(std::string(VELMORA_LANGUAGE_DIR) + "../" + guide)) << guide;
        const std::string& filter = language.ReadString("SaveDialog", "Filter", "");
        EXPECT_EQ(std::count(filter.begin(), filter.end(), '|'), 9) << name;
    }
    EXPECT_EQ(languageNames.size(), names.size());
}

// Every window in every shipped language: no caption cut short (each
// label and button at least as wide as its text, the title bar wide enough
// for the title), every toolbar button with a hint, and Qt's own texts in
// the same language.
TEST_F(LanguageTest, EveryWindowShowsItsWholeTextInEveryLanguage)
{
    struct Case {
        const char* File;
        const char* CtrlO;  // as menus show the key
        const char* Yes;    // a message box's Yes, without its & mark
    };
    const Case cases[] = {
        {"English.ini", "Ctrl+O", "Yes"},  {"German.ini", "Strg+O", "Ja"},      {"French.ini", "Ctrl+O", "Oui"},
        {"Spanish.ini", "Control+O", "Sí"},   {"Russian.ini", "Ctrl+O", "Да"},     {"Japanese.ini", "Ctrl+O", "はい(Y)"},
        {"ChineseGB.ini", "Ctrl+O", "是(Y)"}, {"ChineseBig5.ini", "Ctrl+O", "是(Y)"},
    };
    for (const Case& c : cases) {
        UseShippedLanguage(c.File);
        ASSERT_TRUE(Start());
        Show();
        std::vector<std::string> cut;
        for (QDialog* dialog : std::initializer_list<QDialog*>{OpenForm, ReloadForm, SaveForm, AboutForm, ProcessForm,
                                                                VolumeForm, Main().SelectionForm}) {
            FitToContents(*dialog);
            dialog->show();
            const std::string name = dialog->objectName().toStdString();
            if (dialog->width() < TitleBarWidth(dialog->windowTitle(), dialog->font()))
                cut.push_back(name + " title");
            for (QWidget* control : dialog->findChildren<QWidget*>()) {
                const auto* label = qobject_cast<QLabel*>(control);
                const bool text = (label != nullptr && !label->text().isEmpty() && !label->wordWrap()) ||
                                  qobject_cast<QAbstractButton*>(control) != nullptr;
                if (text && control->isVisible() && (control->width() < control->sizeHint().width() ||
                                                     control->height() < control->minimumSizeHint().height()))
                    cut.push_back(name + "/" + control->objectName().toStdString());
            }
            dialog->hide();
        }
        for (QToolButton* button : C().Panel1->findChildren<QToolButton*>()) {
            if (button->text().isEmpty())
                continue;
            // (one line, or two under the glyph)
            for (const QString& line : button->text().split(u'\n')) {
                if (QFontMetrics(button->font()).horizontalAdvance(line) >= button->width())
                    cut.push_back(button->objectName().toStdString());
            }
            EXPECT_FALSE(button->toolTip().isEmpty()) << c.File << " " << button->objectName().toStdString();
        }
        EXPECT_TRUE(cut.empty()) << c.File << ": " << testing::PrintToString(cut);

        EXPECT_EQ(QKeySequence(Qt::CTRL | Qt::Key_O).toString(QKeySequence::NativeText).toStdString(), c.CtrlO)
            << c.File;
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Yes);
        EXPECT_EQ(box.button(QMessageBox::Yes)->text().remove(u'&').toStdString(), c.Yes) << c.File;
        DestroyWindows();
    }
}

// Choosing a language swaps Qt's translation, which renames standard
// buttons: Set Selection's keep the language file's words.  And a window
// the user made narrower keeps its width when activated again.
TEST_F(LanguageTest, ALanguageSwitchKeepsTheProgramsWordsAndTheUsersWidth)
{
    UseShippedLanguage("German.ini");
    UseShippedLanguage("English.ini");
    ASSERT_TRUE(Start());
    Show();
    QAction* german = nullptr;
    for (QAction* item : C().MenuLanguage->actions())
        german = item->isChecked() ? german : item;
    ASSERT_NE(german, nullptr);
    german->trigger();
    Wait(50);
    EXPECT_EQ(Main().SelectionForm->Buttons->button(QDialogButtonBox::Cancel)->text(), "Abbrechen");
    EXPECT_EQ(Main().SelectionForm->Buttons->button(QDialogButtonBox::Ok)->text(), "OK");

    const int wide = MainForm->width();
    MainForm->resize(500, MainForm->height());
    const int narrowed = MainForm->width();
    ASSERT_LT(narrowed, wide);
    Main().FormActivate();
    EXPECT_EQ(MainForm->width(), narrowed);
}

TEST_F(LanguageTest, ChineseCaptionsRenderWithRealGlyphs)
{
    UseShippedLanguage("ChineseGB.ini");
    ASSERT_TRUE(Start());
    Show();
    const QString caption = C().ButtonOpen->text();
    ASSERT_FALSE(caption.isEmpty());
    ASSERT_GE(caption.at(0).unicode(), 0x4E00);
    const QRawFont font = QRawFont::fromFont(C().ButtonOpen->font(), QFontDatabase::SimplifiedChinese);
    ASSERT_TRUE(font.isValid());
    for (const QChar c : caption)
        EXPECT_TRUE(font.supportsCharacter(c)) << font.familyName().toStdString();
    EXPECT_EQ(Main().StatusPanels[0]->text(), QString());  // no document yet
}

TEST_F(GuiTest, TheOwnerLineEndsInThisYear)
{
    ASSERT_TRUE(Start());
    AboutForm->CopyrightText = "Copyright (C)";
    AboutForm->ReservedText = "All rights reserved.";
    const std::string year = std::to_string(QDate::currentDate().year());
    EXPECT_EQ(AboutForm->OwnerLine(), "Copyright (C) Velmora Audio, 2024-" + year + "\nAll rights reserved.");
}

TEST(WebPane, RightClicksAreDroppedStrictlyInsideTheVisiblePaneOnly)
{
    const QRect pane(695, 0, 257, 65);
    const std::pair<QPoint, bool> points[] = {
        {{695, 30}, false}, {{696, 30}, true},  {{951, 30}, true}, {{952, 30}, false},
        {{800, 0}, false},  {{800, 1}, true},   {{800, 64}, true}, {{800, 65}, false},
    };
    for (const auto& [point, inside] : points)
        EXPECT_EQ(IsStrictlyInside(point, pane), inside) << point.x() << "," << point.y();

    QWidget main;
    main.setGeometry(0, 0, 1000, 200);
    QWidget* placeholder = CreateWebPane(main);
    RightClickFilter filter(main, *placeholder);
    auto press = [&main](QPoint at, Qt::MouseButton button) {
        return QMouseEvent(QEvent::MouseButtonPress, QPointF(at), main.mapToGlobal(QPointF(at)), button, button,
                           Qt::NoModifier);
    };
    placeholder->move(695, 0);
    EXPECT_FALSE(filter.Drops(press({800, 30}, Qt::RightButton)));  // hidden: everything passes
    placeholder->setVisible(true);
    EXPECT_TRUE(filter.Drops(press({800, 30}, Qt::RightButton)));
    EXPECT_FALSE(filter.Drops(press({695, 30}, Qt::RightButton)));
    EXPECT_FALSE(filter.Drops(press({800, 30}, Qt::LeftButton)));
}

} // namespace
} // namespace velmora
