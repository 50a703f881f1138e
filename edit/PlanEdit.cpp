#include "EditKinds.h"

namespace velmora {

EditPlan PlanEdit(const Document& doc, const EditRequest& request)
{
    return EditKindOf(request.Command).Plan(doc, request);
}

std::shared_ptr<const SampleScaling> ScalingFor(const EditRequest& request, std::uint32_t rangeFrames,
                                                std::size_t samplesPerFrame)
{
    return EditKindOf(request.Command).Scaling(request, rangeFrames, samplesPerFrame);
}

} // namespace velmora
