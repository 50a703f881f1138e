// The Open and Close commands of the main window.

#include "Formopen.h"
#include "Openthread.h"

#include "app/DialogService.h"
#include "app/Formmain.h"
#include "app/ModalBody.h"
#include "app/Windows.h"
#include "document/OpenSequence.h"
#include "import/OpenBody.h"
#include "platform/PathText.h"
#include "platform/audio/Bass.h"

#include <QProgressBar>

namespace velmora {

namespace {
constexpr const char* OpenFilter = "All Support Files(*.wav;*.mp3;*.wma)|*.wav;*.mp3;*.wma|WAV Files(*.wav)|*.wav|"
                                   "MP3 Files(*.mp3)|*.mp3|WMA Files(*.wma)|*.wma|All Files(*.*)|*.*";
} // namespace

void TMainForm::ButtonOpenClick()
{
    const auto chosen = AppDialogs().ChooseFileToOpen(OpenFilter);
    if (!chosen)
        return;
    Doc.SourceFile = *chosen;
    OpenSourceFile();
}

void TMainForm::OpenSourceFile()
{
    if (!IsOpenableExtension(Doc.SourceFile)) {
        AppDialogs().ShowMessage("Can not open the file.");
        return;
    }
    OpenForm->ProgressBar1()->setValue(0);
    OpenForm->ProgressBar2()->setValue(0);
    OpenForm->StopRequested = false;
    OpenForm->BodyRunning = false;
    auto* worker = new TOpenThread(*this, *OpenForm);
    const int result = RunModalWithBody(*OpenForm, [worker] {
        worker->Execute();
        delete worker;  // the worker frees itself once its body has run
    });
    if (result == AbortResult)
        return;

    Doc.Stream = BASS_StreamCreateFile(0, Doc.WorkFile.c_str(), 0, 0, 0);
    Doc.StreamLength = Doc.Stream != 0 ? static_cast<std::int32_t>(BASS_ChannelGetLength(Doc.Stream, BASS_POS_BYTE)) : 0;
    SetViewWidth(Doc.ColumnCount);
    FinishOpen(Doc);
    CheckZoomItem(Doc.FramesPerColumn);
    PaintBox1Paint();
    UpdateCommandState(psStopped);
}

void TMainForm::ButtonCloseClick()
{
    if (BASS_ChannelIsActive(Doc.Stream) != BASS_ACTIVE_STOPPED)
        CButtonStopClick();
    if (Doc.Modified) {
        switch (AppDialogs().AskYesNoCancel("File has been modified.\nDo you want to save the changes?", "Confirm",
                                            UserDialogs::Icon::Question)) {
        case UserDialogs::Answer::Yes:
            ButtonSaveClick();
            // A save that did not complete leaves the edits where they are.
            if (Doc.Modified)
                return;
            break;
        case UserDialogs::Answer::Cancel:
            return;
        default:
            break;
        }
    }
    BASS_StreamFree(Doc.Stream);
    Doc.Stream = 0;
    if (!Doc.WorkFile.empty())
        RemoveFileIfExists(Doc.WorkFile);
    ResetToNoDocument(Doc);
    CheckZoomItem(Doc.FramesPerColumn);
    SetViewWidth(10);
    UpdateCommandState(psNoDocument);
}

} // namespace velmora
