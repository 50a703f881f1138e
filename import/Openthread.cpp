#include "Openthread.h"

#include "Formopen.h"

#include "OpenSequence.h"
#include "platform/widgets/ProgressOnBar.h"
#include "platform/widgets/QtUserDialogs.h"
#include "platform/widgets/RunModal.h"

namespace velmora {

void TOpenThread::Execute()
{
    dialog_.BodyRunning = true;
    ProgressOnBar decoding(dialog_.ProgressBar1(), &dialog_.StopRequested);
    ProgressOnBar loading(dialog_.ProgressBar2());
    const OpenEnd end = RunOpenBody(doc_, decoding, loading, AppDialogs());
    dialog_.BodyRunning = false;
    switch (end) {
    case OpenEnd::Loaded:
        dialog_.done(FinishedResult);
        if (QWidget* owner = dialog_.parentWidget())
            owner->update();
        break;
    case OpenEnd::Cancelled:
        dialog_.done(AbortResult);
        break;
    case OpenEnd::Failed:
        // A Cancel pressed while the body could not stop ends it now;
        // otherwise the dialog waits for one.
        if (dialog_.StopRequested)
            dialog_.done(AbortResult);
        break;
    }
}

} // namespace velmora
