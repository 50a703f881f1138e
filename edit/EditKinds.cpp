#include "EditKinds.h"

#include "DeleteCutOut.h"
#include "Fades.h"
#include "VolumeChange.h"

#include <iterator>

namespace velmora {

namespace {

std::shared_ptr<const SampleScaling> NoScaling(const EditRequest&, std::uint32_t, std::size_t)
{
    return nullptr;
}

std::shared_ptr<const SampleScaling> FadeScaling(const EditRequest& request, std::uint32_t rangeFrames,
                                                 std::size_t samplesPerFrame)
{
    return FadeScalingOf(request.Command == EditCommand::FadeIn, rangeFrames, samplesPerFrame, request.Shape);
}

} // namespace

constexpr EditKind EditKinds[std::size(EditCommandNames)] = {
    {EditCommand::Delete, "--delete", "remove the frames between the markers", "MDelete", "ButtonDelete",
     PlanCut, NoScaling,
     SetMarkersAfterDelete, false},
    {EditCommand::CutOut, "--cut-out", "keep only the frames between the markers", "MCutOut", "ButtonCutOut",
     PlanCut, NoScaling,
     SetMarkersAfterCutOut, true},
    {EditCommand::Volume, nullptr, nullptr, "MVolume", "ButtonVolume",
     [](const Document& doc, const EditRequest& request) { return PlanVolume(doc, request.Gain, request.Mute); },
     [](const EditRequest& request, std::uint32_t, std::size_t) -> std::shared_ptr<const SampleScaling> {
         return request.Mute || request.Gain == 1.0f ? nullptr : VolumeScalingOf(request.Gain);
     },
     nullptr, false},
    {EditCommand::FadeIn, "--fade-in", "fade them in", "MFadeIn", "ButtonFadeIn",
     [](const Document& doc, const EditRequest& request) { return PlanFade(doc, true, request.Shape); }, FadeScaling,
     nullptr, false},
    {EditCommand::FadeOut, "--fade-out", "fade them out", "MFadeOut", "ButtonFadeOut",
     [](const Document& doc, const EditRequest& request) { return PlanFade(doc, false, request.Shape); },
     FadeScaling, nullptr, false},
    {EditCommand::Normalize, nullptr, nullptr, "MNormalize", nullptr,
     [](const Document& doc, const EditRequest& request) {
         EditPlan plan = PlanVolume(doc, request.Gain, false);
         plan.Request = request;
         return plan;
     },
     [](const EditRequest& request, std::uint32_t, std::size_t) -> std::shared_ptr<const SampleScaling> {
         return request.Gain == 1.0f ? nullptr : VolumeScalingOf(request.Gain);
     },
     nullptr, false},
};
static_assert(std::size(EditKinds) == std::size(EditCommandNames), "a row for every edit");

constexpr bool RowsInCommandOrder()
{
    for (std::size_t i = 0; i < std::size(EditKinds); ++i) {
        if (static_cast<std::size_t>(EditKinds[i].Command) != i)
            return false;
    }
    return true;
}
static_assert(RowsInCommandOrder(), "EditKindOf indexes the rows by command");

const EditKind& EditKindOf(EditCommand command)
{
    return EditKinds[static_cast<std::size_t>(command)];
}

const char* EditName(EditCommand command)
{
    return EditCommandNames[static_cast<std::size_t>(command)];
}

} // namespace velmora
