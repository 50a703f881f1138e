#pragma once

#include "LoudnessMeter.h"

#include <string>

namespace velmora {

// What Normalize brings the edit range to: its sample peak, in dBFS, or
// its integrated loudness, in LUFS.  Gain only: never a limiter.
enum class NormalizeTo { Peak, Loudness };

inline constexpr double DefaultNormalizePeak = -1.0;       // dBFS
inline constexpr double DefaultNormalizeLoudness = -16.0;  // LUFS
// A loudness target may raise the true peak to this and no further.
inline constexpr double NormalizeTruePeakCeiling = -1.0;   // dBTP

struct NormalizeGain {
    bool Possible = false;
    float Gain = 1.0f;        // the factor the range is scaled by
    std::string Refusal;      // why not, for the user, when not possible
};

// The gain that takes a range measured as figures to target.  Refused for
// a silent range, and for a loudness the range cannot reach without its
// true peak passing NormalizeTruePeakCeiling: the refusal then names the
// highest loudness it can reach.
NormalizeGain NormalizeGainFor(const LoudnessFigures& figures, NormalizeTo what, double target);

} // namespace velmora
