#include "EditCommands.h"

#include "Editthreads.h"
#include "Formprocess.h"
#include "Formnormalize.h"
#include "Formvolume.h"
#include "VolumeChange.h"

#include "document/Document.h"
#include "document/EditorWindow.h"
#include "document/ViewCommands.h"
#include "platform/widgets/RunModal.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QProgressBar>

#include <algorithm>

namespace velmora {

void EditCommands::Run(const std::function<std::unique_ptr<TProcessThread>()>& makeWorker, PositionAfter position)
{
    const std::uint32_t playFrame = PlayFrameNow(doc_);
    const std::int64_t viewLeft = window_.ViewLeft();
    window_.StopIfActive();
    window_.ReleaseStream();
    bool ran = false;
    if (std::unique_ptr<TProcessThread> worker = makeWorker()) {
        ProcessForm->ProgressBar1()->setValue(0);
        ProcessForm->ProgressBar2()->setValue(0);
        RunModalWithBody(*ProcessForm, [&worker] { worker->Execute(); });
        ran = true;
    }
    window_.CreateStream();
    // Delete and Cut Out change the column count; the others keep it.
    window_.SetViewWidth(ViewWidthOf(doc_));
    window_.ScrollViewTo(viewLeft);
    const std::uint32_t frame = ran && position == PositionAfter::RangeStart ? doc_.SelStartFrame : playFrame;
    SeekStream(doc_, std::min(frame, doc_.TotalFrames));
    window_.ShowFrame(std::min(frame, doc_.TotalFrames));
    window_.RepaintView();
    window_.UpdateCommandState(psStopped);
}

void EditCommands::Delete()
{
    Run(
        [this] {
            auto worker = std::make_unique<TDelThread>(doc_, history_, *ProcessForm);
            worker->Request.CleanJoins = CleanJoins;
            return worker;
        },
        PositionAfter::RangeStart);
}

void EditCommands::CutOut()
{
    Run(
        [this] {
            auto worker = std::make_unique<TCutOutThread>(doc_, history_, *ProcessForm);
            worker->Request.CleanJoins = CleanJoins;
            return worker;
        },
        PositionAfter::RangeStart);
}

void EditCommands::Volume()
{
    Run([this]() -> std::unique_ptr<TProcessThread> {
        // The dialog never remembers the previous choice.
        VolumeForm->ComboBox1()->setCurrentIndex(DefaultVolumeItem);
        VolumeForm->OtherGain()->setValue(0.0);
        VolumeForm->CheckBoxMute()->setChecked(false);
        if (ExecCentred(*VolumeForm) != QDialog::Accepted)
            return nullptr;
        auto worker = std::make_unique<TSetVolumeThread>(doc_, history_, *ProcessForm);
        worker->Request.Gain = VolumeForm->ChosenGain().value_or(VolumeItems[DefaultVolumeItem].Gain);
        worker->Request.Mute = VolumeForm->CheckBoxMute()->isChecked();
        return worker;
    });
}

void EditCommands::FadeIn()
{
    Run([this] {
        auto worker = std::make_unique<TFadeInThread>(doc_, history_, *ProcessForm);
        worker->Request.Shape = Shape;
        return worker;
    });
}

void EditCommands::FadeOut()
{
    Run([this] {
        auto worker = std::make_unique<TFadeOutThread>(doc_, history_, *ProcessForm);
        worker->Request.Shape = Shape;
        return worker;
    });
}

void EditCommands::Normalize()
{
    Run([this]() -> std::unique_ptr<TProcessThread> {
        if (ExecCentred(*NormalizeForm) != QDialog::Accepted)
            return nullptr;
        return std::make_unique<TNormalizeThread>(doc_, history_, *ProcessForm, NormalizeForm->What(), NormalizeForm->Target());
    });
}

void EditCommands::Apply(const EditRequest& request)
{
    const bool cut = request.Command == EditCommand::Delete || request.Command == EditCommand::CutOut;
    Run([this, request] { return std::make_unique<TEditThread>(doc_, history_, *ProcessForm, request); },
        cut ? PositionAfter::RangeStart : PositionAfter::Kept);
}

void EditCommands::Undo()
{
    Run([this] { return std::make_unique<TUndoThread>(doc_, history_, *ProcessForm); });
}

void EditCommands::Redo()
{
    Run([this] { return std::make_unique<TRedoThread>(doc_, history_, *ProcessForm); });
}

} // namespace velmora
