#include "Keeping.h"
#include "KeepingParts.h"

#include "document/Document.h"
#include "platform/ByteMoves.h"
#include "platform/File.h"
#include "platform/FileCopy.h"
#include "platform/IniFile.h"
#include "platform/ProgressMeter.h"

#include <charconv>
#include <functional>
#include <thread>

namespace velmora {

namespace {

// A cut in place notes every block of its move, the cut, the joins and the
// header; a range written over (Mute) or rescaled at an odd byte notes
// nothing - its pieces put back whatever the edit reached.
class PiecesHooks final : public RunHooks {
public:
    explicit PiecesHooks(RewriteLog& log) : log_(log) {}

    bool BeforeWrite(File& work, RewritePhase phase, std::uint64_t op, std::uint64_t offset,
                     std::size_t bytes) override
    {
        if (phase == ScalePhase || log_.Write(work, phase, op, offset, bytes, 0, {}))
            return true;
        keepingFailed_ = true;
        return false;
    }
    bool CutsIntoNewFile(const std::string&, const CutLayout&, std::uint64_t) override { return false; }
    std::size_t MoveBlockBytes(std::uint64_t distance) override { return KeptMoveBlockBytes(distance); }

private:
    RewriteLog& log_;
};

// How much of a cut's move its take-back moves back up: the bytes the
// move wrote above where it read from, or all of it once the file was cut.
std::uint64_t MoveToTakeBack(const UndoStep& step, const StepReach& reach)
{
    if (reach.Whole)
        return step.MoveLength;
    if (!reach.Last)
        return 0;
    if (reach.Last->Phase != MovePhase)
        return step.MoveLength;
    const std::uint64_t written = reach.Last->Offset + reach.Last->Length - step.MoveFrom;
    const std::uint64_t distance = step.MoveTo - step.MoveFrom;
    return std::min(step.MoveLength, written > distance ? written - distance : 0);
}

bool TakeBackPieces(const UndoStep& step, const StepReach& reach, File& work, File& journal, RewriteLog& log,
                    const std::optional<RewriteLog::Note>& resume, Progress& processing)
{
    ProgressMeter meter(processing);
    const std::uint64_t moveLength = MoveToTakeBack(step, reach);
    std::uint64_t total = moveLength;
    for (const JournalPiece& piece : step.Pieces)
        total += piece.Length;
    if (work.Size() < step.LengthBefore && !work.Truncate(step.LengthBefore))
        return false;
    // Once the pieces are being written back, the move is done: moving
    // again would take bytes the pieces have already put back.
    const bool moved = resume && resume->Phase == PutBackPhase;
    if (!moved && moveLength > 0) {
        MoveBlocks blocks;
        blocks.BlockBytes = KeptMoveBlockBytes(step.MoveTo - step.MoveFrom);
        blocks.FirstBlock = resume && resume->Phase == MovePhase ? resume->Op : 0;
        blocks.BeforeWrite = [&](std::uint64_t block, std::uint64_t offset, std::size_t bytes) {
            return log.Write(work, MovePhase, block, offset, bytes, 0, {});
        };
        blocks.Moved = [&](std::uint64_t bytes) { meter.Report(bytes, total); };
        if (!MoveUp(work, step.MoveFrom, step.MoveTo, moveLength, blocks))
            return false;
    }
    if (!log.Write(work, PutBackPhase, 0, 0, 0, 0, {}))
        return false;
    std::uint64_t done = moveLength;
    for (const JournalPiece& piece : step.Pieces) {
        const std::uint64_t before = done;
        if (!CopyFileData(journal, piece.JournalOffset, work, piece.FileOffset, piece.Length,
                          [&](std::uint64_t chunk) { meter.Report(before + chunk, total); }))
            return false;
        done += piece.Length;
    }
    meter.Report(total, total);
    return work.Truncate(step.LengthBefore);
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
            at = next < end ? next + 1 : end;  // past ',' or ';'
        }
        pieces.push_back(piece);
    }
    return pieces;
}

// Copies the step's pieces to the journal.
bool CopyPieces(File& work, File& journal, const UndoStep& step, Progress& processing)
{
    // A long copy is split in two, one half on a thread of its own: the
    // edit waits for it, and the copying inside the kernel takes one core.
    constexpr std::uint64_t SplitFrom = 32u << 20;
    std::uint64_t total = 0;
    for (const JournalPiece& piece : step.Pieces)
        total += piece.Length;
    std::vector<JournalPiece> first, second;
    std::uint64_t at = 0;
    for (const JournalPiece& piece : step.Pieces) {
        const std::uint64_t half = total >= SplitFrom ? total / 2 : total;
        const std::uint64_t mine = at >= half ? 0 : std::min(piece.Length, half - at);
        if (mine > 0)
            first.push_back({piece.FileOffset, mine, piece.JournalOffset});
        if (mine < piece.Length)
            second.push_back({piece.FileOffset + mine, piece.Length - mine, piece.JournalOffset + mine});
        at += piece.Length;
    }
    auto copy = [](File& from, File& to, const std::vector<JournalPiece>& pieces,
                   const std::function<void(std::uint64_t)>& done) {
        std::uint64_t copied = 0;
        for (const JournalPiece& piece : pieces) {
            const std::uint64_t before = copied;
            if (!from || !to || !CopyFileData(from, piece.FileOffset, to, piece.JournalOffset, piece.Length,
                              [&](std::uint64_t chunk) { done(before + chunk); }))
                return false;
            copied += piece.Length;
        }
        return true;
    };
    // The other thread copies through handles of its own.
    File otherWork = work.Duplicate();
    File otherJournal = journal.Duplicate();
    bool secondCopied = true;
    std::thread other;
    if (!second.empty())
        other = std::thread([&] { secondCopied = copy(otherWork, otherJournal, second, [](std::uint64_t) {}); });
    ProgressMeter meter(processing);
    std::uint64_t firstBytes = 0;
    for (const JournalPiece& piece : first)
        firstBytes += piece.Length;
    const bool firstCopied = copy(work, journal, first, [&](std::uint64_t done) { meter.Report(done, firstBytes); });
    if (other.joinable())
        other.join();
    return firstCopied && secondCopied;
}

// Bytes of the file copied to the journal before the edit: what a cut
// destroys (and what its move then closes up), or a range written over.
// Undo moves the shifted rest back and writes them.
class PiecesKept final : public Keeping {
public:
    bool Record(const Document& doc, File& work, File& journal, const UndoStep& step,
                Progress& processing) const override
    {
        // The peaks first: they set the journal's blocks aside for the copy.
        return Keeping::Record(doc, work, journal, step, processing) && CopyPieces(work, journal, step, processing);
    }

    std::unique_ptr<RunHooks> Hooks(const EditHistory&, UndoStep&, File&, RewriteLog& log) const override
    {
        return std::make_unique<PiecesHooks>(log);
    }

    bool TakeBack(const Document&, const EditHistory&, const UndoStep& step, const StepReach& reach, File& work,
                  File& journal, RewriteLog& log, const std::optional<RewriteLog::Note>& resume, ScalingSource,
                  Progress& processing) const override
    {
        return TakeBackPieces(step, reach, work, journal, log, resume, processing);
    }

    void Write(IniFile& manifest, const std::string& section, const UndoStep& step) const override
    {
        manifest.SetString(section, "MoveFrom", std::to_string(step.MoveFrom));
        manifest.SetString(section, "MoveTo", std::to_string(step.MoveTo));
        manifest.SetString(section, "MoveLength", std::to_string(step.MoveLength));
        manifest.SetString(section, "Pieces", PiecesText(step.Pieces));
    }

    void Read(const IniFile& manifest, const std::string& section, UndoStep& step) const override
    {
        step.MoveFrom = ManifestNumber(manifest, section, "MoveFrom");
        step.MoveTo = ManifestNumber(manifest, section, "MoveTo");
        step.MoveLength = ManifestNumber(manifest, section, "MoveLength");
        step.Pieces = PiecesOf(manifest.ReadString(section, "Pieces", ""));
    }
};

} // namespace

const Keeping& PiecesKeeping()
{
    static const PiecesKept pieces;
    return pieces;
}

} // namespace velmora
