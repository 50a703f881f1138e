#pragma once

#include "platform/FileFormats.h"

#include <string>

namespace velmora {

class EditHistory;
class EditorWindow;
struct Document;

// The Open and Close commands.  The main window's handlers call them.
class OpenCloseCommands {
public:
    OpenCloseCommands(Document& doc, EditHistory& history, EditorWindow& window)
        : doc_(doc), history_(history), window_(window)
    {
    }

    // The open dialog's file types, "Description|patterns|..."; the
    // language file may replace them.
    std::string OpenDialogFilter = DefaultFileFilter(false);

    // Open: the open dialog, then OpenSourceFile with the chosen file.
    void Open();
    // Opens the document's SourceFile as Open does after its file dialog
    // (also the file named on the command line): the open dialog with its
    // worker, then the stream, the view and the command state.
    void OpenSourceFile();
    // A file dropped on the window: refused as Open refuses it unless it
    // is a WAV, MP3 or WMA file; otherwise the open document is closed
    // first (with Close's save prompt, whose Cancel keeps it and drops
    // nothing) and the file opens as one named on the command line.
    void OpenDropped(const std::string& path);
    // At start-up: offers back, one by one, the documents with unsaved
    // edits that killed editors left ("Recover the unsaved edits of
    // song.mp3?"): Yes takes the document up (and ends the offers), No
    // removes its folder, Cancel leaves it for the next start.  True when a
    // document was taken up.
    bool OfferRecovery();
    // Close: stops playback, asks to save unsaved edits (Yes saves first,
    // Cancel keeps the document), then releases the stream, deletes the
    // working file and returns to no document.
    void Close();

private:
    Document& doc_;
    EditHistory& history_;
    EditorWindow& window_;
};

} // namespace velmora
