// Help, Home Page, Update and About: handed to the desktop or shown in the
// About box; none of them touches the document.

#include "Formabout.h"
#include "Formmain.h"
#include "Windows.h"

#include "platform/widgets/QtUserDialogs.h"
#include "platform/widgets/RunModal.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

#include <algorithm>

namespace velmora {

void TMainForm::ButtonHelpClick()
{
    // Language files written for another system may separate folders with
    // backslashes.
    std::string relative = HelpFile;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    const QString guide = QString::fromStdString(Doc.ProgramFolder + relative);
    // Through xdg-open, whose answer says whether a browser took the guide:
    // without one the user is told where the guide lies, never left
    // waiting for nothing.
    auto* opener = new QProcess(this);
    opener->setProgram(QStringLiteral("xdg-open"));
    opener->setArguments({QUrl::fromLocalFile(guide).toString()});
    opener->setStandardOutputFile(QProcess::nullDevice());
    opener->setStandardErrorFile(QProcess::nullDevice());
    auto tell = [guide] {
        AppDialogs().ShowMessage("No browser could open the guide: " + guide.toStdString());
    };
    connect(opener, &QProcess::finished, this, [opener, tell](int code, QProcess::ExitStatus status) {
        opener->deleteLater();
        if (status != QProcess::NormalExit || code != 0)
            tell();
    });
    connect(opener, &QProcess::errorOccurred, this, [opener, tell](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            opener->deleteLater();
            tell();
        }
    });
    opener->start();
}

void TMainForm::ButtonUpdateClick()
{
    QDesktopServices::openUrl(QUrl(QString::fromStdString(HomePageAddress(Doc.ProgramFolder))));
}

void TMainForm::MHelpClick()
{
    ButtonHelpClick();
}

void TMainForm::MHomeClick()
{
    ButtonUpdateClick();
}

void TMainForm::MAboutClick()
{
    AboutForm->HomePageAddress = HomePageAddress(Doc.ProgramFolder);
    AboutForm->ShowTexts();
    ExecCentred(*AboutForm);
}

} // namespace velmora
