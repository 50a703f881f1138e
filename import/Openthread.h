#pragma once

namespace velmora {

class TOpenForm;
struct Document;

// The open worker: its body turns the document's SourceFile into the
// working file and loads it, reporting on the open dialog's two bars, and
// ends the dialog: with the finished result once the document is loaded,
// with the abort result when the user cancelled the decode.  After a
// failure (its message shown) the dialog stays up until Cancel.
class TOpenThread {
public:
    TOpenThread(Document& doc, TOpenForm& dialog) : doc_(doc), dialog_(dialog) {}

    // The body; runs on the main thread from the dialog's modal loop.
    void Execute();

private:
    Document& doc_;
    TOpenForm& dialog_;
};

} // namespace velmora
