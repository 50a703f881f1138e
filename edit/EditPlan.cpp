#include "EditPlan.h"

#include "DeleteCutOut.h"
#include "Fades.h"
#include "VolumeChange.h"

namespace velmora {

EditPlan PlanEdit(const Document& doc, const EditRequest& request)
{
    switch (request.Command) {
    case EditCommand::Delete:
    case EditCommand::CutOut: return PlanCut(doc, request.Command);
    case EditCommand::Volume: return PlanVolume(doc, request.Gain, request.Mute);
    case EditCommand::FadeIn: return PlanFade(doc, true);
    case EditCommand::FadeOut: return PlanFade(doc, false);
    }
    return {};
}

std::shared_ptr<const SampleScaling> ScalingFor(const EditRequest& request, std::uint32_t rangeFrames,
                                                std::size_t samplesPerFrame)
{
    switch (request.Command) {
    case EditCommand::Volume:
        return request.Mute || request.Gain == 1.0f ? nullptr : VolumeScalingOf(request.Gain);
    case EditCommand::FadeIn:
    case EditCommand::FadeOut:
        return rangeFrames < 100 ? nullptr
                                 : FadeScalingOf(request.Command == EditCommand::FadeIn, rangeFrames / 100,
                                                 samplesPerFrame);
    case EditCommand::Delete:
    case EditCommand::CutOut: break;
    }
    return nullptr;
}

} // namespace velmora
