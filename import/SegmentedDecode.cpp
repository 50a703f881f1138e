#include "SegmentedDecode.h"

#include "platform/File.h"
#include "platform/FileCopy.h"
#include "platform/PathText.h"
#include "platform/ProgressMeter.h"
#include "platform/audio/DecodeChannel.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <list>
#include <thread>
#include <vector>

namespace velmora {

namespace {

// Files smaller than this decode in one piece: threads would not pay.
constexpr std::uint64_t SmallestSplitFile = 256u << 10;
constexpr unsigned MostSegments = 8;
// Small enough that the stop request is seen at once and the bar moves smoothly.
constexpr std::uint32_t BlockBytes = 64u << 10;

// One segment after the first, decoded on a thread of its own: straight
// into the working file where its start is known from the packets before it
// (Direct), otherwise into a part file.  The thread writes Bytes as it goes
// and, once it is done, Start, Exact, Failed and TooLong before Done.
struct Segment {
    std::uint64_t FirstByte = 0;  // bytes of the source file
    std::uint64_t EndByte = 0;
    bool Direct = false;
    File Output;                  // a second handle on the working file, or the part file
    std::string PartFile;
    std::uint64_t Start = 0;      // Direct: bytes of sound before it, as predicted
    std::atomic<std::uint64_t> Bytes{0};  // bytes of sound written
    std::atomic<bool> Done{false};
    bool Exact = true;
    bool Failed = false;
    bool TooLong = false;
    std::thread Worker;
};

enum class PumpEnd { Done, WriteFailed, TooLong };

// Feeds what a segment's channel delivers to write(bytes so far, data,
// size) until the channel is exhausted, the stop flag is raised, a write
// fails or the sound passes maxBytes.
template <typename Write>
PumpEnd Pump(DecodeChannel& channel, const std::atomic<bool>& stop, std::uint64_t maxBytes,
             std::atomic<std::uint64_t>& bytes, Write write)
{
    std::vector<unsigned char> block(BlockBytes);
    std::uint64_t done = 0;
    while (!stop.load()) {
        const std::uint32_t got = channel.Read(block.data(), BlockBytes);
        if (got == static_cast<std::uint32_t>(-1))
            break;
        if (done + got > maxBytes)
            return PumpEnd::TooLong;
        if (!write(done, block.data(), got))
            return PumpEnd::WriteFailed;
        done += got;
        bytes.store(done);
    }
    return PumpEnd::Done;
}

// What a stream's start holds back beyond its packets' durations, bytes,
// once the first segment has measured it.
struct StartShortfall {
    std::atomic<std::int64_t> Bytes{0};
    std::atomic<bool> Known{false};
};

void DecodeSegment(Segment& segment, const std::string& sourceFile, const std::atomic<bool>& stop,
                   const StartShortfall& shortfall, std::uint64_t workOffset, std::uint64_t maxBytes)
{
    auto channel = DecodeChannel::OpenSegment(sourceFile, segment.FirstByte, segment.EndByte);
    if (!channel || !segment.Output) {
        segment.Failed = true;
    } else {
        const PumpEnd end = Pump(*channel, stop, maxBytes, segment.Bytes,
                                 [&](std::uint64_t at, const void* data, std::size_t size) {
                                     if (!segment.Direct)
                                         return segment.Output.WriteAt(at, data, size);
                                     // Known once the segment's first bytes are there and
                                     // the first segment has measured its start.
                                     while (!shortfall.Known.load() && !stop.load())
                                         std::this_thread::sleep_for(std::chrono::milliseconds(1));
                                     const auto predicted = static_cast<std::int64_t>(channel->PredictedStartBytes());
                                     segment.Start = static_cast<std::uint64_t>(
                                         std::max<std::int64_t>(0, predicted - shortfall.Bytes.load()));
                                     return segment.Output.WriteAt(workOffset + segment.Start + at, data, size);
                                 });
        segment.Exact = channel->SegmentExact();
        segment.TooLong = end == PumpEnd::TooLong;
        segment.Failed = !segment.Output.Close() || end == PumpEnd::WriteFailed;
    }
    segment.Done.store(true);
}

} // namespace

SegmentedResult DecodeInSegments(const std::string& sourceFile, File& work, std::uint64_t offset,
                                 std::uint64_t estimatedBytes, std::uint64_t maxBytes, const std::string& partPrefix,
                                 ProgressMeter& meter, unsigned segments)
{
    std::error_code error;
    const std::uint64_t sourceBytes = std::filesystem::file_size(sourceFile, error);
    if (segments == 0)
        segments = std::min(std::thread::hardware_concurrency(), MostSegments);
    if (error || segments < 2 || sourceBytes < SmallestSplitFile)
        return {};
    // Split points in the source file; each segment takes the packets that
    // begin between its own and the next one's.
    auto splitAt = [&](unsigned k) { return k >= segments ? UINT64_MAX : sourceBytes * k / segments; };
    auto first = DecodeChannel::OpenSegment(sourceFile, 0, splitAt(1));
    if (!first || !first->CanSegment())
        return {};

    std::atomic<bool> stop{false};
    StartShortfall shortfall;
    const bool direct = first->HasExactPacketDurations();
    std::list<Segment> others;  // a list: segments do not move once their threads run
    for (unsigned k = 1; k < segments; ++k) {
        Segment& segment = others.emplace_back();
        segment.FirstByte = splitAt(k);
        segment.EndByte = splitAt(k + 1);
        segment.Direct = direct;
        segment.PartFile = partPrefix + std::to_string(k);
        segment.Output = direct ? work.Duplicate() : File::Open(segment.PartFile, File::Mode::Create);
        segment.Worker = std::thread(DecodeSegment, std::ref(segment), std::cref(sourceFile), std::cref(stop),
                                     std::cref(shortfall), offset, maxBytes);
    }
    auto decodedSoFar = [&](std::uint64_t firstBytes) {
        std::uint64_t total = firstBytes;
        for (const Segment& segment : others)
            total += segment.Bytes.load();
        return std::min(total, estimatedBytes);
    };
    // Ends the threads and removes the part files.  A decode that did not
    // complete leaves the working file with the first segment's part only,
    // whatever the others wrote after it.
    auto finish = [&](SegmentedResult result) {
        stop.store(true);
        for (Segment& segment : others) {
            if (segment.Worker.joinable())
                segment.Worker.join();
            if (!segment.Direct)
                RemoveFileIfExists(segment.PartFile);
        }
        if (direct && result.End != SegmentedEnd::Decoded && result.End != SegmentedEnd::NotPossible &&
            !work.Truncate(offset + result.Bytes))
            result.End = SegmentedEnd::Failed;
        return result;
    };

    // The first segment, here, straight into the working file.
    std::atomic<std::uint64_t> firstBytes{0};
    bool cancelled = false;
    const PumpEnd firstEnd = Pump(*first, stop, maxBytes, firstBytes, [&](std::uint64_t at, const void* data, std::size_t size) {
        if (!shortfall.Known.load()) {
            shortfall.Bytes.store(first->StartShortfall());
            shortfall.Known.store(true);
        }
        meter.Report(decodedSoFar(at + size), estimatedBytes);
        if (meter.StopRequested()) {
            cancelled = true;
            stop.store(true);
        }
        return work.WriteAt(offset + at, data, size);
    });
    shortfall.Known.store(true);  // (a first segment without sound)
    if (firstEnd != PumpEnd::Done)
        return finish({firstEnd == PumpEnd::TooLong ? SegmentedEnd::TooLong : SegmentedEnd::Failed, firstBytes.load()});
    // Then the others, keeping the front end responsive; polled often, so
    // that the open goes on as soon as the last one is done.
    for (const Segment& segment : others) {
        while (!segment.Done.load() && !cancelled) {
            meter.Report(decodedSoFar(firstBytes.load()), estimatedBytes);
            if (meter.StopRequested()) {
                cancelled = true;
                stop.store(true);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    if (cancelled)
        return finish({SegmentedEnd::Cancelled, firstBytes.load()});
    for (Segment& segment : others)
        segment.Worker.join();

    bool exact = first->SegmentExact();
    bool failed = false;
    bool tooLong = false;
    std::uint64_t total = firstBytes.load();
    for (const Segment& segment : others) {
        exact = exact && segment.Exact;
        failed = failed || segment.Failed;
        tooLong = tooLong || segment.TooLong;
        // A segment written in place must begin where the ones before it end.
        if (segment.Direct && segment.Bytes.load() > 0 && segment.Start != total)
            exact = false;
        total += segment.Bytes.load();
    }
    if (failed)
        return finish({SegmentedEnd::Failed, firstBytes.load()});
    if (!exact) {
        // Not to be matched with the sequential decode: it starts afresh.
        if (!work.Truncate(offset))
            return finish({SegmentedEnd::Failed, 0});
        return finish({});
    }
    if (tooLong || total > maxBytes)
        return finish({SegmentedEnd::TooLong, firstBytes.load()});
    if (direct)
        return finish({SegmentedEnd::Decoded, total});

    // The parts after the first, in order, copied in by the kernel.
    total = firstBytes.load();
    for (const Segment& segment : others) {
        File part = File::Open(segment.PartFile, File::Mode::Read);
        const std::uint64_t size = segment.Bytes.load();
        if (total + size > maxBytes)
            return finish({SegmentedEnd::TooLong, total});
        if (!part || !CopyFileData(part, 0, work, offset + total, size, [&](std::uint64_t) { meter.Tick(); }))
            return finish({SegmentedEnd::Failed, total});
        total += size;
    }
    return finish({SegmentedEnd::Decoded, total});
}

SegmentedResult DecodeSound(const std::string& sourceFile, File& work, std::uint64_t offset,
                            std::uint64_t estimatedBytes, std::uint64_t maxBytes, const std::string& partPrefix,
                            ProgressMeter& meter)
{
    const SegmentedResult segmented =
        DecodeInSegments(sourceFile, work, offset, estimatedBytes, maxBytes, partPrefix, meter);
    if (segmented.End != SegmentedEnd::NotPossible)
        return segmented;

    auto channel = DecodeChannel::Open(sourceFile);
    if (!channel)
        return {SegmentedEnd::Failed, 0};
    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> bytes{0};
    bool cancelled = false;
    const PumpEnd end = Pump(*channel, stop, maxBytes, bytes, [&](std::uint64_t at, const void* data, std::size_t size) {
        meter.Report(std::min(at + size, estimatedBytes), estimatedBytes);
        if (meter.StopRequested()) {
            cancelled = true;
            stop.store(true);
        }
        return work.WriteAt(offset + at, data, size);
    });
    switch (end) {
    case PumpEnd::TooLong: return {SegmentedEnd::TooLong, bytes.load()};
    case PumpEnd::WriteFailed: return {SegmentedEnd::Failed, bytes.load()};
    case PumpEnd::Done: break;
    }
    return {cancelled ? SegmentedEnd::Cancelled : SegmentedEnd::Decoded, bytes.load()};
}

} // namespace velmora
