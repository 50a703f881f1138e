#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace velmora {

class Progress;
class UserDialogs;
struct Document;

// What a private folder says about its document, so that the editor can
// take the document up again after the program was killed: the file the
// user opened, whether there are unsaved edits, the markers and the zoom.
struct Manifest {
    std::string SourceFile;
    bool Modified = false;
    std::uint32_t SelStart = 0;         // column
    std::uint32_t SelFinish = 0;        // column
    std::int32_t FramesPerColumn = 0;   // the zoom
    std::int32_t SourceBitrate = 0;     // kbit/s
};

// The manifest's name in a private folder.
inline constexpr const char* ManifestName = "manifest.ini";

Manifest ManifestOf(const Document& doc);
std::string ManifestText(const Manifest& manifest);
// Nothing when folder has no readable manifest.
std::optional<Manifest> ReadManifest(const std::filesystem::path& folder);

// True when folder holds a working file whose manifest says it has unsaved
// edits: a document worth offering back.
bool HoldsUnsavedEdits(const std::filesystem::path& folder);

// Keeps the manifest of one private folder up to date: written whole
// under another name and renamed over the old one, so that a reader never
// sees half of it, and only when it changes.
class ManifestKeeper {
public:
    explicit ManifestKeeper(std::string folder) : folder_(std::move(folder)) {}

    // The manifest of doc; none while no document is open.  False when it
    // could not be written.
    bool Keep(const Document& doc);

private:
    std::string folder_;  // ends in the separator
    std::string written_;
};

// Takes up the document that folder's manifest describes: its working file
// moves to doc.WorkFile (in doc.TempFolder) and is loaded at the manifest's
// zoom (loading), with the manifest's file name, markers and bit rate, and
// modified; then folder goes.  False after a message when the working file
// cannot be moved or loaded (the folder is kept).
bool RecoverDocument(Document& doc, const std::filesystem::path& folder, const Manifest& manifest,
                     Progress& loading, UserDialogs& dialogs);

} // namespace velmora
