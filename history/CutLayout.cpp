#include "CutLayout.h"

#include "EditRange.h"

#include "document/ColumnPeakScan.h"
#include "document/Document.h"
#include "platform/File.h"
#include "platform/FileCopy.h"
#include "platform/PathText.h"
#include "platform/ProgressMeter.h"

#include <algorithm>
#include <initializer_list>

namespace velmora {

namespace {

// The columns of the file after the cut, as ranges of the old columns: a
// range of whole columns leaves whole columns behind, each with the peaks
// it had, so no second pass over the file is needed.
struct KeptColumns {
    std::uint32_t First;
    std::uint32_t Count;
};

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

} // namespace

std::uint64_t CutLayout::KeptBytes() const
{
    std::uint64_t kept = 0;
    for (const ByteSpan& span : Stays)
        kept += span.Bytes();
    return kept;
}

std::vector<ByteSpan> CutLayout::Destroyed(std::uint64_t fileLength) const
{
    // The header stays but changes; between and after the payload's spans
    // that stay, everything goes.
    std::vector<ByteSpan> destroyed;
    std::uint64_t at = 0;
    for (const ByteSpan& span : Stays) {
        if (span.From > at)
            destroyed.push_back({at, span.From});
        if (span.From == 0)
            destroyed.push_back(span);  // the header
        at = std::max(at, span.To);
    }
    if (fileLength > at)
        destroyed.push_back({at, fileLength});
    std::vector<ByteSpan> pieces;
    for (const ByteSpan& span : destroyed) {
        if (span.Bytes() > 0)
            pieces.push_back(span);
    }
    return pieces;
}

CutLayout CutLayoutOf(const Document& doc, const EditPlan& plan, std::uint64_t fileLength)
{
    const EditRange& range = plan.Range;
    const std::uint64_t header = doc.DataOffset;
    const std::uint64_t end = std::max(header, std::min<std::uint64_t>(doc.DataEnd, fileLength));
    const std::uint64_t rangeEnd = std::min(range.EndByte, end);
    const std::uint64_t rangeStart = std::min(range.StartByte, rangeEnd);
    CutLayout layout;
    layout.Stays.push_back({0, header});
    if (plan.Request.Command == EditCommand::CutOut) {
        layout.Stays.push_back({rangeStart, rangeEnd});
        layout.ShiftTo = header;
        layout.ShiftFrom = rangeStart;
        layout.ShiftLength = rangeEnd - rangeStart;
    } else {
        layout.Stays.push_back({header, rangeStart});
        layout.Stays.push_back({rangeEnd, end});
        layout.ShiftTo = rangeStart;
        layout.ShiftFrom = rangeEnd;
        layout.ShiftLength = end - rangeEnd;
    }
    layout.NewLength = layout.ShiftTo + layout.ShiftLength;
    return layout;
}

File WriteCutIntoNewFile(File& old, const Document& doc, const EditPlan& plan, const CutLayout& layout,
                         const std::string& path, Progress& processing)
{
    const std::uint64_t total = layout.KeptBytes();
    RemoveFileIfExists(path);
    File fresh = File::Open(path, File::Mode::CreateNew);
    // Blocks set aside in one go cost ext4 less than one at a time as the
    // copy comes; where the file system cannot, the copy allocates them.
    bool written = static_cast<bool>(fresh);
    if (written)
        fresh.Reserve(total);
    ProgressMeter meter(processing);
    std::uint64_t done = 0;  // bytes of the new file
    for (const ByteSpan& span : layout.Stays) {
        if (!written || span.Bytes() == 0)
            continue;
        const std::uint64_t before = done;
        written = CopyFileData(old, span.From, fresh, done, span.Bytes(),
                               [&](std::uint64_t chunk) { meter.Report(before + chunk, total); });
        done += span.Bytes();
    }
    written = written && WriteJoinPatches(fresh, plan) && PatchEditedSizes(fresh, total, doc.DataOffset);
    if (!written) {
        fresh = File();
        RemoveFileIfExists(path);
        return fresh;
    }
    meter.Report(total, total);
    return fresh;
}

bool WriteJoinPatches(File& file, const EditPlan& plan)
{
    for (const JoinPatch& patch : plan.Patches) {
        if (!file.WriteAt(patch.NewOffset, patch.Bytes.data(), patch.Bytes.size()))
            return false;
    }
    return true;
}

EditEnd FollowCut(File& file, Document& doc, const EditPlan& plan, std::uint64_t newLength, Progress& reloading)
{
    // Only lengths PatchEditedSizes took come here: they fit the header.
    const auto length = static_cast<std::uint32_t>(std::min<std::uint64_t>(newLength, UINT32_MAX));
    const EditRange& range = plan.Range;
    const auto perColumn = static_cast<std::uint64_t>(doc.FramesPerColumn);
    const auto frameSize = static_cast<std::uint64_t>(doc.FrameSize);
    const std::uint64_t startFrame =
        frameSize == 0 || range.StartByte < doc.DataOffset ? 0 : (range.StartByte - doc.DataOffset) / frameSize;
    // A range cut short by the end of the payload, or moved off the columns
    // by a clean join, leaves no whole columns; a crossfade changes some.
    if (perColumn == 0 || range.Frames % perColumn != 0 || startFrame % perColumn != 0 || !plan.Patches.empty())
        return FollowLengthChange(file, doc, length, {}, reloading);
    const auto removed = static_cast<std::uint32_t>(range.Frames / perColumn);
    const auto startColumn = static_cast<std::uint32_t>(startFrame / perColumn);
    if (plan.Request.Command == EditCommand::CutOut)
        return FollowLengthChange(file, doc, length, {{startColumn, removed}}, reloading);
    // Whole columns go: those before the range and those after it stay.
    const auto columns = static_cast<std::uint32_t>(doc.PeakUpper.size());
    const std::uint32_t after = columns > startColumn + removed ? columns - startColumn - removed : 0;
    return FollowLengthChange(file, doc, length, {{0, startColumn}, {startColumn + removed, after}}, reloading);
}

} // namespace velmora
