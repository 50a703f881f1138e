#include "Windows.h"

#include <algorithm>

#include "Formabout.h"
#include "Formmain.h"
#include "QuitOnSignals.h"

#include <QApplication>
#include <QFont>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

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
    NormalizeForm = new TNormalizeForm(MainForm);
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
    NormalizeForm = nullptr;
}

QRect PlaceOnScreen(const QRect& frame, const QRect& available)
{
    QRect placed(QPoint(0, 0), frame.size().boundedTo(available.size()));
    placed.moveCenter(available.center());
    // (an odd size rounds the centre: keep inside all the same)
    placed.moveLeft(std::max(placed.left(), available.left()));
    placed.moveTop(std::max(placed.top(), available.top()));
    return placed;
}

int RunProgram(const QStringList& arguments)
{
    QuitOnSignals quitOnSignals;
    if (!CreateWindows(arguments)) {
        DestroyWindows();
        return 1;
    }
    // Centred on the desktop, and never beyond it: at a large scale the
    // window shrinks to the screen rather than put its title bar off it.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect frame = MainForm->frameGeometry();
        const QRect placed = PlaceOnScreen(frame, screen->availableGeometry());
        if (placed.size() != frame.size())
            MainForm->resize(MainForm->size() - (frame.size() - placed.size()));
        MainForm->move(placed.topLeft());
    }
    MainForm->show();
    // A window taller than the screen (its least height at a large scale)
    // may be pushed up by the window manager until its title bar is off
    // the screen: once the window is framed, the title bar and the menus
    // come first, and the bottom may run past the screen's edge.
    QTimer::singleShot(300, MainForm, [] {
        const QScreen* screen = MainForm->screen();
        if (screen == nullptr)
            return;
        const QRect available = screen->availableGeometry();
        const QRect frame = MainForm->frameGeometry();
        if (frame.top() < available.top() || frame.left() < available.left())
            MainForm->move(std::max(frame.left(), available.left()), std::max(frame.top(), available.top()));
    });
    const int status = QApplication::exec();
    DestroyWindows();
    return status;
}

} // namespace velmora
