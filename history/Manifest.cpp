#include "Manifest.h"

#include "Keeping.h"

#include "document/Document.h"

#include "platform/File.h"
#include "platform/IniFile.h"
#include "platform/PathText.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <system_error>

namespace velmora {

namespace {

constexpr const char* KeptNames[] = {"Nothing", "Pieces", "Remainders", "WholeFile"};

template <typename Enum, std::size_t N>
Enum FromName(const std::string& name, const char* const (&names)[N])
{
    for (std::size_t i = 0; i < N; ++i) {
        if (name == names[i])
            return static_cast<Enum>(i);
    }
    return static_cast<Enum>(0);
}

// The manifest's values hold no blanks or quotes that the INI reader
// would trim (paths are encoded).
template <typename T>
std::string NumberText(T value)
{
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc() ? std::string(buffer, end) : "0";
}

template <typename T>
T NumberIn(const IniFile& ini, const std::string& section, const char* key)
{
    const std::string text = ini.ReadString(section, key, "");
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : T{};
}

bool HasKey(const IniFile& ini, const std::string& section, const char* key)
{
    // No value of ours is ever this.
    return ini.ReadString(section, key, "\n") != "\n";
}

void PutRequest(IniFile& out, const std::string& section, const EditRequest& edit)
{
    out.SetString(section, "Command", EditCommandNames[static_cast<int>(edit.Command)]);
    out.SetString(section, "Gain", NumberText(edit.Gain));
    out.SetString(section, "Mute", edit.Mute ? "1" : "0");
    out.SetString(section, "Shape", FadeShapeNames[static_cast<int>(edit.Shape)]);
    out.SetString(section, "CleanJoins", edit.CleanJoins ? "1" : "0");
}

EditRequest RequestOf(const IniFile& in, const std::string& section)
{
    // A manifest of an older version has no shape (its fades are linear)
    // and no clean joins.
    return {FromName<EditCommand>(in.ReadString(section, "Command", ""), EditCommandNames),
            NumberIn<float>(in, section, "Gain"), NumberIn<int>(in, section, "Mute") != 0,
            FromName<FadeShape>(in.ReadString(section, "Shape", ""), FadeShapeNames),
            NumberIn<int>(in, section, "CleanJoins") != 0};
}

void PutShape(IniFile& out, const std::string& section, const char* key, const DocumentShape& shape)
{
    const std::uint32_t values[] = {shape.DataOffset, shape.DataSize, shape.DataEnd,
                                    shape.DurationSeconds, shape.TotalFrames,
                                    static_cast<std::uint32_t>(shape.FramesPerColumn), shape.ColumnCount,
                                    shape.SelStartFrame, shape.SelFinishFrame};
    std::string text;
    for (std::uint32_t value : values)
        text += (text.empty() ? "" : ",") + std::to_string(value);
    out.SetString(section, key, text);
}

// The markers of a shape an older version wrote as columns, as frames.
void MarkerColumnsToFrames(DocumentShape& shape)
{
    auto frameOf = [&shape](std::uint32_t column, bool finish) {
        if (finish && column + 1 >= shape.ColumnCount)
            return shape.TotalFrames;
        const std::uint64_t frame = static_cast<std::uint64_t>(column) *
                                    static_cast<std::uint64_t>(std::max(shape.FramesPerColumn, 0));
        return static_cast<std::uint32_t>(std::min<std::uint64_t>(frame, shape.TotalFrames));
    };
    shape.SelFinishFrame = frameOf(shape.SelFinishFrame, true);
    shape.SelStartFrame = std::min(frameOf(shape.SelStartFrame, false), shape.SelFinishFrame);
}

DocumentShape ShapeOf(const std::string& text)
{
    std::uint32_t values[9] = {};
    std::size_t at = 0;
    for (std::uint32_t& value : values) {
        const auto [end, error] = std::from_chars(text.data() + at, text.data() + text.size(), value);
        if (error != std::errc())
            break;
        at = std::min(static_cast<std::size_t>(end - text.data()) + 1, text.size());  // past ','

    }
    return {values[0], values[1], values[2], values[3], values[4], static_cast<std::int32_t>(values[5]),
            values[6], values[7], values[8]};
}

void PutStep(IniFile& out, const std::string& section, const UndoStep& step)
{
    PutRequest(out, section, step.Edit);
    out.SetString(section, "Kept", KeptNames[static_cast<int>(step.Kept)]);
    PutShape(out, section, "Before", step.Before);
    PutShape(out, section, "After", step.After);
    out.SetString(section, "LengthBefore", NumberText(step.LengthBefore));
    KeepingOf(step.Kept).Write(out, section, step);
    out.SetString(section, "PeaksAt", NumberText(step.PeaksAt));
    out.SetString(section, "JournalStart", NumberText(step.JournalStart));
    out.SetString(section, "StateBefore", NumberText(step.StateBefore));
    out.SetString(section, "StateAfter", NumberText(step.StateAfter));
}

UndoStep StepOf(const IniFile& in, const std::string& section)
{
    UndoStep step;
    step.Edit = RequestOf(in, section);
    step.Kept = FromName<KeptAs>(in.ReadString(section, "Kept", ""), KeptNames);
    step.Before = ShapeOf(in.ReadString(section, "Before", ""));
    step.After = ShapeOf(in.ReadString(section, "After", ""));
    step.LengthBefore = NumberIn<std::uint64_t>(in, section, "LengthBefore");
    KeepingOf(step.Kept).Read(in, section, step);
    step.PeaksAt = NumberIn<std::uint64_t>(in, section, "PeaksAt");
    step.JournalStart = NumberIn<std::uint64_t>(in, section, "JournalStart");
    step.StateBefore = NumberIn<std::uint64_t>(in, section, "StateBefore");
    step.StateAfter = NumberIn<std::uint64_t>(in, section, "StateAfter");
    return step;
}

constexpr const char* PendingNames[] = {"None", "Edit", "Undo", "UnkeptEdit"};

bool IsPlainManifestByte(unsigned char c)
{
    // Printable ASCII without the blank, the quotes an INI reader strips,
    // the escape itself, and the characters that begin sections and
    // comments.
    return c > 0x20 && c < 0x7f && c != '%' && c != '"' && c != '\'' && c != ';' && c != '[' && c != ']' &&
           c != '=' && c != '#';
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

std::string EncodeManifestPath(const std::string& path)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(path.size());
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsPlainManifestByte(c)) {
            encoded += ch;
        } else {
            encoded += '%';
            encoded += digits[c >> 4];
            encoded += digits[c & 15];
        }
    }
    return encoded;
}

std::string DecodeManifestPath(const std::string& value)
{
    std::string decoded;
    decoded.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const int high = value[i] == '%' && i + 2 < value.size() ? HexValue(value[i + 1]) : -1;
        const int low = high >= 0 ? HexValue(value[i + 2]) : -1;
        if (low >= 0) {
            decoded += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            decoded += value[i];
        }
    }
    return decoded;
}

Manifest ManifestOf(const Document& doc, const EditHistory& history)
{
    Manifest m;
    m.SourceFile = doc.SourceFile;
    m.Modified = doc.Modified;
    m.SelStartFrame = doc.SelStartFrame;
    m.SelFinishFrame = doc.SelFinishFrame;
    m.FramesPerColumn = doc.FramesPerColumn;
    m.PixelsPerColumn = doc.PixelsPerColumn;
    m.SourceBitrate = doc.SourceBitrate;
    m.Channels = doc.Channels;
    m.BitsPerSample = doc.BitsPerSample;
    m.FrameSize = doc.FrameSize;
    m.HasHistory = history.Keeping();
    m.History = history;
    m.History.JournalPath.clear();
    m.History.ManifestWritten.clear();
    m.History.Discarded.clear();
    return m;
}

std::string ManifestText(const Manifest& m)
{
    IniFile out = IniFile::InMemory();
    const std::string document = "Document";
    out.SetString(document, "Source", EncodeManifestPath(m.SourceFile));
    out.SetString(document, "Modified", m.Modified ? "1" : "0");
    out.SetString(document, "SelStartFrame", NumberText(m.SelStartFrame));
    out.SetString(document, "SelFinishFrame", NumberText(m.SelFinishFrame));
    out.SetString(document, "FramesPerColumn", NumberText(m.FramesPerColumn));
    out.SetString(document, "PixelsPerColumn", NumberText(m.PixelsPerColumn));
    out.SetString(document, "SourceBitrate", NumberText(m.SourceBitrate));
    out.SetString(document, "Channels", NumberText(m.Channels));
    out.SetString(document, "BitsPerSample", NumberText(m.BitsPerSample));
    out.SetString(document, "FrameSize", NumberText(m.FrameSize));
    if (!m.HasHistory)
        return out.Text();

    const EditHistory& h = m.History;
    const std::string history = "History";
    out.SetString(history, "UndoSteps", NumberText(h.Undo.size()));
    out.SetString(history, "RedoSteps", NumberText(h.Redo.size()));
    out.SetString(history, "JournalUsed", NumberText(h.JournalUsed));
    out.SetString(history, "State", NumberText(h.State));
    out.SetString(history, "SavedState", NumberText(h.SavedState));
    out.SetString(history, "NextState", NumberText(h.NextState));
    out.SetString(history, "NextWholeFile", NumberText(h.NextWholeFile));
    out.SetString(history, "NextRewrite", NumberText(h.NextRewrite));
    out.SetString(history, "Pending", PendingNames[static_cast<int>(h.PendingWhat)]);
    out.SetString(history, "PendingSelStart", NumberText(h.PendingSelStart));
    out.SetString(history, "PendingSelFinish", NumberText(h.PendingSelFinish));
    out.SetString(history, "PendingRewrite", NumberText(h.PendingRewrite));
    for (std::size_t i = 0; i < h.Undo.size(); ++i)
        PutStep(out, "Undo" + std::to_string(i + 1), h.Undo[i]);
    for (std::size_t i = 0; i < h.Redo.size(); ++i) {
        const std::string section = "Redo" + std::to_string(i + 1);
        PutRequest(out, section, h.Redo[i].Edit);
        out.SetString(section, "SelStartFrame", NumberText(h.Redo[i].SelStartFrame));
        out.SetString(section, "SelFinishFrame", NumberText(h.Redo[i].SelFinishFrame));
        out.SetString(section, "StateAfter", NumberText(h.Redo[i].StateAfter));
    }
    if (h.PendingWhat == PendingAction::Edit)
        PutStep(out, "Pending", h.Pending);
    return out.Text();
}

std::optional<Manifest> ParseManifest(const std::string& text)
{
    const IniFile in = IniFile::FromText(std::string(), text);
    const std::string document = "Document";
    Manifest m;
    m.SourceFile = DecodeManifestPath(in.ReadString(document, "Source", ""));
    if (m.SourceFile.empty())
        return std::nullopt;
    m.Modified = NumberIn<int>(in, document, "Modified") == 1;
    // Markers in frames; an older version's in columns.
    m.MarkersAsColumns = !HasKey(in, document, "SelFinishFrame");
    m.SelStartFrame = NumberIn<std::uint32_t>(in, document, m.MarkersAsColumns ? "SelStart" : "SelStartFrame");
    m.SelFinishFrame = NumberIn<std::uint32_t>(in, document, m.MarkersAsColumns ? "SelFinish" : "SelFinishFrame");
    m.FramesPerColumn = NumberIn<std::int32_t>(in, document, "FramesPerColumn");
    m.PixelsPerColumn =
        HasKey(in, document, "PixelsPerColumn") ? NumberIn<std::int32_t>(in, document, "PixelsPerColumn") : 1;
    m.SourceBitrate = NumberIn<std::int32_t>(in, document, "SourceBitrate");
    m.Channels = NumberIn<std::int32_t>(in, document, "Channels");
    m.BitsPerSample = NumberIn<std::int32_t>(in, document, "BitsPerSample");
    m.FrameSize = NumberIn<std::int32_t>(in, document, "FrameSize");

    const std::string history = "History";
    m.HasHistory = HasKey(in, history, "UndoSteps");
    if (!m.HasHistory)
        return m;
    EditHistory& h = m.History;
    const auto undoSteps = NumberIn<std::size_t>(in, history, "UndoSteps");
    const auto redoSteps = NumberIn<std::size_t>(in, history, "RedoSteps");
    // A count the sections do not bear out is no history of ours (and
    // never a reason to make millions of steps): the working file is then
    // taken as it stands.
    auto noHistory = [&m] {
        m.HasHistory = false;
        m.History = EditHistory{};
        return m;
    };
    for (std::size_t i = 0; i < undoSteps; ++i) {
        const std::string section = "Undo" + std::to_string(i + 1);
        if (!in.HasSection(section))
            return noHistory();
        h.Undo.push_back(StepOf(in, section));
    }
    // An older version's redo steps name columns of a zoom no longer
    // known: they are let go.
    for (std::size_t i = 0; i < redoSteps && !m.MarkersAsColumns; ++i) {
        const std::string section = "Redo" + std::to_string(i + 1);
        if (!in.HasSection(section))
            return noHistory();
        h.Redo.push_back({RequestOf(in, section), NumberIn<std::uint32_t>(in, section, "SelStartFrame"),
                          NumberIn<std::uint32_t>(in, section, "SelFinishFrame"),
                          NumberIn<std::uint64_t>(in, section, "StateAfter")});
    }
    h.JournalUsed = NumberIn<std::uint64_t>(in, history, "JournalUsed");
    h.State = NumberIn<std::uint64_t>(in, history, "State");
    h.SavedState = NumberIn<std::uint64_t>(in, history, "SavedState");
    h.NextState = NumberIn<std::uint64_t>(in, history, "NextState");
    h.NextWholeFile = NumberIn<std::uint64_t>(in, history, "NextWholeFile");
    h.NextRewrite = NumberIn<std::uint64_t>(in, history, "NextRewrite");
    h.PendingWhat = FromName<PendingAction>(in.ReadString(history, "Pending", ""), PendingNames);
    h.PendingSelStart = NumberIn<std::uint32_t>(in, history, "PendingSelStart");
    h.PendingSelFinish = NumberIn<std::uint32_t>(in, history, "PendingSelFinish");
    h.PendingRewrite = NumberIn<std::uint64_t>(in, history, "PendingRewrite");
    if (h.PendingWhat == PendingAction::Edit)
        h.Pending = StepOf(in, "Pending");
    if (m.MarkersAsColumns) {
        for (UndoStep& step : h.Undo) {
            MarkerColumnsToFrames(step.Before);
            MarkerColumnsToFrames(step.After);
        }
        MarkerColumnsToFrames(h.Pending.Before);
        MarkerColumnsToFrames(h.Pending.After);
        h.PendingSelStart = h.Pending.Before.SelStartFrame;
        h.PendingSelFinish = h.Pending.Before.SelFinishFrame;
    }
    return m;
}

std::optional<Manifest> ReadManifest(const std::filesystem::path& folder)
{
    File file = File::Open((folder / ManifestName).string(), File::Mode::Read);
    if (!file)
        return std::nullopt;
    // A manifest grows with the history; far beyond any real one is not one.
    constexpr std::uint64_t MostBytes = 64u << 20;
    std::string text(static_cast<std::size_t>(std::min(file.Size(), MostBytes)), '\0');
    if (file.ReadAt(0, text.data(), text.size()) != text.size())
        return std::nullopt;
    return ParseManifest(text);
}

bool HoldsUnsavedEdits(const std::filesystem::path& folder)
{
    const std::optional<Manifest> manifest = ReadManifest(folder);
    if (!manifest || !manifest->Modified)
        return false;
    // A cut into a new file, killed where the old working file had only
    // its second name, left the document under that name.
    const EditHistory& history = manifest->History;
    const bool setAside = history.PendingWhat == PendingAction::Edit && !history.Pending.WholeFileName.empty() &&
                          FileExists((folder / history.Pending.WholeFileName).string());
    return FileExists((folder / WorkFileName).string()) || setAside;
}

} // namespace velmora
