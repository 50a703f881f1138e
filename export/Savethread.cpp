#include "Savethread.h"

#include "Formsave.h"

#include "platform/widgets/ProgressOnBar.h"
#include "platform/widgets/QtUserDialogs.h"
#include "platform/widgets/RunModal.h"

namespace velmora {

void TSaveThread::Execute()
{
    dialog_.BodyRunning = true;
    ProgressOnBar bar(dialog_.ProgressBar1(), &dialog_.StopRequested);
    bool encoderRefused = false;
    end_ = RunSaveBody(doc_, Destination, bar, AppDialogs(), &encoderRefused);
    dialog_.BodyRunning = false;
    // The encoder's own message asks the user to dismiss the dialog.
    if (encoderRefused && !dialog_.StopRequested)
        return;
    dialog_.done(dialog_.StopRequested ? AbortResult : FinishedResult);
    if (QWidget* owner = dialog_.parentWidget())
        owner->update();
}

} // namespace velmora
