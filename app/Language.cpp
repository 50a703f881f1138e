// The Language menu, built once at start-up from the language files beside
// the program, and the choice of a first language from the system's.

#include "Formmain.h"

#include "platform/PathText.h"
#include "ui_Formmain.h"

#include <QAction>
#include <QActionGroup>
#include <QLocale>
#include <QMenu>

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace velmora {

namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// The file names of KVLanguage/*.ini that are files, sorted ignoring case.
std::vector<std::string> LanguageFileNames(const std::string& programFolder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(programFolder + "KVLanguage", error)) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_directory(error) && HasExtension(name, ".ini"))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return Lower(a) < Lower(b); });
    return names;
}

// The language file for the system's language.
std::string DefaultLanguageFile()
{
    const QLocale locale = QLocale::system();
    if (locale.language() == QLocale::Chinese)
        return locale.script() == QLocale::TraditionalChineseScript ? "ChineseBig5.ini" : "ChineseGB.ini";
    if (locale.language() == QLocale::Russian)
        return "Russian.ini";
    return "English.ini";
}

} // namespace

void TMainForm::BuildLanguageMenu(IniFile& configuration)
{
    const std::vector<std::string> names = LanguageFileNames(Doc.ProgramFolder);
    LanguageFile = Trim(configuration.ReadString("General", "Language", ""));
    if (LanguageFile.empty()) {
        LanguageFile = DefaultLanguageFile();
        configuration.WriteString("General", "Language", LanguageFile);
    }
    auto* group = new QActionGroup(this);
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const IniFile language(Doc.ProgramFolder + "KVLanguage/" + names[i]);
        auto* item = new QAction(QString::fromStdString(language.ReadString("LanguageProperty", "Name", "")), this);
        item->setObjectName(QStringLiteral("MLanguage%1").arg(i));
        item->setCheckable(true);
        item->setChecked(EqualsIgnoringCase(names[i], LanguageFile));
        group->addAction(item);
        ui_->MenuLanguage->addAction(item);
        connect(item, &QAction::triggered, this, [this, item] { LanguageItemClick(item); });
    }
}

// Applying a language file's texts and fonts to the windows arrives with
// the language files themselves; until then the window keeps its design
// texts and the status bar's words are empty.
void TMainForm::ApplyLanguage() {}

void TMainForm::LanguageItemClick(QAction* sender)
{
    for (QAction* item : ui_->MenuLanguage->actions())
        item->setChecked(item->text() == sender->text());
    ApplyLanguage();
}

} // namespace velmora
