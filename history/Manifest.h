#pragma once

#include "EditHistory.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace velmora {

struct Document;

// What a private folder says about its document, so that the editor can
// take the document up again after the program was killed: the file the
// user opened, whether there are unsaved edits, the markers and the zoom,
// the working file's sample format, and the whole edit history with the
// step under way, if any.
struct Manifest {
    std::string SourceFile;
    bool Modified = false;
    std::uint32_t SelStartFrame = 0;    // frames: the markers
    std::uint32_t SelFinishFrame = 0;   // frames
    // A manifest of an older version holds its markers as columns, in
    // SelStartFrame and SelFinishFrame, which the loaded document turns
    // into frames (SetMarkers); its history's markers are turned already.
    bool MarkersAsColumns = false;
    std::int32_t FramesPerColumn = 0;   // the zoom
    std::int32_t PixelsPerColumn = 1;
    std::int32_t SourceBitrate = 0;     // kbit/s
    std::int32_t Channels = 0;
    std::int32_t BitsPerSample = 0;
    std::int32_t FrameSize = 0;         // bytes
    bool HasHistory = false;            // History describes the journal beside it
    EditHistory History;                // paths left empty: the folder gives them
};

// The manifest's name in a private folder.
inline constexpr const char* ManifestName = "manifest.ini";

Manifest ManifestOf(const Document& doc, const EditHistory& history);
std::string ManifestText(const Manifest& manifest);
// The manifest that text holds; nothing when it names no source file.
std::optional<Manifest> ParseManifest(const std::string& text);
// Nothing when folder has no readable manifest.
std::optional<Manifest> ReadManifest(const std::filesystem::path& folder);

// A path as a manifest value carries it, whatever bytes it holds: every
// byte but the printable ASCII ones that mean nothing to an INI line as
// %XX; and back.  A value without % reads as itself.
std::string EncodeManifestPath(const std::string& path);
std::string DecodeManifestPath(const std::string& value);

// True when folder holds a working file whose manifest says it has unsaved
// edits: a document worth offering back.
bool HoldsUnsavedEdits(const std::filesystem::path& folder);

} // namespace velmora
