#pragma once

#include <cstdint>

namespace velmora {

class TReloadForm;
struct Document;

// The reload worker of a zoom change: its body changes the document's zoom
// to framesPerColumn, rescanning the working file on the reload dialog's
// bar, and ends the dialog.  When the working file cannot be opened its
// message is shown and the dialog ends all the same (it has no button of
// its own).
class TReloadThread {
public:
    TReloadThread(Document& doc, std::int32_t framesPerColumn, TReloadForm& dialog)
        : doc_(doc), framesPerColumn_(framesPerColumn), dialog_(dialog)
    {
    }

    void Execute();

private:
    Document& doc_;
    std::int32_t framesPerColumn_;  // the new zoom, frames per column
    TReloadForm& dialog_;
};

} // namespace velmora
