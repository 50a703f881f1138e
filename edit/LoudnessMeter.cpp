#include "LoudnessMeter.h"

#include "history/EditRange.h"

#include "document/Document.h"
#include "platform/File.h"
#include "platform/ProgressMeter.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <vector>

namespace velmora {

namespace {

struct StateCloser {
    void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
};
using Meter = std::unique_ptr<ebur128_state, StateCloser>;

constexpr double MinusInfinity = -std::numeric_limits<double>::infinity();

double Decibels(double amplitude)
{
    return amplitude > 0 ? 20 * std::log10(amplitude) : MinusInfinity;
}

// A figure libebur128 gives through its out parameter: it says "nothing"
// with -HUGE_VAL, and a failed query is nothing too.
template <typename Query>
double Figure(Query query)
{
    double value = 0;
    return query(&value) == EBUR128_SUCCESS && std::isfinite(value) ? value : MinusInfinity;
}

} // namespace

std::optional<LoudnessFigures> MeasureLoudness(const Document& doc, Progress& progress)
{
    const int channels = doc.Channels == 1 ? 1 : 2;
    const bool eightBit = doc.BitsPerSample == 8;
    if (doc.SampleRate <= 0 || doc.FrameSize <= 0)
        return std::nullopt;
    Meter meter(ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(doc.SampleRate),
                             EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_TRUE_PEAK | EBUR128_MODE_S));
    File file = File::Open(doc.WorkFile, File::Mode::Read);
    if (meter == nullptr || !file)
        return std::nullopt;

    const EditRange range = EditRangeOf(doc);
    const auto frameSize = static_cast<std::uint64_t>(doc.FrameSize);
    // Momentary loudness moves in steps of 100 ms: the sound goes in in
    // such steps, and the loudest windows are read after each.
    const std::uint64_t stepFrames = std::max<std::uint64_t>(1, static_cast<std::uint64_t>(doc.SampleRate) / 10);
    const std::uint64_t momentaryFrames = static_cast<std::uint64_t>(doc.SampleRate) * 4 / 10;
    const std::uint64_t shortTermFrames = static_cast<std::uint64_t>(doc.SampleRate) * 3;
    constexpr std::uint64_t StepsPerRead = 10;
    std::vector<unsigned char> bytes(static_cast<std::size_t>(stepFrames * StepsPerRead * frameSize));
    std::vector<short> samples;
    ProgressMeter shown(progress);
    LoudnessFigures figures;
    figures.MaxMomentary = figures.MaxShortTerm = MinusInfinity;
    std::uint64_t fed = 0;  // frames
    const std::uint64_t total = range.EndByte - range.StartByte;
    for (std::uint64_t at = range.StartByte; at < range.EndByte;) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), range.EndByte - at));
        if (file.ReadAt(at, bytes.data(), want) != want)
            return std::nullopt;
        const std::size_t frames = want / static_cast<std::size_t>(frameSize);
        samples.resize(frames * static_cast<std::size_t>(channels));
        for (std::size_t i = 0; i < samples.size(); ++i) {
            samples[i] = eightBit ? static_cast<short>((bytes[i] - 128) * 256)
                                  : static_cast<short>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        }
        for (std::size_t first = 0; first < frames; first += static_cast<std::size_t>(stepFrames)) {
            const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(stepFrames), frames - first);
            if (ebur128_add_frames_short(meter.get(), samples.data() + first * static_cast<std::size_t>(channels),
                                         count) != EBUR128_SUCCESS)
                return std::nullopt;
            fed += count;
            double value = 0;
            if (fed >= momentaryFrames && ebur128_loudness_momentary(meter.get(), &value) == EBUR128_SUCCESS &&
                std::isfinite(value))
                figures.MaxMomentary = std::max(figures.MaxMomentary, value);
            if (fed >= shortTermFrames && ebur128_loudness_shortterm(meter.get(), &value) == EBUR128_SUCCESS &&
                std::isfinite(value))
                figures.MaxShortTerm = std::max(figures.MaxShortTerm, value);
        }
        at += want;
        shown.Report(at - range.StartByte, total);
        if (shown.StopRequested())
            return std::nullopt;
    }

    figures.Integrated = Figure([&](double* out) { return ebur128_loudness_global(meter.get(), out); });
    figures.Range = fed >= shortTermFrames
                        ? Figure([&](double* out) { return ebur128_loudness_range(meter.get(), out); })
                        : 0.0;
    double truePeak = 0;
    double samplePeak = 0;
    for (int channel = 0; channel < channels; ++channel) {
        double peak = 0;
        if (ebur128_true_peak(meter.get(), static_cast<unsigned>(channel), &peak) == EBUR128_SUCCESS)
            truePeak = std::max(truePeak, peak);
        if (ebur128_sample_peak(meter.get(), static_cast<unsigned>(channel), &peak) == EBUR128_SUCCESS)
            samplePeak = std::max(samplePeak, peak);
    }
    figures.TruePeak = Decibels(truePeak);
    figures.SamplePeak = Decibels(samplePeak);
    return figures;
}

std::string LoudnessText(double figure)
{
    if (!std::isfinite(figure))
        return figure < 0 ? "-inf" : "inf";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", figure);
    // "-0.0" reads as a sign without a value.
    return std::string(text) == "-0.0" ? "0.0" : text;
}

} // namespace velmora
