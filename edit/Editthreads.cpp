#include "Editthreads.h"

#include "Formprocess.h"

#include "platform/widgets/ProgressOnBar.h"
#include "platform/widgets/QtUserDialogs.h"
#include "platform/widgets/RunModal.h"

namespace velmora {

void TProcessThread::Execute()
{
    ProgressOnBar processing(dialog_.ProgressBar1());
    ProgressOnBar reloading(dialog_.ProgressBar2());
    Run(processing, reloading);
    dialog_.done(FinishedResult);
    if (QWidget* owner = dialog_.parentWidget())
        owner->update();
}

void TEditThread::Run(Progress& processing, Progress& reloading)
{
    RunEdit(Doc(), Request, processing, reloading, AppDialogs());
}

void TUndoThread::Run(Progress& processing, Progress& reloading)
{
    UndoEdit(Doc(), processing, reloading, AppDialogs());
}

void TRedoThread::Run(Progress& processing, Progress& reloading)
{
    RedoEdit(Doc(), processing, reloading, AppDialogs());
}

} // namespace velmora
