// The Language menu, the choice of a first language from the system's, and
// ApplyLanguage, which writes the current language file's texts and font
// into the seven windows.

#include "Language.h"
#include "Formloudness.h"
#include "Formproperties.h"
#include "Formselection.h"
#include "QtTranslations.h"
#include "SelectionReadout.h"

#include "Formabout.h"
#include "Formmain.h"
#include "Windows.h"

#include "edit/EditKinds.h"
#include "export/SaveCommands.h"
#include "import/OpenCloseCommands.h"
#include "platform/FileFormats.h"
#include "platform/IniFile.h"
#include "platform/LanguageFile.h"
#include "platform/PathText.h"
#include "ui_Formmain.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QFontMetrics>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QToolButton>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <tuple>
#include <utility>

namespace velmora {

namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// The whole of text as a whole number, or fallback.
int WholeNumber(const std::string& text, int fallback)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : fallback;
}

// Fonts that cover a character set's writing system, tried after the one
// the language file names.
QStringList FallbackFamilies(int charSet)
{
    switch (charSet) {
    case 128: return {QStringLiteral("Noto Sans CJK JP"), QStringLiteral("WenQuanYi Micro Hei")};
    case 129: return {QStringLiteral("Noto Sans CJK KR"), QStringLiteral("WenQuanYi Micro Hei")};
    case 134: return {QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei")};
    case 136: return {QStringLiteral("Noto Sans CJK TC"), QStringLiteral("WenQuanYi Micro Hei")};
    default: return {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")};
    }
}

// ---- Where each text of a language file goes ----

enum class Window { Main, Open, Reload, Save, About, Process, Volume };
enum class Place { Caption, Hint, Title, OpenFilter, SaveFilter, HelpFile, Copyright, Reserved };

struct LanguageTarget {
    const char* Section;
    const char* Key;
    Window In;
    Place What;
    const char* Control;  // the control's name, for captions and hints
};

// In the order they are read.
constexpr LanguageTarget LanguageTable[] = {
    {"Menu", "File", Window::Main, Place::Caption, "MenuFile"},
    {"Menu", "Open", Window::Main, Place::Caption, "MOpen"},
    {"Menu", "Close", Window::Main, Place::Caption, "MClose"},
    {"Menu", "Save", Window::Main, Place::Caption, "MSave"},
    {"Menu", "SaveAs", Window::Main, Place::Caption, "MSaveAs"},
    {"Menu", "Exit", Window::Main, Place::Caption, "MExit"},
    {"Menu", "Edit", Window::Main, Place::Caption, "MenuEdit"},
    {"Menu", "SelectAll", Window::Main, Place::Caption, "MSelectAll"},
    {"Menu", "Zoom", Window::Main, Place::Caption, "MenuZoom"},
    {"Menu", "Zoom10", Window::Main, Place::Caption, "MZoom10"},
    {"Menu", "Zoom8", Window::Main, Place::Caption, "MZoom8"},
    {"Menu", "Zoom6", Window::Main, Place::Caption, "MZoom6"},
    {"Menu", "Zoom4", Window::Main, Place::Caption, "MZoom4"},
    {"Menu", "Zoom2", Window::Main, Place::Caption, "MZoom2"},
    {"Menu", "Zoom1", Window::Main, Place::Caption, "MZoom1"},
    {"Menu", "Control", Window::Main, Place::Caption, "MenuControl"},
    {"Menu", "Play", Window::Main, Place::Caption, "MPlay"},
    {"Menu", "PlayFrom", Window::Main, Place::Caption, "MPlayFromHere"},
    {"Menu", "Pause", Window::Main, Place::Caption, "MPause"},
    {"Menu", "Stop", Window::Main, Place::Caption, "MStop"},
    {"Menu", "SetStart", Window::Main, Place::Caption, "MSetStart"},
    {"Menu", "SetFinish", Window::Main, Place::Caption, "MSetFinish"},
    {"Menu", "Language", Window::Main, Place::Caption, "MenuLanguage"},
    {"Menu", "Help", Window::Main, Place::Caption, "MenuHelp"},
    {"LanguageProperty", "HelpFile", Window::Main, Place::HelpFile, nullptr},
    {"Menu", "HelpDocument", Window::Main, Place::Caption, "MHelp"},
    {"Menu", "HomePage", Window::Main, Place::Caption, "MHome"},
    {"Menu", "About", Window::Main, Place::Caption, "MAbout"},
    {"ToolBar", "Open", Window::Main, Place::Caption, "ButtonOpen"},
    {"ToolBar", "Close", Window::Main, Place::Caption, "ButtonClose"},
    {"ToolBar", "Save", Window::Main, Place::Caption, "ButtonSave"},
    {"ToolBar", "SaveAs", Window::Main, Place::Caption, "ButtonSaveAs"},
    {"ToolBar", "ZoomIn", Window::Main, Place::Caption, "ButtonZoomIn"},
    {"ToolBar", "ZoomOut", Window::Main, Place::Caption, "ButtonZoomOut"},
    {"ToolBar", "Help", Window::Main, Place::Caption, "ButtonHelp"},
    {"ToolBar", "Update", Window::Main, Place::Caption, "ButtonUpdate"},
    {"Control", "SetStart", Window::Main, Place::Caption, "MPopSetStart"},
    {"Control", "SetFinish", Window::Main, Place::Caption, "MPopSetFinish"},
    {"Control", "PlayFrom", Window::Main, Place::Caption, "MPopPlayFromHere"},
    {"Control", "SelectAll", Window::Main, Place::Caption, "MPopSelectAll"},
    {"Control", "Play", Window::Main, Place::Hint, "CButtonPlay"},
    {"Control", "PlayFrom", Window::Main, Place::Hint, "CButtonPlayFromHere"},
    {"Control", "Pause", Window::Main, Place::Hint, "CButtonPause"},
    {"Control", "Stop", Window::Main, Place::Hint, "CButtonStop"},
    {"Control", "SetStart", Window::Main, Place::Hint, "CButtonSetStart"},
    {"Control", "SetFinish", Window::Main, Place::Hint, "CButtonSetFinish"},
    {"OpenDialog", "Filter", Window::Main, Place::OpenFilter, nullptr},
    {"SaveDialog", "Filter", Window::Main, Place::SaveFilter, nullptr},
    {"AboutForm", "Caption", Window::About, Place::Title, nullptr},
    {"AboutForm", "Version", Window::About, Place::Caption, "Label2"},
    {"AboutForm", "HomePage", Window::About, Place::Caption, "Label4"},
    {"AboutForm", "Copyright", Window::About, Place::Copyright, nullptr},
    {"AboutForm", "Reserved", Window::About, Place::Reserved, nullptr},
    {"Common", "Ok", Window::About, Place::Caption, "ButtonOk"},
    {"OpenForm", "Caption", Window::Open, Place::Title, nullptr},
    {"OpenForm", "Decoding", Window::Open, Place::Caption, "Label1"},
    {"OpenForm", "Loading", Window::Open, Place::Caption, "Label2"},
    {"Common", "Cancel", Window::Open, Place::Caption, "ButtonCancel"},
    {"ReloadForm", "Caption", Window::Reload, Place::Title, nullptr},
    {"SaveForm", "Caption", Window::Save, Place::Title, nullptr},
    {"Common", "Cancel", Window::Save, Place::Caption, "ButtonCancel"},
    {"ProcessForm", "Caption", Window::Process, Place::Title, nullptr},
    {"ProcessForm", "Processing", Window::Process, Place::Caption, "Label1"},
    {"ProcessForm", "Reloading", Window::Process, Place::Caption, "Label2"},
    {"VolumeForm", "Caption", Window::Volume, Place::Title, nullptr},
    {"VolumeForm", "Volume", Window::Volume, Place::Caption, "Label1"},
    {"VolumeForm", "Mute", Window::Volume, Place::Caption, "CheckBoxMute"},
    {"Common", "Ok", Window::Volume, Place::Caption, "ButtonOk"},
    {"Common", "Cancel", Window::Volume, Place::Caption, "ButtonCancel"},
};
static_assert(std::size(LanguageTable) == 69, "every text a language file gives but the edits' captions");

void SetCaption(QObject* control, const QString& text)
{
    if (auto* action = qobject_cast<QAction*>(control))
        action->setText(text);
    else if (auto* menu = qobject_cast<QMenu*>(control))
        menu->setTitle(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(text);
}

// The toolbar's buttons other than the edits' (whose pairs the edit table
// gives) with the action whose keys their hints name.
constexpr std::pair<const char*, const char*> ToolbarButtons[] = {
    {"ButtonOpen", "MOpen"},          {"ButtonClose", "MClose"},          {"ButtonSave", "MSave"},
    {"ButtonSaveAs", "MSaveAs"},      {"ButtonZoomIn", "ZoomInAction"},   {"ButtonZoomOut", "ZoomOutAction"},
    {"ButtonHelp", "MHelp"},          {"ButtonUpdate", nullptr},
};

// caption on one line, or on two where one would not fit width: broken at
// the space that makes the longer line shortest.
QString CaptionLines(const QString& caption, const QFontMetrics& metrics, int width)
{
    if (metrics.horizontalAdvance(caption) <= width)
        return caption;
    QString best = caption;
    int bestWidth = metrics.horizontalAdvance(caption);
    for (qsizetype at = caption.indexOf(u' '); at >= 0; at = caption.indexOf(u' ', at + 1)) {
        const QString first = caption.left(at);
        const QString second = caption.mid(at + 1);
        const int longer = std::max(metrics.horizontalAdvance(first), metrics.horizontalAdvance(second));
        if (longer < bestWidth) {
            bestWidth = longer;
            best = first + u'\n' + second;
        }
    }
    return best;
}

// A toolbar button shows its whole caption: on two lines where one is too
// wide for it, and the button grows where a line still is.  Its hint is
// the caption on one line with the keys that do the same.
void FitToolbarButton(QToolButton& button, const QString& caption, const QAction* sameCommand)
{
    constexpr int DesignedWidth = 49;
    constexpr int Margins = 6;  // the button's frame and the text's padding
    const QFontMetrics metrics(button.font());
    const QString lines = CaptionLines(caption, metrics, DesignedWidth - Margins);
    button.setText(lines);
    int widest = 0;
    for (const QString& line : lines.split(u'\n'))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    button.setFixedWidth(std::max(DesignedWidth, widest + Margins));
    QString hint = caption;
    if (sameCommand != nullptr && !sameCommand->shortcut().isEmpty())
        hint += QStringLiteral(" (") + sameCommand->shortcut().toString(QKeySequence::NativeText) + u')';
    button.setToolTip(hint);
}

} // namespace

std::string DefaultLanguageFile(const QLocale& locale)
{
    if (locale.language() == QLocale::Chinese) {
        switch (locale.territory()) {
        case QLocale::China:
        case QLocale::Singapore: return "ChineseGB.ini";
        case QLocale::Taiwan:
        case QLocale::HongKong: return "ChineseBig5.ini";
        default: return "English.ini";
        }
    }
    if (locale.language() == QLocale::Russian)
        return "Russian.ini";
    return "English.ini";
}

IniFile ReadChosenLanguage(const std::string& folder, const std::string& name)
{
    // Only a file of the language folder itself; anything that cannot be
    // read as one (a directory, a FIFO, a name with a path in it) gives
    // way to English.
    if (name.find('/') == std::string::npos && name != "." && name != "..") {
        if (std::optional<IniFile> chosen = OpenLanguageFile(folder + name))
            return std::move(*chosen);
    }
    if (std::optional<IniFile> english = OpenLanguageFile(folder + "English.ini"))
        return std::move(*english);
    return IniFile::FromText(folder + "English.ini", "");
}

std::vector<std::string> LanguageFileNames(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        // Only regular files: a FIFO or a device under a language file's
        // name would hold up the window.
        if (entry.is_regular_file(error) && HasExtension(name, ".ini"))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return Lower(a) < Lower(b); });
    return names;
}

QFont LanguageFont(const IniFile& language)
{
    const std::string name = language.ReadString("LanguageProperty", "FontName", "Tahoma");
    const int size = WholeNumber(language.ReadString("LanguageProperty", "FontSize", "8"), 8);
    const int charSet = WholeNumber(language.ReadString("LanguageProperty", "CharSet", "1"), 1);
    QFont font;
    font.setFamilies(QStringList{QString::fromStdString(name)} + FallbackFamilies(charSet));
    font.setPointSize(size > 0 ? size : 8);
    return font;
}

void TMainForm::BuildLanguageMenu(IniFile& configuration)
{
    const std::string folder = Doc.ProgramFolder + "KVLanguage/";
    const std::vector<std::string> names = LanguageFileNames(folder);
    LanguageFile = Trim(configuration.ReadString("General", "Language", ""));
    if (LanguageFile.empty()) {
        LanguageFile = DefaultLanguageFile(QLocale::system());
        configuration.WriteString("General", "Language", LanguageFile);
    }
    auto* group = new QActionGroup(this);
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::optional<IniFile> language = OpenLanguageFile(folder + names[i]);
        if (!language)
            continue;
        auto* item = new QAction(QString::fromStdString(language->ReadString("LanguageProperty", "Name", "")), this);
        item->setObjectName(QStringLiteral("MLanguage%1").arg(i));
        item->setCheckable(true);
        item->setChecked(EqualsIgnoringCase(names[i], LanguageFile));
        group->addAction(item);
        ui_->MenuLanguage->addAction(item);
        connect(item, &QAction::triggered, this, [this, item] { LanguageItemClick(item); });
    }
}

void TMainForm::LanguageItemClick(QAction* sender)
{
    // Items of the same name go together.
    for (QAction* item : ui_->MenuLanguage->actions())
        item->setChecked(item->text() == sender->text());

    const std::string folder = Doc.ProgramFolder + "KVLanguage/";
    const std::string picked = sender->text().toStdString();
    for (const std::string& name : LanguageFileNames(folder)) {
        const std::optional<IniFile> language = OpenLanguageFile(folder + name);
        if (language && EqualsIgnoringCase(language->ReadString("LanguageProperty", "Name", ""), picked)) {
            LanguageFile = name;
            IniFile configuration(ConfigurationFile);
            configuration.WriteString("General", "Language", LanguageFile);
            break;
        }
    }
    ApplyLanguage();
    // The status bar's words follow at once.
    UpdateCommandState(Doc.DocumentOpen ? Doc.PlayState : psNoDocument);
}

void TMainForm::ApplyLanguage()
{
    // Read once for each language chosen, not at every activation.
    const bool newLanguage = !LanguageIni || LanguageIniName != LanguageFile;
    if (newLanguage) {
        LanguageIni = std::make_unique<IniFile>(ReadChosenLanguage(Doc.ProgramFolder + "KVLanguage/", LanguageFile));
        LanguageIniName = LanguageFile;
    }
    const IniFile& language = *LanguageIni;
    if (!QtTexts)
        QtTexts = std::make_unique<QtTranslations>();
    QtTexts->Switch(LanguageFile, language);

    QWidget* const windows[] = {this, OpenForm, ReloadForm, SaveForm, AboutForm, ProcessForm, VolumeForm};
    const QFont font = LanguageFont(language);
    for (QWidget* window : windows) {
        if (window != nullptr)
            window->setFont(font);
    }
    for (QWidget* window : {static_cast<QWidget*>(SelectionForm), static_cast<QWidget*>(PropertiesForm),
                            static_cast<QWidget*>(LoudnessForm), static_cast<QWidget*>(NormalizeForm)}) {
        if (window != nullptr)
            window->setFont(font);
    }

    // The edits' captions, under each edit's word, in the menu and on the
    // toolbar.
    for (const EditKind& edit : EditKinds) {
        const char* name = EditName(edit.Command);
        SetCaption(findChild<QObject*>(QString::fromUtf8(edit.MenuItem)),
                   QString::fromStdString(language.ReadString("Menu", name, "")));
        if (edit.Button != nullptr)
            SetCaption(findChild<QObject*>(QString::fromUtf8(edit.Button)),
                       QString::fromStdString(language.ReadString("ToolBar", name, "")));
    }
    for (const LanguageTarget& target : LanguageTable) {
        const std::string value = language.ReadString(target.Section, target.Key, "");
        const QString text = QString::fromStdString(value);
        QWidget* window = windows[static_cast<int>(target.In)];
        if (window == nullptr)
            continue;
        switch (target.What) {
        case Place::Caption: SetCaption(window->findChild<QObject*>(QString::fromUtf8(target.Control)), text); break;
        case Place::Hint:
            if (auto* control = window->findChild<QWidget*>(QString::fromUtf8(target.Control)))
                control->setToolTip(text);
            break;
        case Place::Title: window->setWindowTitle(text); break;
        case Place::OpenFilter: openClose_->OpenDialogFilter = FilterWithEveryFormat(value, false); break;
        case Place::SaveFilter: save_->SaveDialogFilter = FilterWithEveryFormat(value, true); break;
        case Place::HelpFile: HelpFile = value; break;
        case Place::Copyright: AboutForm->CopyrightText = value; break;
        case Place::Reserved: AboutForm->ReservedText = value; break;
        }
    }
    // Captions the original table does not know: English where a language
    // file lacks them.
    const std::tuple<const char*, const char*, const char*> ownCaptions[] = {
        {"Undo", "Undo", "MUndo"},
        {"Redo", "Redo", "MRedo"},
        {"SetSelection", "Set Selection ...", "MSetSelection"},
        {"ZoomWhole", "Whole File", "MZoomWhole"},
        {"Properties", "Properties ...", "MProperties"},
        {"Loudness", "Loudness ...", "MLoudness"},
        {"FadeShape", "Fade Shape", "MenuFadeShape"},
        {"FadeLinear", "Linear", "MFadeLinear"},
        {"FadeLogarithmic", "Logarithmic", "MFadeLogarithmic"},
        {"FadeExponential", "Exponential", "MFadeExponential"},
        {"FadeSCurve", "S-Curve", "MFadeSCurve"},
        {"CleanJoins", "Clean Joins", "MCleanJoins"},
        {"PlaySelection", "Play Selection", "MPlaySelection"},
        {"Loop", "Loop", "MLoop"},
    };
    for (const auto& [key, english, control] : ownCaptions) {
        const std::string value = language.ReadString("Menu", key, "");
        SetCaption(findChild<QObject*>(QString::fromUtf8(control)),
                   QString::fromStdString(value.empty() ? english : value));
    }
    auto fit = [this](const char* name, const char* command) {
        if (auto* button = findChild<QToolButton*>(QString::fromUtf8(name)))
            FitToolbarButton(*button, button->text().replace(u'\n', u' '),
                             command != nullptr ? findChild<QAction*>(QString::fromUtf8(command)) : nullptr);
    };
    for (const auto& [name, command] : ToolbarButtons)
        fit(name, command);
    for (const EditKind& edit : EditKinds) {
        if (edit.Button != nullptr)
            fit(edit.Button, edit.MenuItem);
    }
    // Only for a language just chosen: a window the user made narrower
    // keeps its width when it is activated again.
    if (newLanguage)
        WidenForToolbar();
    // Update opens the project's page, where new versions are announced:
    // its hint names the page.
    ui_->ButtonUpdate->setToolTip(ui_->ButtonUpdate->toolTip() + QStringLiteral(": ") +
                                  QString::fromStdString(HomePageAddress(Doc.ProgramFolder)));
    auto own = [&language](const char* section, const char* key, const char* english) {
        const std::string value = language.ReadString(section, key, "");
        return QString::fromStdString(value.empty() ? english : value);
    };
    SelectionForm->SetTexts(own("SelectionForm", "Caption", "Set Selection"), own("SelectionForm", "Start", "Start:"),
                            own("SelectionForm", "Finish", "Finish:"), own("Common", "Ok", "OK"),
                            own("Common", "Cancel", "Cancel"));
    std::array<QString, TagFields.size()> tagCaptions;
    for (std::size_t i = 0; i < TagFields.size(); ++i)
        tagCaptions[i] = own("PropertiesForm", TagFields[i].Key, (std::string(TagFields[i].Key) + ":").c_str());
    LoudnessForm->SetTexts(own("LoudnessForm", "Caption", "Loudness"),
                           {own("LoudnessForm", "Integrated", "Integrated loudness:"),
                            own("LoudnessForm", "Range", "Loudness range:"),
                            own("LoudnessForm", "TruePeak", "True peak:"),
                            own("LoudnessForm", "MaxMomentary", "Maximum momentary:"),
                            own("LoudnessForm", "MaxShortTerm", "Maximum short-term:"),
                            own("LoudnessForm", "SamplePeak", "Sample peak:")},
                           own("LoudnessForm", "Close", "Close"));
    if (VolumeForm != nullptr)
        VolumeForm->SetOtherText(own("VolumeForm", "Other", "Other..."));
    if (NormalizeForm != nullptr)
        NormalizeForm->SetTexts(own("NormalizeForm", "Caption", "Normalize"),
                                own("NormalizeForm", "Peak", "Peak level (dBFS):"),
                                own("NormalizeForm", "Loudness", "Loudness (LUFS):"), own("Common", "Ok", "OK"),
                                own("Common", "Cancel", "Cancel"));
    PropertiesForm->SetTexts(own("PropertiesForm", "Caption", "Properties"), tagCaptions,
                             own("PropertiesForm", "Picture", "Picture:"),
                             own("PropertiesForm", "NoPicture", "No picture"), own("Common", "Ok", "OK"),
                             own("Common", "Cancel", "Cancel"));
        findChild<QWidget*>(QStringLiteral("PaintBox1"))->setAccessibleName(own("Control", "Waveform", "Waveform"));
    // Buttons that show only a glyph are named by their hint, for screen
    // readers; every hint is a button's description too.
    for (QWidget* window : windows) {
        if (window == nullptr)
            continue;
        for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
            const QString hint = button->toolTip();
            const QString text = button->text();
            // A caption on two lines is read as one.
            button->setAccessibleName(text.isEmpty()           ? hint
                                      : text.contains(u'\n') ? QString(text).replace(u'\n', u' ')
                                                              : QString());
            button->setAccessibleDescription(hint);
        }
    }
        Readout->SetCaptions({own("Control", "StartTime", "Start:"), own("Control", "FinishTime", "Finish:"),
                          own("Control", "Length", "Length:"), own("Control", "Position", "Position:")});
}

} // namespace velmora
