#pragma once

#include "Document.h"

#include <cstdint>

namespace velmora {

class TReloadForm;

// The reload worker of a zoom change: its body changes the document's zoom
// to zoom, rescanning the working file on the reload dialog's
// bar, and ends the dialog.  When the working file cannot be opened its
// message is shown and the dialog ends all the same (it has no button of
// its own).
class TReloadThread {
public:
    TReloadThread(Document& doc, ZoomLevel zoom, TReloadForm& dialog) : doc_(doc), zoom_(zoom), dialog_(dialog)
    {
    }

    void Execute();

private:
    Document& doc_;
    ZoomLevel zoom_;  // the new zoom
    TReloadForm& dialog_;
};

} // namespace velmora
