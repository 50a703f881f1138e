#include "Openthread.h"

#include "Formopen.h"

#include "app/BarProgress.h"
#include "app/DialogService.h"
#include "app/Formmain.h"
#include "app/ModalBody.h"
#include "document/OpenSequence.h"

namespace velmora {

void TOpenThread::Execute()
{
    dialog_.BodyRunning = true;
    BarProgress decoding(dialog_.ProgressBar1(), &dialog_.StopRequested);
    BarProgress loading(dialog_.ProgressBar2());
    const OpenEnd end = RunOpenBody(main_.Doc, decoding, loading, AppDialogs());
    dialog_.BodyRunning = false;
    switch (end) {
    case OpenEnd::Loaded:
        dialog_.done(FinishedResult);
        main_.update();
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
