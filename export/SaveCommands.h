#pragma once

#include "SaveSequence.h"

#include "platform/FileFormats.h"

#include <string>

namespace velmora {

class EditHistory;
class EditorWindow;
struct Document;

// The Save and Save As commands.  The main window's handlers call them.
class SaveCommands {
public:
    SaveCommands(Document& doc, EditHistory& history, EditorWindow& window)
        : doc_(doc), history_(history), window_(window)
    {
    }

    // The save dialog's file types; the language file may replace them.
    // The entry chosen (counted from 1) completes a name without extension.
    std::string SaveDialogFilter = DefaultFileFilter();

    // Save: writes over the opened file, without asking.
    void Save();
    // Save As: the save dialog (again after No in the overwrite prompt),
    // the name completed from the filter entry, then the save; the name
    // becomes the document's file once it holds the document.
    void SaveAs();

private:
    // Runs the save worker in the save dialog, captioned caption, with the
    // stream released, and lets the document keep what the save did.
    void SaveTo(const std::string& destination, const char* caption);

    Document& doc_;
    EditHistory& history_;
    EditorWindow& window_;
    std::string lastName_;  // the save dialog's file name for its next use
};

} // namespace velmora
