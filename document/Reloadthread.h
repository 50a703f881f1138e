#pragma once

namespace velmora {

class TMainForm;
class TReloadForm;

// The reload worker of a zoom change: its body rescans the working file at
// the new zoom on the reload dialog's bar and ends the dialog.  When the
// working file cannot be opened its message is shown and the dialog ends
// all the same (it has no button of its own).
class TReloadThread {
public:
    TReloadThread(TMainForm& main, TReloadForm& dialog) : main_(main), dialog_(dialog) {}

    void Execute();

private:
    TMainForm& main_;
    TReloadForm& dialog_;
};

} // namespace velmora
