// The main window's handlers of the subsystems' commands: one call each
// into the command code beside its subsystem.

#include "Formmain.h"
#include "Formloudness.h"
#include "Formproperties.h"
#include "Formselection.h"
#include "SelectionReadout.h"
#include "history/StepTransaction.h"
#include "document/Units.h"

#include "document/ViewCommands.h"
#include "edit/EditCommands.h"
#include "export/SaveCommands.h"
#include "import/OpenCloseCommands.h"
#include "platform/widgets/QtUserDialogs.h"
#include "platform/widgets/RunModal.h"
#include "playback/Transport.h"
#include "ui_Formmain.h"

#include <QTimer>

namespace velmora {

// ---- Open and Close ----
void TMainForm::ButtonOpenClick() { openClose_->Open(); }
void TMainForm::OpenSourceFile() { openClose_->OpenSourceFile(); }
void TMainForm::ButtonCloseClick() { openClose_->Close(); }

// ---- Save and Save As ----
void TMainForm::ButtonSaveClick() { save_->Save(); }
void TMainForm::ButtonSaveAsClick() { save_->SaveAs(); }
void TMainForm::MSaveClick() { ButtonSaveClick(); }
void TMainForm::MSaveAsClick() { ButtonSaveAsClick(); }

// ---- The edits ----
void TMainForm::ButtonDeleteClick() { edit_->Delete(); }
void TMainForm::ButtonCutOutClick() { edit_->CutOut(); }
void TMainForm::ButtonVolumeClick() { edit_->Volume(); }
void TMainForm::ButtonFadeInClick() { edit_->FadeIn(); }
void TMainForm::ButtonFadeOutClick() { edit_->FadeOut(); }
void TMainForm::MDeleteClick() { ButtonDeleteClick(); }
void TMainForm::MCutOutClick() { ButtonCutOutClick(); }
void TMainForm::MVolumeClick() { ButtonVolumeClick(); }
void TMainForm::MFadeInClick() { ButtonFadeInClick(); }
void TMainForm::MFadeOutClick() { ButtonFadeOutClick(); }
void TMainForm::MUndoClick() { edit_->Undo(); }
void TMainForm::MRedoClick() { edit_->Redo(); }

// ---- The waveform view ----
WaveScene TMainForm::CurrentWaveScene() const { return view_->Scene(palette()); }
void TMainForm::PaintBox1Paint() { view_->Paint(); }
void TMainForm::PaintBox1MouseDown(Qt::MouseButton button, int x, int y) { view_->MouseDown(button, x, y); }
void TMainForm::PaintBox1MouseUp(Qt::MouseButton button, int x, int y) { view_->MouseUp(button, x, y); }
void TMainForm::MSelectAllClick() { view_->SelectAll(); }
void TMainForm::ButtonZoomInClick() { view_->ZoomIn(); }
void TMainForm::ButtonZoomOutClick() { view_->ZoomOut(); }
void TMainForm::MZoom10Click() { view_->ChangeZoom(10 * ZoomRatioFrames); }
void TMainForm::MZoom8Click() { view_->ChangeZoom(8 * ZoomRatioFrames); }
void TMainForm::MZoom6Click() { view_->ChangeZoom(6 * ZoomRatioFrames); }
void TMainForm::MZoom4Click() { view_->ChangeZoom(4 * ZoomRatioFrames); }
void TMainForm::MZoom2Click() { view_->ChangeZoom(2 * ZoomRatioFrames); }
void TMainForm::MZoom1Click() { view_->ChangeZoom(1 * ZoomRatioFrames); }
void TMainForm::MZoomWholeClick() { view_->ZoomToWholeFile(); }

void TMainForm::MSetSelectionClick()
{
    const std::array<double, 4> now = ReadoutSeconds(Doc);
    SelectionForm->SetTimes(now[0], now[1]);
    if (ExecCentred(*SelectionForm) != QDialog::Accepted)
        return;
    const auto times = SelectionForm->Times();
    if (!times || !Doc.DocumentOpen)
        return;
    // To the nearest frame; a time past the end is the end.
    auto frameAt = [this](double seconds) {
        return FrameAtSeconds(seconds, Doc.SampleRate, Doc.TotalFrames).value_or(Doc.TotalFrames);
    };
    SetMarkerFrames(Doc, frameAt(times->first), frameAt(times->second));
    view_->ShowFrame(Doc.SelStartFrame);
    UpdateCommandState(Doc.PlayState);
    RepaintView();
}

void TMainForm::MLoudnessClick()
{
    if (!Doc.DocumentOpen)
        return;
    // Measured while the sound plays on: the measure reads the working file.
    LoudnessForm->Measure(Doc);
}

void TMainForm::MNormalizeClick() { edit_->Normalize(); }

void TMainForm::MPropertiesClick()
{
    if (!Doc.DocumentOpen)
        return;
    PropertiesForm->SetTags(Doc.Metadata);
    if (ExecCentred(*PropertiesForm) != QDialog::Accepted)
        return;
    SetMetadata(Doc, PropertiesForm->TypedTags());
    // The private folder's record follows, for a start after a kill.
    if (!NoteDocument(Doc, History))
        AppDialogs().ShowMessage("Cannot write the temporary file.");
    UpdateCommandState(Doc.PlayState);
}

// ---- The transport ----
void TMainForm::CButtonPlayClick() { transport_->Play(); }
void TMainForm::CButtonPlayFromHereClick() { transport_->PlayFromHere(); }
void TMainForm::CButtonPauseClick() { transport_->Pause(); }
void TMainForm::CButtonStopClick() { transport_->Stop(); }
void TMainForm::CButtonSetStartClick() { transport_->SetStart(); }
void TMainForm::CButtonSetFinishClick() { transport_->SetFinish(); }
void TMainForm::MPlaySelectionClick() { transport_->PlaySelection(); }
void TMainForm::MLoopClick(bool on) { transport_->SetLoop(on); }

void TMainForm::Timer1Timer()
{
    transport_->Tick({SpectrumView.get(), ui_->PaintBox2, LevelView.get(), ui_->PaintBox3, FftData});
    FollowPlayCursor();
    Readout->Show(Doc);
    // Only playing gives the timer work: once the displays show the state
    // that followed, it sleeps until the next change of state.
    if (Doc.PlayState != psPlaying)
        Timer1->stop();
}

} // namespace velmora
