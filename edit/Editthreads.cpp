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
    RunEdit(Doc(), History(), Request, processing, reloading, AppDialogs());
}

void TNormalizeThread::Run(Progress& processing, Progress& reloading)
{
    const std::optional<LoudnessFigures> figures = MeasureLoudness(Doc(), processing);
    if (!figures) {
        AppDialogs().ShowMessage("Cannot open the temporary file.");
        return;
    }
    const NormalizeGain gain = NormalizeGainFor(*figures, what_, target_);
    if (!gain.Possible) {
        AppDialogs().ShowMessage(gain.Refusal);
        return;
    }
    RunEdit(Doc(), History(), {EditCommand::Normalize, gain.Gain, false}, processing, reloading, AppDialogs());
}

void TUndoThread::Run(Progress& processing, Progress& reloading)
{
    UndoEdit(Doc(), History(), processing, reloading, AppDialogs());
}

void TRedoThread::Run(Progress& processing, Progress& reloading)
{
    RedoEdit(Doc(), History(), processing, reloading, AppDialogs());
}

} // namespace velmora
