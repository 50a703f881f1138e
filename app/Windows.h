#pragma once

#include "document/Formreload.h"
#include "edit/Formprocess.h"
#include "edit/Formnormalize.h"
#include "edit/Formvolume.h"
#include "export/Formsave.h"
#include "import/Formopen.h"

#include <QRect>
#include <QStringList>

#include <string>

// The program's seven windows, one instance each, created at start-up in
// this order and kept until the program ends: MainForm, OpenForm,
// ReloadForm, SaveForm, AboutForm, ProcessForm, VolumeForm.  Each dialog's
// global is declared beside its class.

namespace velmora {

class TMainForm;
class TAboutForm;

extern TMainForm* MainForm;
extern TAboutForm* AboutForm;

// The designs ask for Tahoma; where it is missing, a face of similar
// metrics stands in, so that captions fit their buttons.
void SubstituteDesignFonts();

// Creates the seven windows (the main window first, so its start-up runs
// before any dialog exists).  False when the main window's start-up failed.
// programFolder as for TMainForm.
bool CreateWindows(const QStringList& arguments, const std::string& programFolder = {});

// Deletes the seven windows, the dialogs first.
void DestroyWindows();

// Where the main window's frame goes on a screen's available area: centred,
// and as large as the area at most, so that its title bar is never off it.
QRect PlaceOnScreen(const QRect& frame, const QRect& available);

// The program: creates the windows, shows the main window and runs until
// it closes.  Returns the exit status (nonzero after a failed start-up).
int RunProgram(const QStringList& arguments);

} // namespace velmora
