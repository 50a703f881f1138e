#include "Normalize.h"

#include <cmath>

namespace velmora {

NormalizeGain NormalizeGainFor(const LoudnessFigures& figures, NormalizeTo what, double target)
{
    NormalizeGain result;
    const double measured = what == NormalizeTo::Peak ? figures.SamplePeak : figures.Integrated;
    if (!std::isfinite(measured)) {
        result.Refusal = "There is nothing to normalize: the range is silent.";
        return result;
    }
    const double gainDb = target - measured;
    if (what == NormalizeTo::Loudness && std::isfinite(figures.TruePeak) &&
        figures.TruePeak + gainDb > NormalizeTruePeakCeiling + 1e-9) {
        const double highest = measured + (NormalizeTruePeakCeiling - figures.TruePeak);
        result.Refusal = "The loudness cannot be reached without clipping.\nThe highest loudness without clipping is " +
                         LoudnessText(highest) + " LUFS.";
        return result;
    }
    result.Possible = true;
    result.Gain = static_cast<float>(std::pow(10.0, gainDb / 20.0));
    return result;
}

} // namespace velmora
