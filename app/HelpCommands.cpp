// Help, Home Page, Update and About: handed to the desktop or shown in the
// About box; none of them touches the document.

#include "Formabout.h"
#include "Formmain.h"
#include "Windows.h"

#include "platform/widgets/RunModal.h"

#include <QDesktopServices>
#include <QUrl>

#include <algorithm>

namespace velmora {

void TMainForm::ButtonHelpClick()
{
    // Language files written for another system may separate folders with
    // backslashes.
    std::string relative = HelpFile;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(Doc.ProgramFolder + relative)));
}

void TMainForm::ButtonUpdateClick()
{
    QDesktopServices::openUrl(QUrl(QString::fromUtf8(HomePageAddressText)));
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
    AboutForm->HomePageAddress = HomePageAddressText;
    ExecCentred(*AboutForm);
}

} // namespace velmora
