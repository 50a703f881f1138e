#include "QtUserDialogs.h"

#include "DialogFit.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <memory>

namespace velmora {

namespace {

QtUserDialogs g_qtDialogs;
UserDialogs* g_dialogs = &g_qtDialogs;

QString CaptionOrDefault(const std::string& caption)
{
    return caption.empty() ? QApplication::applicationDisplayName() : QString::fromStdString(caption);
}

QMessageBox::Icon IconFor(UserDialogs::Icon icon)
{
    switch (icon) {
    case UserDialogs::Icon::Information: return QMessageBox::Information;
    case UserDialogs::Icon::Question: return QMessageBox::Question;
    case UserDialogs::Icon::Error: return QMessageBox::Critical;
    case UserDialogs::Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

// Shows box; first widens it so that its title bar shows the whole title
// (a message box sizes itself to its text alone).
int ExecBox(QMessageBox& box)
{
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        const int width = TitleBarWidth(box.windowTitle(), box.font());
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                      grid->columnCount());
    }
    return box.exec();
}

} // namespace

UserDialogs& AppDialogs()
{
    return *g_dialogs;
}

void InstallAppDialogs(UserDialogs* dialogs)
{
    g_dialogs = dialogs != nullptr ? dialogs : &g_qtDialogs;
}

std::string QtFilterFrom(const std::string& filter)
{
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        // Qt shows the patterns itself; keep the description as written.
        entries << parts[i] + " (" + patterns + ")";
    }
    return entries.join(";;").toStdString();
}

void QtUserDialogs::ShowMessage(const std::string& text, const std::string& caption, Icon icon)
{
    QMessageBox box(IconFor(icon), CaptionOrDefault(caption), QString::fromStdString(text), QMessageBox::Ok,
                    QApplication::activeWindow());
    ExecBox(box);
}

void QtUserDialogs::ShowFileFailure(const std::string& text, const std::string& file, const std::string& reason)
{
    QMessageBox box(QMessageBox::NoIcon, CaptionOrDefault({}), QString::fromStdString(text), QMessageBox::Ok,
                    QApplication::activeWindow());
    // The program's own words stay as they are; what the system said, and
    // about which file, goes beneath them.
    QString details = QString::fromStdString(file);
    if (!reason.empty())
        details += QStringLiteral("\n") + QString::fromStdString(reason);
    box.setInformativeText(details);
    ExecBox(box);
}

UserDialogs::Answer QtUserDialogs::AskYesNoCancel(const std::string& text, const std::string& caption, Icon icon)
{
    QMessageBox box(IconFor(icon), CaptionOrDefault(caption), QString::fromStdString(text),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QApplication::activeWindow());
    switch (ExecBox(box)) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return Answer::Cancel;
    }
}

std::optional<std::string> QtUserDialogs::ChooseFileToOpen(const std::string& filter)
{
    const QString name = QFileDialog::getOpenFileName(QApplication::activeWindow(), QString(), QString(),
                                                      QString::fromStdString(QtFilterFrom(filter)));
    if (name.isEmpty())
        return std::nullopt;
    return name.toStdString();
}

std::optional<UserDialogs::SaveChoice> QtUserDialogs::ChooseFileToSave(const std::string& filter,
                                                                       const std::string& initialName)
{
    const QString qtFilter = QString::fromStdString(QtFilterFrom(filter));
    QString selected;
    QFileDialog dialog(QApplication::activeWindow(), QString(), QString::fromStdString(initialName), qtFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The program asks before overwriting, in its own words.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    // Choosing a type replaces the extension of the name typed ("t_e.txt"
    // becomes "t_e.wav"); the program's own rule completes names instead,
    // so the name stays as the user typed it.
    if (auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        auto typed = std::make_shared<QString>();
        QObject::connect(name, &QLineEdit::textEdited, &dialog, [typed](const QString& text) { *typed = text; });
        const auto restore = [name, typed] {
            if (!typed->isEmpty() && name->text() != *typed)
                name->setText(*typed);
        };
        // After the dialog's own handling of the choice (connected first).
        if (auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
            QObject::connect(types, &QComboBox::activated, &dialog, restore);
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, restore);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    SaveChoice choice;
    choice.fileName = dialog.selectedFiles().first().toStdString();
    choice.filterIndex = static_cast<int>(qtFilter.split(";;").indexOf(dialog.selectedNameFilter())) + 1;
    return choice;
}

} // namespace velmora
