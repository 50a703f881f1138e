#pragma once

#include <QStringList>

#include <string>

// The program's seven windows, one instance each, created at start-up in
// this order and kept until the program ends.

namespace velmora {

class TMainForm;
class TOpenForm;
class TReloadForm;
class TSaveForm;
class TAboutForm;
class TProcessForm;
class TVolumeForm;

extern TMainForm* MainForm;
extern TOpenForm* OpenForm;
extern TReloadForm* ReloadForm;
extern TSaveForm* SaveForm;
extern TAboutForm* AboutForm;
extern TProcessForm* ProcessForm;
extern TVolumeForm* VolumeForm;

// The designs ask for Tahoma; where it is missing, a face of similar
// metrics stands in, so that captions fit their buttons.
void SubstituteDesignFonts();

// Creates the seven windows (the main window first, so its start-up runs
// before any dialog exists).  False when the main window's start-up failed.
// programFolder as for TMainForm.
bool CreateWindows(const QStringList& arguments, const std::string& programFolder = {});

// Deletes the seven windows, the dialogs first.
void DestroyWindows();

// The program: creates the windows, shows the main window and runs until
// it closes.  Returns the exit status (nonzero after a failed start-up).
int RunProgram(const QStringList& arguments);

} // namespace velmora
