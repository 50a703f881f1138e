#pragma once

#include <QObject>

class QSocketNotifier;

namespace velmora {

// Ends the program from its event loop when it is asked to stop (SIGINT,
// SIGTERM, SIGHUP): every event loop is left with the exit status 128 +
// the signal, so that the windows are destroyed as on a normal exit -
// playback stops and the private working folder goes.  Unsaved edits are
// lost, as with any program that is killed; the user's own file was never
// touched.  One object for the program's life.
class QuitOnSignals : public QObject {
    Q_OBJECT
public:
    QuitOnSignals();
    ~QuitOnSignals() override;

private:
    void Quit();

    QSocketNotifier* notifier_ = nullptr;
};

} // namespace velmora
