#include "Reloadthread.h"

#include "Formreload.h"
#include "Zoom.h"

#include "platform/widgets/ProgressOnBar.h"
#include "platform/widgets/QtUserDialogs.h"
#include "platform/widgets/RunModal.h"

namespace velmora {

void TReloadThread::Execute()
{
    ProgressOnBar bar(dialog_.ProgressBar1());
    ApplyZoomChange(doc_, zoom_, bar, AppDialogs());
    dialog_.done(FinishedResult);
    if (QWidget* owner = dialog_.parentWidget())
        owner->update();
}

} // namespace velmora
