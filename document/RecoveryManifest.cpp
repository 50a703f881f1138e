#include "RecoveryManifest.h"

#include "Document.h"
#include "LoadWorkFile.h"
#include "Zoom.h"

#include "platform/File.h"
#include "platform/IniFile.h"
#include "platform/PathText.h"
#include "platform/UserDialogs.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <system_error>

namespace velmora {

namespace {

template <typename T>
T Number(const IniFile& ini, const char* key)
{
    const std::string text = ini.ReadString("Document", key, "0");
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : T{};
}

} // namespace

Manifest ManifestOf(const Document& doc)
{
    return {doc.SourceFile, doc.Modified, doc.SelStart, doc.SelFinish, doc.FramesPerColumn, doc.SourceBitrate};
}

std::string ManifestText(const Manifest& m)
{
    return "[Document]\nSource=" + m.SourceFile + "\nModified=" + (m.Modified ? "1" : "0") +
           "\nSelStart=" + std::to_string(m.SelStart) + "\nSelFinish=" + std::to_string(m.SelFinish) +
           "\nFramesPerColumn=" + std::to_string(m.FramesPerColumn) +
           "\nSourceBitrate=" + std::to_string(m.SourceBitrate) + "\n";
}

std::optional<Manifest> ReadManifest(const std::filesystem::path& folder)
{
    File file = File::Open((folder / ManifestName).string(), File::Mode::Read);
    if (!file)
        return std::nullopt;
    std::string text(static_cast<std::size_t>(std::min<std::uint64_t>(file.Size(), 1u << 16)), '\0');
    if (file.ReadAt(0, text.data(), text.size()) != text.size())
        return std::nullopt;
    const IniFile ini = IniFile::FromText((folder / ManifestName).string(), text);
    Manifest m;
    m.SourceFile = ini.ReadString("Document", "Source", "");
    m.Modified = ini.ReadString("Document", "Modified", "0") == "1";
    m.SelStart = Number<std::uint32_t>(ini, "SelStart");
    m.SelFinish = Number<std::uint32_t>(ini, "SelFinish");
    m.FramesPerColumn = Number<std::int32_t>(ini, "FramesPerColumn");
    m.SourceBitrate = Number<std::int32_t>(ini, "SourceBitrate");
    if (m.SourceFile.empty())
        return std::nullopt;
    return m;
}

bool HoldsUnsavedEdits(const std::filesystem::path& folder)
{
    const std::optional<Manifest> manifest = ReadManifest(folder);
    return manifest && manifest->Modified && FileExists((folder / WorkFileName).string());
}

bool ManifestKeeper::Keep(const Document& doc)
{
    const std::string path = folder_ + ManifestName;
    if (!doc.DocumentOpen || doc.SourceFile.find('\n') != std::string::npos) {
        if (!written_.empty())
            RemoveFileIfExists(path);
        written_.clear();
        return true;
    }
    const std::string text = ManifestText(ManifestOf(doc));
    if (text == written_)
        return true;
    const std::string temporary = path + ".new";
    File file = File::Open(temporary, File::Mode::Create);
    const bool written = file && file.WriteAt(0, text.data(), text.size()) && file.Close() &&
                         std::rename(temporary.c_str(), path.c_str()) == 0;
    if (!written) {
        RemoveFileIfExists(temporary);
        return false;
    }
    written_ = text;
    return true;
}

bool RecoverDocument(Document& doc, const std::filesystem::path& folder, const Manifest& manifest,
                     Progress& loading, UserDialogs& dialogs)
{
    doc.WorkFile = doc.TempFolder + WorkFileName;
    std::error_code error;
    std::filesystem::rename(folder / WorkFileName, doc.WorkFile, error);
    doc.FramesPerColumn = IsZoomStep(manifest.FramesPerColumn) ? manifest.FramesPerColumn : DefaultFramesPerColumn;
    if (error) {
        dialogs.ShowMessage("Cannot open the temporary file.");
        doc.WorkFile.clear();
        return false;
    }
    if (!LoadWorkFile(doc, loading, dialogs)) {
        // Back where it was, for another try.
        std::filesystem::rename(doc.WorkFile, folder / WorkFileName, error);
        doc.WorkFile.clear();
        return false;
    }
    doc.SourceFile = manifest.SourceFile;
    doc.SourceBitrate = manifest.SourceBitrate;
    const std::uint32_t lastColumn = doc.ColumnCount == 0 ? 0 : doc.ColumnCount - 1;
    doc.SelFinish = std::min(manifest.SelFinish, lastColumn);
    doc.SelStart = std::min(manifest.SelStart, doc.SelFinish);
    doc.DocumentOpen = true;
    doc.History.Begin(doc.TempFolder + JournalFileName);
    doc.History.State = doc.History.NewState();  // not the state of any saved file
    doc.Modified = true;
    std::filesystem::remove_all(folder, error);
    return true;
}

} // namespace velmora
