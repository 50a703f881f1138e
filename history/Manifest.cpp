#include "Manifest.h"

#include "TagsRecord.h"

#include "document/Document.h"

#include "platform/File.h"
#include "platform/PathText.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <map>
#include <string_view>
#include <system_error>

namespace velmora {

namespace {

// The manifest's lines: "[Section]" and "Key=Value", nothing else; values
// hold no blanks or quotes that a reader could trim (paths are encoded).
class ManifestWriter {
public:
    void Section(const std::string& name) { text_ += "[" + name + "]\n"; }
    void Put(const char* key, const std::string& value) { text_ += std::string(key) + "=" + value + "\n"; }
    template <typename T>
    void Number(const char* key, T value)
    {
        char buffer[32];
        const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
        Put(key, error == std::errc() ? std::string(buffer, end) : "0");
    }
    std::string Text() && { return std::move(text_); }

private:
    std::string text_;
};

using Sections = std::map<std::string, std::map<std::string, std::string>>;

Sections ParseSections(const std::string& text)
{
    Sections sections;
    std::map<std::string, std::string>* current = nullptr;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line(text.data() + start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        start = end + 1;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            current = &sections[std::string(line.substr(1, line.size() - 2))];
            continue;
        }
        const std::size_t equals = line.find('=');
        if (current != nullptr && equals != std::string_view::npos)
            (*current)[Trim(line.substr(0, equals))] = Trim(line.substr(equals + 1));
    }
    return sections;
}

class SectionReader {
public:
    explicit SectionReader(const std::map<std::string, std::string>* keys) : keys_(keys) {}

    bool Has(const char* key) const { return keys_ != nullptr && keys_->count(key) != 0; }
    std::string Text(const char* key) const
    {
        if (keys_ == nullptr)
            return {};
        const auto it = keys_->find(key);
        return it == keys_->end() ? std::string() : it->second;
    }
    template <typename T>
    T Number(const char* key) const
    {
        const std::string text = Text(key);
        T value{};
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        return error == std::errc() && end == text.data() + text.size() ? value : T{};
    }

private:
    const std::map<std::string, std::string>* keys_;
};

SectionReader SectionOf(const Sections& sections, const std::string& name)
{
    const auto it = sections.find(name);
    return SectionReader(it == sections.end() ? nullptr : &it->second);
}

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

void PutRequest(ManifestWriter& out, const EditRequest& edit)
{
    out.Put("Command", EditCommandNames[static_cast<int>(edit.Command)]);
    out.Number("Gain", edit.Gain);
    out.Number("Mute", edit.Mute ? 1 : 0);
    out.Put("Shape", FadeShapeNames[static_cast<int>(edit.Shape)]);
    out.Number("CleanJoins", edit.CleanJoins ? 1 : 0);
}

EditRequest RequestOf(const SectionReader& in)
{
    // A manifest of an older version has no shape (its fades are linear)
    // and no clean joins.
    return {FromName<EditCommand>(in.Text("Command"), EditCommandNames), in.Number<float>("Gain"),
            in.Number<int>("Mute") != 0, FromName<FadeShape>(in.Text("Shape"), FadeShapeNames),
            in.Number<int>("CleanJoins") != 0};
}

void PutShape(ManifestWriter& out, const std::string& prefix, const DocumentShape& shape)
{
    const std::uint32_t values[] = {shape.DataOffset, shape.DataSize, shape.DataEnd,
                                    shape.DurationSeconds, shape.TotalFrames,
                                    static_cast<std::uint32_t>(shape.FramesPerColumn), shape.ColumnCount,
                                    shape.SelStartFrame, shape.SelFinishFrame};
    std::string text;
    for (std::uint32_t value : values)
        text += (text.empty() ? "" : ",") + std::to_string(value);
    out.Put(prefix.c_str(), text);
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
        at = static_cast<std::size_t>(end - text.data()) + 1;
    }
    return {values[0], values[1], values[2], values[3], values[4], static_cast<std::int32_t>(values[5]),
            values[6], values[7], values[8]};
}

std::string PiecesText(const std::vector<JournalPiece>& pieces)
{
    std::string text;
    for (const JournalPiece& piece : pieces) {
        text += (text.empty() ? "" : ";") + std::to_string(piece.FileOffset) + "," + std::to_string(piece.Length) +
                "," + std::to_string(piece.JournalOffset);
    }
    return text;
}

std::vector<JournalPiece> PiecesOf(const std::string& text)
{
    std::vector<JournalPiece> pieces;
    const char* at = text.data();
    const char* end = text.data() + text.size();
    while (at < end) {
        JournalPiece piece;
        std::uint64_t* fields[] = {&piece.FileOffset, &piece.Length, &piece.JournalOffset};
        for (std::uint64_t* field : fields) {
            const auto [next, error] = std::from_chars(at, end, *field);
            if (error != std::errc())
                return pieces;
            at = next + 1;  // past ',' or ';'
        }
        pieces.push_back(piece);
    }
    return pieces;
}

void PutStep(ManifestWriter& out, const UndoStep& step)
{
    PutRequest(out, step.Edit);
    out.Put("Kept", KeptNames[static_cast<int>(step.Kept)]);
    PutShape(out, "Before", step.Before);
    PutShape(out, "After", step.After);
    out.Number("LengthBefore", step.LengthBefore);
    out.Number("MoveFrom", step.MoveFrom);
    out.Number("MoveTo", step.MoveTo);
    out.Number("MoveLength", step.MoveLength);
    out.Put("Pieces", PiecesText(step.Pieces));
    const KeptRemainders& r = step.Remainders;
    out.Put("Remainders", std::to_string(r.FileOffset) + "," + std::to_string(r.Length) + "," +
                              std::to_string(r.JournalOffset) + "," + std::to_string(r.JournalLength));
    out.Put("WholeFile", EncodeManifestPath(step.WholeFileName));
    out.Number("PeaksAt", step.PeaksAt);
    out.Number("JournalStart", step.JournalStart);
    out.Number("StateBefore", step.StateBefore);
    out.Number("StateAfter", step.StateAfter);
}

UndoStep StepOf(const SectionReader& in)
{
    UndoStep step;
    step.Edit = RequestOf(in);
    step.Kept = FromName<KeptAs>(in.Text("Kept"), KeptNames);
    step.Before = ShapeOf(in.Text("Before"));
    step.After = ShapeOf(in.Text("After"));
    step.LengthBefore = in.Number<std::uint64_t>("LengthBefore");
    step.MoveFrom = in.Number<std::uint64_t>("MoveFrom");
    step.MoveTo = in.Number<std::uint64_t>("MoveTo");
    step.MoveLength = in.Number<std::uint64_t>("MoveLength");
    step.Pieces = PiecesOf(in.Text("Pieces"));
    std::uint64_t remainders[4] = {};
    const std::string text = in.Text("Remainders");
    const char* at = text.data();
    for (std::uint64_t& value : remainders) {
        const auto [next, error] = std::from_chars(at, text.data() + text.size(), value);
        if (error != std::errc())
            break;
        at = next + 1;  // past ','
    }
    step.Remainders = {remainders[0], remainders[1], remainders[2], remainders[3]};
    step.WholeFileName = DecodeManifestPath(in.Text("WholeFile"));
    step.PeaksAt = in.Number<std::uint64_t>("PeaksAt");
    step.JournalStart = in.Number<std::uint64_t>("JournalStart");
    step.StateBefore = in.Number<std::uint64_t>("StateBefore");
    step.StateAfter = in.Number<std::uint64_t>("StateAfter");
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
    ManifestWriter out;
    out.Section("Document");
    out.Put("Source", EncodeManifestPath(m.SourceFile));
    out.Number("Modified", m.Modified ? 1 : 0);
    out.Number("SelStartFrame", m.SelStartFrame);
    out.Number("SelFinishFrame", m.SelFinishFrame);
    out.Number("FramesPerColumn", m.FramesPerColumn);
    out.Number("PixelsPerColumn", m.PixelsPerColumn);
    out.Number("SourceBitrate", m.SourceBitrate);
    out.Number("Channels", m.Channels);
    out.Number("BitsPerSample", m.BitsPerSample);
    out.Number("FrameSize", m.FrameSize);
    if (!m.HasHistory)
        return std::move(out).Text();

    const EditHistory& h = m.History;
    out.Section("History");
    out.Number("UndoSteps", h.Undo.size());
    out.Number("RedoSteps", h.Redo.size());
    out.Number("JournalUsed", h.JournalUsed);
    out.Number("State", h.State);
    out.Number("SavedState", h.SavedState);
    out.Number("NextState", h.NextState);
    out.Number("NextWholeFile", h.NextWholeFile);
    out.Number("NextRewrite", h.NextRewrite);
    out.Put("Pending", PendingNames[static_cast<int>(h.PendingWhat)]);
    out.Number("PendingSelStart", h.PendingSelStart);
    out.Number("PendingSelFinish", h.PendingSelFinish);
    out.Number("PendingRewrite", h.PendingRewrite);
    for (std::size_t i = 0; i < h.Undo.size(); ++i) {
        out.Section("Undo" + std::to_string(i + 1));
        PutStep(out, h.Undo[i]);
    }
    for (std::size_t i = 0; i < h.Redo.size(); ++i) {
        out.Section("Redo" + std::to_string(i + 1));
        PutRequest(out, h.Redo[i].Edit);
        out.Number("SelStartFrame", h.Redo[i].SelStartFrame);
        out.Number("SelFinishFrame", h.Redo[i].SelFinishFrame);
        out.Number("StateAfter", h.Redo[i].StateAfter);
    }
    if (h.PendingWhat == PendingAction::Edit) {
        out.Section("Pending");
        PutStep(out, h.Pending);
    }
    return std::move(out).Text();
}

std::optional<Manifest> ParseManifest(const std::string& text)
{
    const Sections sections = ParseSections(text);
    const SectionReader document = SectionOf(sections, "Document");
    Manifest m;
    m.SourceFile = DecodeManifestPath(document.Text("Source"));
    if (m.SourceFile.empty())
        return std::nullopt;
    m.Modified = document.Number<int>("Modified") == 1;
    // Markers in frames; an older version's in columns.
    m.MarkersAsColumns = !document.Has("SelFinishFrame");
    m.SelStartFrame = document.Number<std::uint32_t>(m.MarkersAsColumns ? "SelStart" : "SelStartFrame");
    m.SelFinishFrame = document.Number<std::uint32_t>(m.MarkersAsColumns ? "SelFinish" : "SelFinishFrame");
    m.FramesPerColumn = document.Number<std::int32_t>("FramesPerColumn");
    m.PixelsPerColumn = document.Has("PixelsPerColumn") ? document.Number<std::int32_t>("PixelsPerColumn") : 1;
    m.SourceBitrate = document.Number<std::int32_t>("SourceBitrate");
    m.Channels = document.Number<std::int32_t>("Channels");
    m.BitsPerSample = document.Number<std::int32_t>("BitsPerSample");
    m.FrameSize = document.Number<std::int32_t>("FrameSize");

    const SectionReader history = SectionOf(sections, "History");
    m.HasHistory = history.Has("UndoSteps");
    if (!m.HasHistory)
        return m;
    EditHistory& h = m.History;
    const auto undoSteps = history.Number<std::size_t>("UndoSteps");
    const auto redoSteps = history.Number<std::size_t>("RedoSteps");
    for (std::size_t i = 0; i < undoSteps; ++i)
        h.Undo.push_back(StepOf(SectionOf(sections, "Undo" + std::to_string(i + 1))));
    // An older version's redo steps name columns of a zoom no longer
    // known: they are let go.
    for (std::size_t i = 0; i < redoSteps && !m.MarkersAsColumns; ++i) {
        const SectionReader redo = SectionOf(sections, "Redo" + std::to_string(i + 1));
        h.Redo.push_back({RequestOf(redo), redo.Number<std::uint32_t>("SelStartFrame"),
                          redo.Number<std::uint32_t>("SelFinishFrame"), redo.Number<std::uint64_t>("StateAfter")});
    }
    h.JournalUsed = history.Number<std::uint64_t>("JournalUsed");
    h.State = history.Number<std::uint64_t>("State");
    h.SavedState = history.Number<std::uint64_t>("SavedState");
    h.NextState = history.Number<std::uint64_t>("NextState");
    h.NextWholeFile = history.Number<std::uint64_t>("NextWholeFile");
    h.NextRewrite = history.Number<std::uint64_t>("NextRewrite");
    h.PendingWhat = FromName<PendingAction>(history.Text("Pending"), PendingNames);
    h.PendingSelStart = history.Number<std::uint32_t>("PendingSelStart");
    h.PendingSelFinish = history.Number<std::uint32_t>("PendingSelFinish");
    h.PendingRewrite = history.Number<std::uint64_t>("PendingRewrite");
    if (h.PendingWhat == PendingAction::Edit)
        h.Pending = StepOf(SectionOf(sections, "Pending"));
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

bool KeepManifest(Document& doc, EditHistory& history)
{
    if (!history.Keeping())
        return true;
    if (!KeepTagsRecord(doc))
        return false;
    const std::string path = history.Folder() + ManifestName;
    if (!doc.DocumentOpen) {
        if (!history.ManifestWritten.empty())
            RemoveFileIfExists(path);
        history.ManifestWritten.clear();
        return true;
    }
    auto removeDiscarded = [&history] {
        for (const std::string& name : history.Discarded)
            RemoveFileIfExists(history.Folder() + name);
        history.Discarded.clear();
    };
    std::string text = ManifestText(ManifestOf(doc, history));
    if (text == history.ManifestWritten) {
        removeDiscarded();
        return true;
    }
    if (!ReplaceFileContent(path, text))
        return false;
    history.ManifestWritten = std::move(text);
    removeDiscarded();
    return true;
}

} // namespace velmora
