#pragma once

#include "history/EditBody.h"
#include "history/EditPlan.h"

#include <optional>
#include <string>

namespace velmora {

class Progress;
class UserDialogs;
struct Document;

// The volume list, in its order: the percentage each item shows ("250%")
// and the gain it gives.  The Volume dialog's list and velmora-cli's
// --volume are made from it.
struct VolumeItem {
    int Percent;
    float Gain;
};
inline constexpr VolumeItem VolumeItems[] = {
    {250, 2.5f}, {200, 2.0f}, {150, 1.5f}, {100, 1.0f}, {75, 0.75f}, {50, 0.5f}, {25, 0.25f},
};
inline constexpr int DefaultVolumeItem = 3;  // 100%

// An item as the list shows it: "250%".
std::string VolumeItemText(const VolumeItem& item);

// The percentages of the list, separated by separator: "250, 200, ... 25".
std::string VolumePercentsText(const char* separator);

// The gain of a percentage that is in the list (250, 200, ... 25).
std::optional<float> GainForPercent(int percent);

// Volume's scaling at gain: trunc(x * gain), clamped.
std::shared_ptr<const SampleScaling> VolumeScalingOf(float gain);

// What Volume declares: with mute, the edit range written over with
// silence; at a gain of 1 without mute, nothing; otherwise every sample of
// the range scaled to trunc(x * gain), clamped.
EditPlan PlanVolume(const Document& doc, float gain, bool mute);

// Volume: every sample of the edit range becomes trunc(x * gain) (computed
// in double precision), clamped; with mute every sample becomes silence and
// nothing is read.  A gain of 1 without mute changes nothing: the file is
// not opened and the peaks are not rescanned.  Otherwise the peaks are
// rescanned into the existing arrays.
EditEnd RunVolumeBody(Document& doc, float gain, bool mute, Progress& processing, Progress& reloading,
                      UserDialogs& dialogs);

} // namespace velmora
