#include "Windows.h"

#include "Formabout.h"
#include "Formmain.h"
#include "QuitOnSignals.h"

#include <QApplication>
#include <QFont>
#include <QGuiApplication>
#include <QScreen>

// The designs' glyphs live in a resource file built into a static library;
// it has to be registered by name.
static void RegisterResources()
{
    Q_INIT_RESOURCE(velmora);
}

namespace velmora {

TMainForm* MainForm = nullptr;
TAboutForm* AboutForm = nullptr;

void SubstituteDesignFonts()
{
    QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
}

bool CreateWindows(const QStringList& arguments, const std::string& programFolder)
{
    RegisterResources();
    MainForm = new TMainForm(arguments, programFolder);
    OpenForm = new TOpenForm(MainForm);
    ReloadForm = new TReloadForm(MainForm);
    SaveForm = new TSaveForm(MainForm);
    AboutForm = new TAboutForm(MainForm);
    ProcessForm = new TProcessForm(MainForm);
    VolumeForm = new TVolumeForm(MainForm);
    return MainForm->StartedUp();
}

void DestroyWindows()
{
    // The dialogs are the main window's children and go with it.
    delete MainForm;
    MainForm = nullptr;
    OpenForm = nullptr;
    ReloadForm = nullptr;
    SaveForm = nullptr;
    AboutForm = nullptr;
    ProcessForm = nullptr;
    VolumeForm = nullptr;
}

int RunProgram(const QStringList& arguments)
{
    QuitOnSignals quitOnSignals;
    if (!CreateWindows(arguments)) {
        DestroyWindows();
        return 1;
    }
    // Centred on the desktop.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = MainForm->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        MainForm->move(frame.topLeft());
    }
    MainForm->show();
    const int status = QApplication::exec();
    DestroyWindows();
    return status;
}

} // namespace velmora
