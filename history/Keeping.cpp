#include "Keeping.h"

#include "CutLayout.h"
#include "KeepingParts.h"

#include "document/Document.h"
#include "platform/File.h"
#include "platform/IniFile.h"

#include <algorithm>
#include <charconv>

namespace velmora {

namespace {

// What one block costs beyond its bytes (two system calls), in bytes that
// copying would take as long: a move in small blocks is dearer than its
// length says.
constexpr std::uint64_t BlockOverheadBytes = 24u << 10;

void PlanCutKeeping(const Document& doc, const EditHistory& history, const EditPlan& plan, std::uint64_t fileLength,
                    std::uint64_t room, std::uint64_t peaks, UndoStep& step, bool& fits)
{
    const CutLayout layout = CutLayoutOf(doc, plan, fileLength);
    std::vector<ByteSpan> destroyed = layout.Destroyed(fileLength);
    // What a clean join's crossfade writes over stays, changed: kept too.
    for (const JoinPatch& patch : plan.Patches)
        destroyed.push_back({patch.OldOffset, patch.OldOffset + patch.Bytes.size()});
    std::uint64_t destroyedBytes = 0;
    for (const ByteSpan& span : destroyed)
        destroyedBytes += span.Bytes();
    // Bytes that move onto themselves (an empty range) do not move at all.
    const std::uint64_t distance = layout.ShiftFrom - layout.ShiftTo;
    const std::uint64_t moved = distance == 0 ? 0 : layout.ShiftLength;
    const std::uint64_t blocks = (moved + KeptMoveBlockBytes(distance) - 1) / KeptMoveBlockBytes(distance);
    const std::uint64_t inPlaceCost = destroyedBytes + moved + blocks * BlockOverheadBytes;
    const std::uint64_t newFileCost = layout.KeptBytes();
    const bool inPlaceFits = destroyedBytes + peaks <= room;
    // A new file copies what stays and moves nothing; it needs the range
    // inside the payload, as the copy reads it from there.
    const bool rangeInPayload = plan.Range.EndByte <= std::min<std::uint64_t>(doc.DataEnd, fileLength);
    const bool newFileFits = rangeInPayload && layout.KeptBytes() + peaks <= room;
    fits = inPlaceFits || newFileFits;
    if (newFileFits && (!inPlaceFits || newFileCost <= inPlaceCost)) {
        step.Kept = KeptAs::WholeFile;
        step.WholeFileName = std::string(JournalFileName) + "-" + std::to_string(history.NextWholeFile);
        return;
    }
    step.Kept = KeptAs::Pieces;
    for (const ByteSpan& span : destroyed)
        step.Pieces.push_back({span.From, span.Bytes(), 0});
    step.MoveFrom = layout.ShiftTo;
    step.MoveTo = layout.ShiftFrom;
    step.MoveLength = layout.ShiftLength;
}

// Nothing kept: an edit that changes no byte (Volume at 100 %, an empty
// range).  The run is a plain one; taking it back changes nothing.
class NothingKept final : public Keeping {
public:
    std::unique_ptr<RunHooks> Hooks(const EditHistory&, UndoStep&, File&, RewriteLog&) const override
    {
        return std::make_unique<RunHooks>();
    }
    bool TakeBack(const Document&, const EditHistory&, const UndoStep&, const StepReach&, File&, File&, RewriteLog&,
                  const std::optional<RewriteLog::Note>&, ScalingSource, Progress&) const override
    {
        return true;
    }
};

} // namespace

bool Keeping::Record(const Document& doc, File&, File& journal, const UndoStep& step, Progress&) const
{
    const std::uint32_t columns = PeakColumns(doc);
    const std::size_t rowBytes = columns * sizeof(std::int16_t);
    if (!journal || doc.PeakUpper.size() < columns || doc.PeakLower.size() < columns)
        return false;
    // The journal's blocks set aside in one go (a hint: ext4 then allocates
    // nothing as the copy comes).
    journal.Reserve(step.PeaksAt + 2 * rowBytes);
    return journal.WriteAt(step.PeaksAt, doc.PeakUpper.data(), rowBytes) &&
           journal.WriteAt(step.PeaksAt + rowBytes, doc.PeakLower.data(), rowBytes);
}

std::uint64_t ManifestNumber(const IniFile& manifest, const std::string& section, const char* key)
{
    const std::string text = manifest.ReadString(section, key, "");
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : 0;
}

void Keeping::Write(IniFile&, const std::string&, const UndoStep&) const
{
}

void Keeping::Read(const IniFile&, const std::string&, UndoStep&) const
{
}

const Keeping& KeepingOf(KeptAs kept)
{
    static const NothingKept nothing;
    switch (kept) {
    case KeptAs::Nothing: return nothing;
    case KeptAs::Pieces: return PiecesKeeping();
    case KeptAs::Remainders: return RemaindersKeeping();
    case KeptAs::WholeFile: return WholeFileKeeping();
    }
    return nothing;
}

bool ChooseKeeping(const Document& doc, const EditHistory& history, const EditPlan& plan, std::uint64_t fileLength,
                   std::uint64_t room, UndoStep& step)
{
    step = UndoStep{};
    step.Edit = plan.Request;
    step.Before = ShapeOf(doc);
    step.LengthBefore = fileLength;
    step.JournalStart = history.JournalEnd();
    const std::uint64_t peaks = PeakBytes(PeakColumns(doc));
    const std::uint64_t rangeBytes = plan.Range.EndByte - plan.Range.StartByte;
    bool fits = true;
    switch (plan.What) {
    case EditPlan::Kind::Unchanged: break;
    case EditPlan::Kind::Overwrite:
        // Silence keeps nothing of what it replaces.
        step.Kept = KeptAs::Pieces;
        step.Pieces.push_back({plan.Range.StartByte, rangeBytes, 0});
        break;
    case EditPlan::Kind::Scale:
        if (!plan.Scaling || rangeBytes == 0)
            break;
        if (doc.BitsPerSample != 8 && plan.Range.StartByte % 2 != 0) {
            // A 16-bit sample across two pages could be half written when
            // cut off: such a range is kept byte for byte.
            step.Kept = KeptAs::Pieces;
            step.Pieces.push_back({plan.Range.StartByte, rangeBytes, 0});
            break;
        }
        step.Kept = KeptAs::Remainders;
        step.Remainders = {plan.Range.StartByte, rangeBytes, 0, 0};
        break;
    case EditPlan::Kind::Cut: PlanCutKeeping(doc, history, plan, fileLength, room, peaks, step, fits); break;
    }
    std::uint64_t at = step.JournalStart;
    for (JournalPiece& piece : step.Pieces) {
        piece.JournalOffset = at;
        at += piece.Length;
    }
    step.PeaksAt = at;
    step.Remainders.JournalOffset = at + peaks;
    // Remainders take no more room than the samples, less what their
    // chunks' headers add.
    const std::uint64_t needed = at - step.JournalStart + peaks + step.Remainders.Length + step.Remainders.Length / 512;
    return fits && needed <= room;
}

bool TakeBack(const Document& doc, const EditHistory& history, const UndoStep& step, const StepReach& reach,
              File& work, File& journal, RewriteLog& log, std::uint64_t rewrite, ScalingSource scalings,
              Progress& processing)
{
    const std::optional<RewriteLog::Note> resume = log.Last(rewrite);
    if (!resume && !log.Begin(rewrite))
        return false;
    return KeepingOf(step.Kept).TakeBack(doc, history, step, reach, work, journal, log, resume, scalings, processing);
}

} // namespace velmora
