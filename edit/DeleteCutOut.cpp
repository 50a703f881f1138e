#include "DeleteCutOut.h"

#include "CleanJoins.h"

#include "history/ApplyPlan.h"
#include "history/EditRange.h"

#include "document/Document.h"
#include "platform/File.h"

#include <algorithm>

namespace velmora {

EditPlan PlanCut(const Document& doc, const EditRequest& request)
{
    if (request.CleanJoins) {
        File file = File::Open(doc.WorkFile, File::Mode::Read);
        return CleanCutOf(file, doc, request.Command, EditRangeOf(doc));
    }
    EditPlan plan;
    plan.Request = {request.Command};
    plan.What = EditPlan::Kind::Cut;
    plan.Range = EditRangeOf(doc);
    return plan;
}

EditEnd RunDeleteBody(Document& doc, Progress& processing, Progress& reloading, UserDialogs& dialogs)
{
    return ApplyPlan(doc, PlanCut(doc, {EditCommand::Delete}), processing, reloading, dialogs);
}

EditEnd RunCutOutBody(Document& doc, Progress& processing, Progress& reloading, UserDialogs& dialogs)
{
    return ApplyPlan(doc, PlanCut(doc, {EditCommand::CutOut}), processing, reloading, dialogs);
}

void SetMarkersAfterDelete(Document& doc)
{
    // The start marker stays at the join; the finish marker frames the
    // column after the join's, within the file (no columns are left when
    // everything went).
    const std::uint32_t finishColumn = std::min(doc.SelStart + 1, LastColumn(doc));
    SetMarkerFrames(doc, doc.SelStartFrame, std::max(FinishFrameOfColumn(doc, finishColumn), doc.SelStartFrame));
}

void SetMarkersAfterCutOut(Document& doc)
{
    SelectAll(doc);
}

} // namespace velmora
