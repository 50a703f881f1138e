#include "CleanJoins.h"

#include "history/EditRange.h"

#include "document/Document.h"
#include "platform/File.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numbers>
#include <optional>

namespace velmora {

namespace {

// Frames of the file, as signed values around zero (8-bit samples less
// 128), a channel per column.
class FrameWindow {
public:
    std::int64_t First = 0;  // frame of the file
    std::int64_t Count = 0;  // frames
    int Channels = 1;
    std::vector<int> Values;

    bool Holds(std::int64_t frame) const { return frame >= First && frame < First + Count; }
    int At(std::int64_t frame, int channel) const
    {
        return Values[static_cast<std::size_t>((frame - First) * Channels + channel)];
    }
};

struct SampleLayout {
    std::uint64_t DataOffset = 0;  // bytes of the working file
    std::uint64_t FrameSize = 0;   // bytes
    int Channels = 1;
    bool EightBit = false;
    std::int64_t TotalFrames = 0;  // frames of the payload

    std::uint64_t OffsetOf(std::int64_t frame) const  // bytes of the working file
    {
        return DataOffset + static_cast<std::uint64_t>(frame) * FrameSize;
    }
};

std::optional<FrameWindow> ReadFrames(File& file, const SampleLayout& layout, std::int64_t first,
                                      std::int64_t last)
{
    first = std::clamp<std::int64_t>(first, 0, layout.TotalFrames);
    last = std::clamp<std::int64_t>(last, first, layout.TotalFrames);
    FrameWindow window;
    window.First = first;
    window.Count = last - first;
    window.Channels = layout.Channels;
    std::vector<unsigned char> bytes(static_cast<std::size_t>(window.Count * layout.FrameSize));
    if (file.ReadAt(layout.OffsetOf(first), bytes.data(), bytes.size()) != bytes.size())
        return std::nullopt;
    const std::size_t samples = static_cast<std::size_t>(window.Count) * layout.Channels;
    window.Values.resize(samples);
    for (std::size_t i = 0; i < samples; ++i) {
        window.Values[i] = layout.EightBit ? bytes[i] - 128
                                           : static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    }
    return window;
}

void PutSample(std::vector<unsigned char>& bytes, bool eightBit, double value)
{
    const long rounded = std::lround(value);
    if (eightBit) {
        bytes.push_back(static_cast<unsigned char>(std::clamp<long>(rounded + 128, 0, 255)));
        return;
    }
    const auto sample = static_cast<std::uint16_t>(static_cast<std::int16_t>(std::clamp<long>(rounded, -32768, 32767)));
    bytes.push_back(static_cast<unsigned char>(sample & 0xff));
    bytes.push_back(static_cast<unsigned char>(sample >> 8));
}

enum class Direction { Rising, Falling };

// A crossing of the first channel between frame At - 1 and frame At.
struct Crossing {
    std::int64_t At = 0;
    Direction Way = Direction::Rising;
};

std::vector<Crossing> CrossingsIn(const FrameWindow& window)
{
    std::vector<Crossing> crossings;
    for (std::int64_t k = window.First + 1; k < window.First + window.Count; ++k) {
        const int before = window.At(k - 1, 0);
        const int after = window.At(k, 0);
        if (before < 0 && after >= 0)
            crossings.push_back({k, Direction::Rising});
        else if (before >= 0 && after < 0)
            crossings.push_back({k, Direction::Falling});
    }
    return crossings;
}

// One side of a join: the audio that ends at it (its point is one past
// its last frame) or the audio that begins at it (its point is its first
// frame).  A side the file does not have is silence.
struct JoinSide {
    bool Silent = false;
    FrameWindow Window;
    std::int64_t Low = 0;   // the points it may take, frames
    std::int64_t High = 0;
    std::int64_t Point = 0; // where the cut would be without clean joins
};

struct Candidate {
    std::int64_t Point = 0;  // frames
    Direction Way = Direction::Rising;
};

// The points of a side next to a crossing: on either frame of it.
std::vector<Candidate> CandidatesOf(const JoinSide& side, bool endsAtJoin)
{
    std::vector<Candidate> candidates;
    for (const Crossing& crossing : CrossingsIn(side.Window)) {
        // The side's frame at the join is the one before the crossing or
        // the one after it.
        for (const std::int64_t frameAtJoin : {crossing.At - 1, crossing.At}) {
            const std::int64_t point = endsAtJoin ? frameAtJoin + 1 : frameAtJoin;
            if (point >= side.Low && point <= side.High)
                candidates.push_back({point, crossing.Way});
        }
    }
    return candidates;
}

// What a side shows the join: its frame there and its step next to it.
struct Edge {
    int Value = 0;
    int Step = 0;  // the side's own step, towards the join
};

Edge EdgeOf(const JoinSide& side, bool endsAtJoin, std::int64_t point, int channel)
{
    if (side.Silent)
        return {};
    const std::int64_t frame = endsAtJoin ? point - 1 : point;
    const std::int64_t neighbour = endsAtJoin ? frame - 1 : frame + 1;
    const int value = side.Window.At(frame, channel);
    if (!side.Window.Holds(neighbour))
        return {value, 0};
    const int other = side.Window.At(neighbour, channel);
    return {value, endsAtJoin ? value - other : other - value};
}

int LargestStep(const FrameWindow& window, int channel)
{
    int largest = 0;
    for (std::int64_t k = window.First + 1; k < window.First + window.Count; ++k)
        largest = std::max(largest, std::abs(window.At(k, channel) - window.At(k - 1, channel)));
    return largest;
}

struct JoinChoice {
    std::int64_t EndPoint = 0;    // one past the last frame of the side before the join
    std::int64_t BeginPoint = 0;  // the first frame of the side after it
};

// The best pair of points for the join of before (ending at it) and after
// (beginning at it), or nothing where no pair keeps every channel's step
// across the join within the largest step around it.  distinct says the
// two points must differ by at least one frame, before's lower (Delete)
// or higher (Cut Out) than after's.
std::optional<JoinChoice> ChooseJoin(const JoinSide& before, const JoinSide& after, int channels,
                                     int distinct)
{
    std::vector<int> largest(static_cast<std::size_t>(channels), 0);
    for (int c = 0; c < channels; ++c) {
        for (const JoinSide* side : {&before, &after}) {
            if (!side->Silent)
                largest[c] = std::max(largest[c], LargestStep(side->Window, c));
        }
    }
    // A silent side meets every crossing, whichever way it goes.
    const std::vector<Candidate> silent = {{0, Direction::Rising}, {0, Direction::Falling}};
    auto sideCandidates = [&](const JoinSide& side, bool endsAtJoin) {
        if (!side.Silent)
            return CandidatesOf(side, endsAtJoin);
        std::vector<Candidate> fixed = silent;
        for (Candidate& candidate : fixed)
            candidate.Point = side.Point;
        return fixed;
    };
    const std::vector<Candidate> ends = sideCandidates(before, true);
    const std::vector<Candidate> begins = sideCandidates(after, false);

    std::optional<JoinChoice> best;
    double bestCost = std::numeric_limits<double>::max();
    std::int64_t bestMove = 0;
    for (const Candidate& end : ends) {
        for (const Candidate& begin : begins) {
            if (end.Way != begin.Way)
                continue;
            if (distinct > 0 && begin.Point - end.Point < 1)
                continue;
            if (distinct < 0 && end.Point - begin.Point < 1)
                continue;
            double cost = 0;
            bool within = true;
            for (int c = 0; c < channels && within; ++c) {
                const Edge left = EdgeOf(before, true, end.Point, c);
                const Edge right = EdgeOf(after, false, begin.Point, c);
                const int step = right.Value - left.Value;
                within = std::abs(step) <= largest[c];
                cost += std::abs(step - (left.Step + right.Step) / 2.0);
            }
            const std::int64_t move = std::abs(end.Point - before.Point) + std::abs(begin.Point - after.Point);
            if (within && (cost < bestCost || (cost == bestCost && move < bestMove))) {
                best = JoinChoice{end.Point, begin.Point};
                bestCost = cost;
                bestMove = move;
            }
        }
    }
    return best;
}

// The equal-power gains of a 5 ms crossfade, frame i of frames: the side
// fading out takes Out, the side fading in In; Out^2 + In^2 = 1.
struct FadeGains {
    double Out = 1;
    double In = 0;
};

FadeGains GainsAt(std::int64_t i, std::int64_t frames)
{
    const double angle = std::numbers::pi / 2 * static_cast<double>(i + 1) / static_cast<double>(frames + 1);
    return {std::cos(angle), std::sin(angle)};
}

// frames of outgoing (from outFirst) mixed into incoming (from inFirst),
// either of them absent (silence) when its window is null.
JoinPatch Crossfade(const SampleLayout& layout, const FrameWindow* outgoing, std::int64_t outFirst,
                    const FrameWindow* incoming, std::int64_t inFirst, std::int64_t frames, std::int64_t oldFirst,
                    std::int64_t newFirst)
{
    JoinPatch patch;
    patch.OldOffset = layout.OffsetOf(oldFirst);
    patch.NewOffset = layout.OffsetOf(newFirst);
    patch.Bytes.reserve(static_cast<std::size_t>(frames * layout.FrameSize));
    for (std::int64_t i = 0; i < frames; ++i) {
        const FadeGains gains = GainsAt(i, frames);
        for (int c = 0; c < layout.Channels; ++c) {
            const double out = outgoing != nullptr ? outgoing->At(outFirst + i, c) * gains.Out : 0.0;
            const double in = incoming != nullptr ? incoming->At(inFirst + i, c) * gains.In : 0.0;
            PutSample(patch.Bytes, layout.EightBit, out + in);
        }
    }
    return patch;
}

EditRange RangeOf(const SampleLayout& layout, std::int64_t first, std::int64_t last)
{
    return {layout.OffsetOf(first), layout.OffsetOf(last), static_cast<std::uint32_t>(last - first)};
}

} // namespace

std::uint32_t JoinFrames(std::uint32_t sampleRate)
{
    return std::max<std::uint32_t>(1, sampleRate / 200);
}

EditPlan CleanCutOf(File& file, const Document& doc, EditCommand command, const EditRange& range)
{
    EditPlan plan;
    plan.Request = {command};
    plan.Request.CleanJoins = true;
    plan.What = EditPlan::Kind::Cut;
    plan.Range = range;

    SampleLayout layout;
    layout.DataOffset = doc.DataOffset;
    layout.FrameSize = static_cast<std::uint64_t>(doc.FrameSize);
    layout.Channels = doc.Channels == 1 ? 1 : 2;
    layout.EightBit = doc.BitsPerSample == 8;
    if (!file || layout.FrameSize != static_cast<std::uint64_t>(layout.Channels) * (layout.EightBit ? 1 : 2) ||
        range.StartByte < layout.DataOffset || doc.DataEnd < layout.DataOffset)
        return plan;
    layout.TotalFrames = static_cast<std::int64_t>((doc.DataEnd - layout.DataOffset) / layout.FrameSize);
    const auto first = static_cast<std::int64_t>((range.StartByte - layout.DataOffset) / layout.FrameSize);
    const std::int64_t last = first + range.Frames;
    const std::int64_t total = layout.TotalFrames;
    if (range.Frames == 0 || last > total || (first == 0 && last == total))
        return plan;  // nothing goes, or everything: no join
    const std::int64_t reach = JoinFrames(static_cast<std::uint32_t>(doc.SampleRate));

    // Each side's window holds its points' frames and one more each way.
    auto sideAt = [&](std::int64_t point, std::int64_t low, std::int64_t high) -> std::optional<JoinSide> {
        JoinSide side;
        side.Point = point;
        side.Low = std::max(low, point - reach);
        side.High = std::min(high, point + reach);
        std::optional<FrameWindow> window = ReadFrames(file, layout, side.Low - 2, side.High + 2);
        if (!window)
            return std::nullopt;
        side.Window = std::move(*window);
        return side;
    };
    JoinSide silentSide;
    silentSide.Silent = true;

    if (command == EditCommand::CutOut) {
        // The piece's end joins its own beginning.
        // The piece keeps at least a frame of the marked range.
        std::optional<JoinSide> end = sideAt(last, first + 1, total);
        std::optional<JoinSide> begin = sideAt(first, 0, std::min(total - 1, last - 1));
        if (!end || !begin)
            return plan;
        if (const std::optional<JoinChoice> choice = ChooseJoin(*end, *begin, layout.Channels, -1)) {
            plan.Range = RangeOf(layout, choice->BeginPoint, choice->EndPoint);
            return plan;
        }
        const std::int64_t frames = std::min<std::int64_t>(reach, (last - first) / 2);
        if (frames == 0)
            return plan;
        plan.Patches.push_back(Crossfade(layout, nullptr, 0, &begin->Window, first, frames, first, 0));
        plan.Patches.push_back(Crossfade(layout, &end->Window, last - frames, nullptr, 0, frames, last - frames,
                                         last - first - frames));
        return plan;
    }

    // Delete: what was before the range joins what was after it, or
    // silence where the range reaches an end of the file.
    // What goes takes at least a frame of the marked range with it.
    std::optional<JoinSide> before = first == 0 ? silentSide : sideAt(first, 1, std::min(total - 1, last - 1));
    std::optional<JoinSide> after = last == total ? silentSide : sideAt(last, std::max<std::int64_t>(1, first + 1), total - 1);
    if (!before || !after)
        return plan;
    if (before->Silent)
        before->Point = 0;
    if (after->Silent)
        after->Point = total;
    if (const std::optional<JoinChoice> choice = ChooseJoin(*before, *after, layout.Channels, 1)) {
        plan.Range = RangeOf(layout, choice->EndPoint, choice->BeginPoint);
        return plan;
    }
    if (before->Silent) {
        // The file now begins with what followed the range: it fades in.
        const std::int64_t frames = std::min<std::int64_t>(reach, total - last);
        plan.Patches.push_back(Crossfade(layout, nullptr, 0, &after->Window, last, frames, last, 0));
    } else if (after->Silent) {
        const std::int64_t frames = std::min<std::int64_t>(reach, first);
        plan.Patches.push_back(
            Crossfade(layout, &before->Window, first - frames, nullptr, 0, frames, first - frames, first - frames));
    } else {
        // The last frames before the range give way to the last frames of
        // it, which lead into what follows: the length stays the cut's.
        const std::int64_t frames = std::min<std::int64_t>(reach, first);
        plan.Patches.push_back(Crossfade(layout, &before->Window, first - frames, &after->Window, last - frames,
                                         frames, first - frames, first - frames));
    }
    return plan;
}

} // namespace velmora
