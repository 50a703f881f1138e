#include "DeleteCutOut.h"

#include "EditRange.h"

#include "document/ColumnPeakScan.h"
#include "document/Document.h"
#include "import/WorkFileFormat.h"
#include "platform/File.h"
#include "platform/FileCopy.h"
#include "platform/PathText.h"
#include "platform/ProgressMeter.h"
#include "platform/UserDialogs.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <initializer_list>
#include <optional>
#include <vector>

namespace velmora {

namespace {

// Moves the bytes from readFrom up to readLimit down to writeTo (never
// above readFrom), in blocks, front to back so that nothing is overwritten
// before it has been read.  Returns the write position after the last
// byte, or nothing when a block could not be read in full or written.
std::optional<std::uint64_t> MoveDown(File& file, std::uint64_t writeTo, std::uint64_t readFrom,
                                      std::uint64_t readLimit, Progress& processing, WriteGate* gate)
{
    ProgressMeter meter(processing);
    const std::uint64_t total = readLimit > readFrom ? readLimit - readFrom : 0;
    if (writeTo == readFrom) {
        // An empty range: the bytes would move onto themselves.
        meter.Report(total, total);
        return readFrom + total;
    }
    std::vector<unsigned char> block(static_cast<std::size_t>(std::min<std::uint64_t>(EditBlockBytes, total)));
    std::uint64_t moved = 0;
    while (readFrom < readLimit) {
        const auto wanted = static_cast<std::size_t>(
            std::min<std::uint64_t>(block.size(), readLimit - readFrom));
        if (file.ReadAt(readFrom, block.data(), wanted) != wanted)
            return std::nullopt;
        WaitUntilKept(gate, writeTo + wanted);
        if (!file.WriteAt(writeTo, block.data(), wanted))
            return std::nullopt;
        readFrom += wanted;
        writeTo += wanted;
        moved += wanted;
        meter.Report(moved, total);
    }
    return writeTo;
}

// The columns of the file after the cut, as ranges of the old columns: a
// range of whole columns leaves whole columns behind, each with the peaks
// it had, so no second pass over the file is needed.
struct KeptColumns {
    std::uint32_t First;
    std::uint32_t Count;
};

// Cuts the file at newLength, patches both header sizes, recomputes the
// document and fills its new peak arrays: from the old columns kept where
// the range was whole columns, by a rescan otherwise.
EditEnd FollowLengthChange(File& file, Document& doc, std::uint32_t length,
                           std::initializer_list<KeptColumns> kept, Progress& reloading);

EditEnd FinishLengthChange(File& file, Document& doc, std::optional<std::uint64_t> newLength,
                           std::initializer_list<KeptColumns> kept, Progress& reloading, UserDialogs& dialogs,
                           WriteGate* gate)
{
    WaitUntilKept(gate, WholeFile);
    if (!newLength || !file.Truncate(*newLength))
        return FailRewrite(file, doc, reloading, dialogs);
    const auto length = static_cast<std::uint32_t>(*newLength);
    if (!PatchEditedSizes(file, length, doc.DataOffset))
        return FailRewrite(file, doc, reloading, dialogs);
    return FollowLengthChange(file, doc, length, kept, reloading);
}

// The document follows the file's new length (file, the working file as
// it now is, for a rescan).
EditEnd FollowLengthChange(File& file, Document& doc, std::uint32_t length,
                           std::initializer_list<KeptColumns> kept, Progress& reloading)
{
    const std::vector<std::int16_t> oldUpper = std::move(doc.PeakUpper);
    const std::vector<std::int16_t> oldLower = std::move(doc.PeakLower);
    RecomputeAfterLengthChange(doc, length);

    std::uint32_t keptColumns = 0;
    bool whole = true;
    for (const KeptColumns& k : kept) {
        keptColumns += k.Count;
        whole = whole && k.First + k.Count <= oldUpper.size();
    }
    if (!whole || keptColumns != doc.ColumnCount || kept.size() == 0) {
        ScanColumnPeaks(file, doc, doc.PeakUpper, doc.PeakLower, reloading);
        return EditEnd::Done;
    }
    std::uint32_t column = 0;
    for (const KeptColumns& k : kept) {
        std::copy_n(oldUpper.begin() + k.First, k.Count, doc.PeakUpper.begin() + column);
        std::copy_n(oldLower.begin() + k.First, k.Count, doc.PeakLower.begin() + column);
        column += k.Count;
    }
    ProgressMeter(reloading).Report(100);
    return EditEnd::Done;
}

// A piece of the working file that stays.
struct Piece {
    std::uint64_t From, To;  // bytes of the working file
};

// The file at newPath takes the name workFile and the one there the name
// keepAs (which the sequence checks for), the working file's name never
// missing.  The two trade names in one step where the file system can;
// elsewhere the old file gets its second name first and the new one
// replaces it.
bool PutInPlace(const std::string& newPath, const std::string& workFile, const std::string& keepAs)
{
    std::error_code error;
    if (ExchangeFiles(newPath, workFile)) {
        std::filesystem::rename(newPath, keepAs, error);
        if (error)
            RemoveFileIfExists(newPath);  // done, but without Undo
        return true;
    }
    std::filesystem::create_hard_link(workFile, keepAs, error);
    if (error)
        return false;
    std::filesystem::rename(newPath, workFile, error);
    if (error)
        RemoveFileIfExists(keepAs);
    return !error;
}

} // namespace

EditEnd RunDeleteBody(Document& doc, Progress& processing, Progress& reloading,
                      UserDialogs& dialogs, WriteGate* gate)
{
    const EditRange range = EditRangeOf(doc);
    File file = OpenForRewrite(doc, dialogs, gate);
    if (!file)
        return EditEnd::NotOpened;
    const std::uint64_t end = std::min<std::uint64_t>(doc.DataEnd, file.Size());
    const auto written = MoveDown(file, range.StartByte, range.EndByte, end, processing, gate);
    // Whole columns go: those before the range and those after it stay.
    // (A range cut short by the end of the payload is rescanned.)
    const auto perColumn = static_cast<std::uint32_t>(doc.FramesPerColumn);
    const std::uint32_t removed = range.Frames / perColumn;
    const auto columns = static_cast<std::uint32_t>(doc.PeakUpper.size());
    const std::uint32_t after = columns > doc.SelStart + removed ? columns - doc.SelStart - removed : 0;
    if (range.Frames % perColumn != 0)
        return FinishLengthChange(file, doc, written, {}, reloading, dialogs, gate);
    return FinishLengthChange(file, doc, written, {{0, doc.SelStart}, {doc.SelStart + removed, after}},
                              reloading, dialogs, gate);
}

EditEnd RunCutOutBody(Document& doc, Progress& processing, Progress& reloading,
                      UserDialogs& dialogs, WriteGate* gate)
{
    if (doc.SelStart == doc.SelFinish) {
        dialogs.ShowMessage("The selection is empty.");
        return EditEnd::Refused;
    }
    const EditRange range = EditRangeOf(doc);
    File file = OpenForRewrite(doc, dialogs, gate);
    if (!file)
        return EditEnd::NotOpened;
    // The tail goes with the final cut, after the move: what keeps it for
    // Undo meanwhile copies it beside the move.
    const auto written = MoveDown(file, doc.DataOffset, range.StartByte, range.EndByte, processing, gate);
    const auto perColumn = static_cast<std::uint32_t>(doc.FramesPerColumn);
    if (range.Frames % perColumn != 0)
        return FinishLengthChange(file, doc, written, {}, reloading, dialogs, gate);
    return FinishLengthChange(file, doc, written, {{doc.SelStart, range.Frames / perColumn}}, reloading, dialogs,
                              gate);
}

CutShape CutShapeOf(const Document& doc, EditCommand command, std::uint64_t fileLength)
{
    const EditRange range = EditRangeOf(doc);
    const std::uint64_t end = std::min<std::uint64_t>(doc.DataEnd, fileLength);
    const std::uint64_t rangeEnd = std::min(range.EndByte, end);
    const std::uint64_t rangeBytes = rangeEnd > range.StartByte ? rangeEnd - range.StartByte : 0;
    if (command == EditCommand::CutOut)
        return {doc.DataOffset + rangeBytes, fileLength - doc.DataOffset - rangeBytes};
    return {end - rangeBytes, fileLength - end + rangeBytes};
}

EditEnd RunCutIntoNewFile(Document& doc, EditCommand command, const std::string& keepAs, Progress& processing,
                          Progress& reloading, UserDialogs& dialogs)
{
    const EditRange range = EditRangeOf(doc);
    // Held for the edit, as the bodies above hold it: nobody else writes it.
    File old = OpenForRewrite(doc, dialogs);
    if (!old)
        return EditEnd::NotOpened;
    const std::uint64_t end = std::min<std::uint64_t>(doc.DataEnd, old.Size());
    std::vector<Piece> pieces{{0, doc.DataOffset}};
    if (command == EditCommand::CutOut) {
        pieces.push_back({range.StartByte, std::min(range.EndByte, end)});
    } else {
        pieces.push_back({doc.DataOffset, range.StartByte});
        pieces.push_back({std::min(range.EndByte, end), end});
    }
    std::uint64_t total = 0;
    for (const Piece& piece : pieces)
        total += piece.To > piece.From ? piece.To - piece.From : 0;

    const std::string newPath = doc.WorkFile + ".new";
    RemoveFileIfExists(newPath);
    File fresh = File::Open(newPath, File::Mode::CreateNew);
    // Blocks set aside in one go cost ext4 less than one at a time as the
    // copy comes; where the file system cannot, the copy allocates them.
    fresh.Reserve(total);
    ProgressMeter meter(processing);
    std::uint64_t done = 0;  // bytes of the new file
    bool written = static_cast<bool>(fresh);
    for (const Piece& piece : pieces) {
        if (!written || piece.To <= piece.From)
            continue;
        const std::uint64_t before = done;
        written = CopyFileData(old, piece.From, fresh, done, piece.To - piece.From,
                               [&](std::uint64_t chunk) { meter.Report(before + chunk, total); });
        done += piece.To - piece.From;
    }
    written = written && PatchEditedSizes(fresh, static_cast<std::uint32_t>(total), doc.DataOffset) &&
              RemoveFileIfExists(keepAs) && PutInPlace(newPath, doc.WorkFile, keepAs);
    if (!written) {
        RemoveFileIfExists(newPath);
        return FailRewrite(old, doc, reloading, dialogs);
    }
    meter.Report(total, total);

    const auto perColumn = static_cast<std::uint32_t>(doc.FramesPerColumn);
    const auto length = static_cast<std::uint32_t>(total);
    if (range.Frames % perColumn != 0)
        return FollowLengthChange(fresh, doc, length, {}, reloading);
    const std::uint32_t removed = range.Frames / perColumn;
    if (command == EditCommand::CutOut)
        return FollowLengthChange(fresh, doc, length, {{doc.SelStart, removed}}, reloading);
    const auto columns = static_cast<std::uint32_t>(doc.PeakUpper.size());
    const std::uint32_t after = columns > doc.SelStart + removed ? columns - doc.SelStart - removed : 0;
    return FollowLengthChange(fresh, doc, length, {{0, doc.SelStart}, {doc.SelStart + removed, after}}, reloading);
}

void SetMarkersAfterDelete(Document& doc)
{
    doc.SelFinish = doc.SelStart + 1;
    if (doc.SelFinish > doc.ColumnCount - 1)
        doc.SelFinish = doc.ColumnCount - 1;
}

void SetMarkersAfterCutOut(Document& doc)
{
    SelectAll(doc);
}

} // namespace velmora
