#include "Editthreads.h"

#include "Formprocess.h"

#include "platform/widgets/ProgressOnBar.h"
#include "platform/widgets/QtUserDialogs.h"
#include "platform/widgets/RunModal.h"

namespace velmora {

void TEditThread::Execute()
{
    ProgressOnBar processing(dialog_.ProgressBar1());
    ProgressOnBar reloading(dialog_.ProgressBar2());
    RunEdit(doc_, Request, processing, reloading, AppDialogs());
    dialog_.done(FinishedResult);
    if (QWidget* owner = dialog_.parentWidget())
        owner->update();
}

} // namespace velmora
