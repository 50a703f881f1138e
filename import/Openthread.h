#pragma once

namespace velmora {

class TMainForm;
class TOpenForm;

// The open worker: its body turns the main window's SourceFile into the
// working file and loads it, reporting on the open dialog's two bars, and
// ends the dialog: with the finished result once the document is loaded,
// with the abort result when the user cancelled the decode.  After a
// failure (its message shown) the dialog stays up until Cancel.
class TOpenThread {
public:
    TOpenThread(TMainForm& main, TOpenForm& dialog) : main_(main), dialog_(dialog) {}

    // The body; runs on the main thread from the dialog's modal loop.
    void Execute();

private:
    TMainForm& main_;
    TOpenForm& dialog_;
};

} // namespace velmora
