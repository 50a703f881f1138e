#pragma once

#include "SaveBody.h"

#include <string>

namespace velmora {

class TSaveForm;
struct Document;

// The save worker: its body writes the working file to Destination on the
// save dialog's bar and ends the dialog, with the abort result when Cancel
// was pressed meanwhile.  When the encoder would not start, its own message
// has been shown and the dialog stays up until Cancel.
class TSaveThread {
public:
    TSaveThread(Document& doc, TSaveForm& dialog) : doc_(doc), dialog_(dialog) {}

    std::string Destination;

    // The body; runs on the main thread from the dialog's modal loop.
    void Execute();
    // How the body ended (once it has run).
    SaveEnd End() const { return end_; }

private:
    Document& doc_;
    TSaveForm& dialog_;
    SaveEnd end_ = SaveEnd::Failed;
};

} // namespace velmora
