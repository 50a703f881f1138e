#include "Mp3InParts.h"

#include "Wavtomp3.h"

#include "document/Document.h"
#include "platform/File.h"
#include "platform/PathText.h"
#include "platform/ProgressMeter.h"
#include "platform/mpeg/InfoFrame.h"
#include "platform/mpeg/Layer3Frame.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace velmora {

namespace {

constexpr unsigned MostParts = 8;
constexpr std::uint64_t SmallestPartSeconds = 30;
// Frames a part after the first encodes before its own and drops.  Its
// encoder's lead-in, filter bank and MDCT windows reach back less than two
// frames; the rest is for its bit reservoir and psychoacoustic model to
// settle where the whole stream's would be, so that from the join on it
// gives the frames one encoder gives (measured: the same error around a
// join as one stream's there, where 4 frames left it half as large again).
constexpr std::uint64_t PreRollFrames = 32;
// And after the last frame it may keep: more than that frame's windows
// reach forward.
constexpr std::uint32_t PostRollSamples = 2304;
// A join may move this many frames past the part's first frame, to the
// first frame whose reservoir the frames before it have room for.
constexpr std::uint64_t CandidateFrames = 32;
// Frames held before the candidates: the bit reservoir (at most 511 bytes)
// a join moves lies in them.
constexpr std::uint64_t ContextFrames = 16;
constexpr std::size_t WriteBlockBytes = 1u << 20;

// One part: what its encoder is fed, and what becomes of the frames of its
// stream, by their index in it.
struct Part {
    // Frames of the payload (samples per channel) fed to the encoder.
    std::uint64_t FeedFrom = 0;
    std::uint64_t FeedTo = 0;
    // [0, HeadEnd) are held: the pre-roll and the candidates for the join
    // before the part (none for the first).  [HeadEnd, TailFrom) are
    // written as they come.  [TailFrom, TailEnd) are held: what comes
    // before the next join and its candidates.  The last part writes to
    // the end of its stream.
    std::uint64_t HeadEnd = 0;
    std::uint64_t TailFrom = UINT64_MAX;
    std::uint64_t TailEnd = UINT64_MAX;
    std::unique_ptr<WavToMp3::PartStream> Stream;
    File Output;
    std::string PartFile;        // empty for the first part, which writes into the output
    std::uint64_t OutputAt = 0;  // bytes of Output: where the first written frame goes
    std::thread Worker;

    std::atomic<std::uint64_t> Read{0};  // payload bytes read, for the progress
    std::atomic<bool> Done{false};
    PartsResult Result{PartsEnd::Done, 0};
    std::uint64_t Bytes = 0;   // of the frames written
    std::uint64_t Frames = 0;  // written
    std::uint32_t FirstHeader = 0;
    std::uint16_t Crc = 0;     // of the frames written (the first part's only)
    std::vector<lame::HeldFrame> Head;
    std::vector<lame::HeldFrame> Tail;

    std::vector<std::uint8_t> Pending;  // encoder bytes not yet split into frames
    std::uint64_t Seen = 0;             // frames split off so far
    std::vector<std::uint8_t> Block;    // written frames not yet in the file
};

bool Fail(Part& part, PartsEnd end, int error = 0)
{
    part.Result = {end, error};
    return false;
}

bool WriteBlock(Part& part)
{
    if (part.Block.empty())
        return true;
    if (!part.Output.WriteAt(part.OutputAt + part.Bytes, part.Block.data(), part.Block.size()))
        return Fail(part, PartsEnd::WriteFailed, part.Output.LastError());
    part.Bytes += part.Block.size();
    part.Block.clear();
    return true;
}

// Splits the encoder's bytes into frames and holds, writes or drops each.
// The first part's first frame decides the room left for the Info frame
// before it.
bool SplitFrames(Part& part)
{
    const bool first = part.PartFile.empty();
    std::size_t at = 0;
    const std::vector<std::uint8_t>& bytes = part.Pending;
    while (bytes.size() - at >= 4) {
        const std::uint8_t* frame = &bytes[at];
        const std::uint32_t header = lame::HeaderAt(frame);
        const std::size_t length = lame::FrameLength(header);
        if (length == 0)
            return Fail(part, PartsEnd::EncoderFailed);  // no frame where one must begin
        if (bytes.size() - at < length)
            break;  // the rest of the frame is still to come
        lame::Layer3Layout layout;
        if (!lame::ReadLayer3Layout(frame, length, layout))
            return Fail(part, PartsEnd::EncoderFailed);
        const std::uint64_t index = part.Seen++;
        if (index < part.HeadEnd || (index >= part.TailFrom && index < part.TailEnd)) {
            (index < part.HeadEnd ? part.Head : part.Tail)
                .push_back({std::vector<std::uint8_t>(frame, frame + layout.Length), layout});
        } else if (index < part.TailFrom) {
            if (part.Frames++ == 0) {
                part.FirstHeader = header;
                if (first && (part.OutputAt = lame::InfoFrameBytes(part.FirstHeader)) == 0)
                    return Fail(part, PartsEnd::EncoderFailed);
            }
            if (first)
                part.Crc = lame::Crc16(frame, layout.Length, part.Crc);
            part.Block.insert(part.Block.end(), frame, frame + layout.Length);
        }
        at += layout.Length;
    }
    part.Pending.erase(part.Pending.begin(), part.Pending.begin() + static_cast<std::ptrdiff_t>(at));
    return part.Block.size() < WriteBlockBytes || WriteBlock(part);
}

// Encodes one part.  report, on the thread that runs the first part, shows
// the progress and says false when the user stopped the save.
void EncodePart(Part& part, File work, const SampleConverter& converter, std::uint64_t dataOffset,
                std::atomic<bool>& stop, const std::function<bool()>& report)
{
    const bool first = part.PartFile.empty();
    const bool last = part.TailEnd == UINT64_MAX;
    auto run = [&]() -> bool {
        const std::uint32_t inFrameBytes = converter.InFrameBytes();
        const auto outChannels = static_cast<std::uint32_t>(converter.OutChannels());
        const std::uint32_t chunkFrames = std::max<std::uint32_t>(1, part.Stream->SamplesPerChunk() / outChannels);
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(chunkFrames) * inFrameBytes);
        std::vector<std::int16_t> samples(static_cast<std::size_t>(chunkFrames) * outChannels);
        for (std::uint64_t frame = part.FeedFrom; frame < part.FeedTo && part.Seen < part.TailEnd;) {
            const auto count = static_cast<std::uint32_t>(std::min<std::uint64_t>(chunkFrames, part.FeedTo - frame));
            const std::size_t wanted = static_cast<std::size_t>(count) * inFrameBytes;
            const std::size_t got = work.ReadAt(dataOffset + frame * inFrameBytes, bytes.data(), wanted);
            if (got < wanted)
                return Fail(part, PartsEnd::ReadFailed, work.LastError());
            const std::uint32_t produced = converter.Convert(bytes.data(), static_cast<std::uint32_t>(got),
                                                             samples.data(), static_cast<std::uint32_t>(samples.size()));
            if (!part.Stream->Encode(samples.data(), produced, part.Pending))
                return Fail(part, PartsEnd::EncoderFailed);
            if (!SplitFrames(part))
                return false;
            frame += count;
            part.Read.fetch_add(got);
            if (stop.load() || (report && !report()))
                return Fail(part, PartsEnd::Stopped);
        }
        if (part.Seen < part.TailEnd && (!part.Stream->Finish(part.Pending) || !SplitFrames(part)))
            return part.Result.End == PartsEnd::Done ? Fail(part, PartsEnd::EncoderFailed) : false;
        // The last part's stream ends with a whole frame; the others have
        // every frame they hold.
        if (last ? !part.Pending.empty() : part.Seen < part.TailEnd)
            return Fail(part, PartsEnd::EncoderFailed);
        if (!WriteBlock(part))
            return false;
        // A part file is read back once the others are done.
        if (!first && !part.Output.Close())
            return Fail(part, PartsEnd::WriteFailed, part.Output.LastError());
        return true;
    };
    // A part that failed ends the others: the save cannot complete.
    if (!run() && part.Result.End != PartsEnd::Stopped)
        stop.store(true);
    part.Done.store(true);
}

// Writes frames[from, to) to output at `at`, carrying the stream's CRC.
PartsResult WriteFrames(const std::vector<lame::HeldFrame>& frames, std::size_t from, std::size_t to, File& output,
                        std::uint64_t& at, std::uint16_t& crc)
{
    for (std::size_t i = from; i < to; ++i) {
        const std::vector<std::uint8_t>& bytes = frames[i].Bytes;
        if (!output.WriteAt(at, bytes.data(), bytes.size()))
            return {PartsEnd::WriteFailed, output.LastError()};
        crc = lame::Crc16(bytes.data(), bytes.size(), crc);
        at += bytes.size();
    }
    return {PartsEnd::Done, 0};
}

// Copies a part file's size bytes to output at `at`, carrying the stream's
// CRC over them.
PartsResult CopyPart(const std::string& path, std::uint64_t size, File& output, std::uint64_t& at, std::uint16_t& crc)
{
    File part = File::Open(path, File::Mode::Read);
    if (!part)
        return {PartsEnd::WriteFailed, part.LastError()};
    std::vector<std::uint8_t> block(std::min<std::uint64_t>(size, WriteBlockBytes));
    for (std::uint64_t done = 0; done < size;) {
        const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size - done, block.size()));
        if (part.ReadAt(done, block.data(), wanted) < wanted)
            return {PartsEnd::WriteFailed, part.LastError()};
        crc = lame::Crc16(block.data(), wanted, crc);
        if (!output.WriteAt(at, block.data(), wanted))
            return {PartsEnd::WriteFailed, output.LastError()};
        done += wanted;
        at += wanted;
    }
    return {PartsEnd::Done, 0};
}

// The join between before (its tail) and after (its head): the first
// candidate frame of after whose reservoir the frames of before ahead of
// it leave room for, with that reservoir moved into them.  How many of
// the candidates come from before, or nullopt when none fits.
std::optional<std::size_t> Join(Part& before, const Part& after)
{
    for (std::size_t j = 0; j < CandidateFrames; ++j) {
        const std::size_t tailEnd = ContextFrames + j;
        const std::size_t headFrom = PreRollFrames + j;
        const std::uint32_t need = after.Head[headFrom].Layout.MainDataBegin;
        if (before.Tail[tailEnd - 1].Layout.FreeAfter() >= need &&
            lame::MoveReservoir(after.Head, headFrom, before.Tail, tailEnd, need))
            return j;
    }
    return std::nullopt;
}

// The output emptied again, for the save to go in one stream as if the
// parts had never been.
PartsResult StartAgainInOneStream(File& output)
{
    if (!output.Truncate(0))
        return {PartsEnd::WriteFailed, output.LastError()};
    return {};
}

} // namespace

unsigned Mp3PartsFor(std::uint64_t frames, std::uint32_t sampleRate)
{
    unsigned parts = std::clamp(std::thread::hardware_concurrency(), 1u, MostParts);
    while (parts > 1 && frames / parts < SmallestPartSeconds * sampleRate)
        --parts;
    return parts;
}

PartsResult EncodeMp3InParts(const WavToMp3& encoder, const Mp3Format& format, const SampleConverter& converter,
                             File& work, const Document& doc, File& output, const std::string& partPrefix,
                             Progress& bar, unsigned parts)
{
    const std::uint32_t inFrameBytes = converter.InFrameBytes();
    const std::uint64_t frames = doc.DataSize / inFrameBytes;  // samples per channel
    if (parts < 2)
        return {};
    std::list<Part> list;  // a list: parts do not move once their threads run
    for (unsigned k = 0; k < parts; ++k) {
        Part& part = list.emplace_back();
        part.Stream = encoder.OpenPart(format.SampleRate, format.ChannelMode, format.Kbps);
        if (!part.Stream)
            return {};
    }
    // Whatever way this returns, the threads are stopped and joined and
    // the part files removed.
    std::atomic<bool> stop{false};
    struct Cleanup {
        std::list<Part>& Parts;
        std::atomic<bool>& Stop;
        ~Cleanup()
        {
            Stop.store(true);
            for (Part& part : Parts) {
                if (part.Worker.joinable())
                    part.Worker.join();
                if (part.PartFile.empty())
                    continue;
                part.Output.Close();  // its content is given up or already copied
                RemoveFileIfExists(part.PartFile);
            }
        }
    } cleanup{list, stop};
    const std::uint32_t frameSamples = list.front().Stream->Facts().FrameSamples;
    if (frameSamples == 0)
        return {};
    // Each part holds its pre-roll, both joins' frames and some of its own,
    // or the file is left to one stream.
    const std::uint64_t wholeFrames = frames / frameSamples;
    if (wholeFrames / parts < PreRollFrames + ContextFrames + 2 * CandidateFrames + 1)
        return {};
    // Where part k would begin, on a frame boundary of the whole stream
    // (frames of the payload); its join comes at most CandidateFrames later.
    auto startOf = [&](unsigned k) -> std::uint64_t {
        return k >= parts ? frames : wholeFrames * k / parts * frameSamples;
    };

    std::uint64_t total = 0;  // payload bytes all parts read
    unsigned k = 0;
    for (Part& part : list) {
        const bool last = k + 1 == parts;
        // Its stream's frames by their place in the whole stream.
        const std::uint64_t firstFrame = k == 0 ? 0 : startOf(k) / frameSamples - PreRollFrames;
        part.FeedFrom = firstFrame * frameSamples;
        part.HeadEnd = k == 0 ? 0 : PreRollFrames + CandidateFrames;
        if (!last) {
            const std::uint64_t next = startOf(k + 1) / frameSamples;
            part.TailFrom = next - ContextFrames - firstFrame;
            part.TailEnd = next + CandidateFrames - firstFrame;
            part.FeedTo = std::min(frames, (next + CandidateFrames) * frameSamples + PostRollSamples);
        } else {
            part.FeedTo = frames;
        }
        if (k == 0) {
            part.Output = output.Duplicate();
        } else {
            // Made new, never over a file of someone else's; where one
            // cannot be made (a full folder, a name too long) the save
            // goes in one stream.
            part.Output = File::Open(partPrefix + std::to_string(k), File::Mode::CreateNew);
            if (part.Output)
                part.PartFile = partPrefix + std::to_string(k);
        }
        if (!part.Output)
            return k == 0 ? PartsResult{PartsEnd::WriteFailed, part.Output.LastError()} : PartsResult{};
        total += (part.FeedTo - part.FeedFrom) * inFrameBytes;
        ++k;
    }

    for (auto it = std::next(list.begin()); it != list.end(); ++it)
        it->Worker = std::thread(EncodePart, std::ref(*it), work.Duplicate(), std::cref(converter), doc.DataOffset,
                                 std::ref(stop), std::function<bool()>());
    ProgressMeter meter(bar);
    auto report = [&]() {
        std::uint64_t read = 0;
        for (const Part& part : list)
            read += part.Read.load();
        meter.Report(read, total);
        return !meter.StopRequested();
    };
    Part& first = list.front();
    EncodePart(first, work.Duplicate(), converter, doc.DataOffset, stop, report);
    // Then the others, keeping the front end responsive.
    for (const Part& part : list) {
        while (!part.Done.load() && first.Result.End == PartsEnd::Done) {
            if (!report())
                return {PartsEnd::Stopped, 0};
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    stop.store(first.Result.End != PartsEnd::Done);
    for (Part& part : list)
        if (part.Worker.joinable())
            part.Worker.join();
    // A part that failed stopped the others: its failure is the save's.
    for (const Part& part : list)
        if (part.Result.End != PartsEnd::Done && part.Result.End != PartsEnd::Stopped)
            return part.Result;
    if (std::any_of(list.begin(), list.end(), [](const Part& part) { return part.Result.End != PartsEnd::Done; }))
        return {PartsEnd::Stopped, 0};

    // Behind the first part's frames: each join, then the next part.
    std::uint64_t at = first.OutputAt + first.Bytes;
    std::uint64_t audioFrames = first.Frames;
    std::uint16_t crc = first.Crc;
    for (auto it = std::next(list.begin()); it != list.end(); ++it) {
        Part& before = *std::prev(it);
        const std::optional<std::size_t> join = Join(before, *it);
        if (!join)
            return StartAgainInOneStream(output);  // no frame near the join whose reservoir fits
        const std::size_t tailKept = ContextFrames + *join;
        const std::size_t headFrom = PreRollFrames + *join;
        PartsResult written = WriteFrames(before.Tail, 0, tailKept, output, at, crc);
        if (written.End == PartsEnd::Done)
            written = WriteFrames(it->Head, headFrom, it->Head.size(), output, at, crc);
        if (written.End == PartsEnd::Done)
            written = CopyPart(it->PartFile, it->Bytes, output, at, crc);
        if (written.End != PartsEnd::Done)
            return written;
        audioFrames += tailKept + (it->Head.size() - headFrom) + it->Frames;
        meter.Tick();
    }

    // The whole stream's Info frame, in the room the first part left.
    const VELMORA_PART_FACTS& facts = first.Stream->Facts();
    const std::uint64_t decoded = audioFrames * frameSamples;
    if (decoded < facts.Delay + frames || decoded - facts.Delay - frames > 0xFFF)
        return StartAgainInOneStream(output);  // frames that do not add up to the payload
    lame::StreamFacts info;
    info.FirstHeader = first.FirstHeader;
    info.AudioFrames = static_cast<std::uint32_t>(audioFrames);
    info.Delay = facts.Delay;
    info.Padding = static_cast<std::uint32_t>(decoded - facts.Delay - frames);
    info.StreamBytes = static_cast<std::uint32_t>(std::min<std::uint64_t>(at, UINT32_MAX));
    info.MusicCrc = crc;
    info.Kbps = facts.Kbps;
    info.LowpassHz = facts.LowpassHz;
    info.Version = std::string(facts.Version, strnlen(facts.Version, sizeof facts.Version));
    const std::vector<std::uint8_t> frame = lame::BuildInfoFrame(info);
    if (frame.size() != first.OutputAt)
        return {PartsEnd::EncoderFailed, 0};
    if (!output.WriteAt(0, frame.data(), frame.size()))
        return {PartsEnd::WriteFailed, output.LastError()};
    return {PartsEnd::Done, 0};
}

} // namespace velmora
