#pragma once

#include <functional>

class QDialog;
class QWidget;

namespace velmora {

// The abort result of a progress dialog: its Cancel button ends it so.
inline constexpr int AbortResult = 3;
// The result a body gives its dialog when it has finished.
inline constexpr int FinishedResult = 1;

// Moves dialog so that it stands centred on the window of its owner (its
// parent), as every dialog of the program appears, every time it shows.
void CentreOnOwner(QWidget& dialog);

// Shows dialog modally, fitted to its contents and centred on its owner;
// returns its result.
int ExecCentred(QDialog& dialog);

// Shows dialog modally, centred on its owner, and runs body on the main thread from inside the
// dialog's own modal loop, once the dialog is up.  body ends the dialog
// (QDialog::done) when it is finished.  Returns the dialog's result.
int RunModalWithBody(QDialog& dialog, std::function<void()> body);

} // namespace velmora
