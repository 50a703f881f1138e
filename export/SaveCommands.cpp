#include "SaveCommands.h"

#include "Formsave.h"
#include "SaveSequence.h"
#include "Savethread.h"

#include "document/Document.h"
#include "document/EditorWindow.h"
#include "platform/FileFormats.h"
#include "document/ViewCommands.h"
#include "platform/PathText.h"
#include "platform/widgets/QtUserDialogs.h"
#include "platform/widgets/RunModal.h"

#include <QProgressBar>

namespace velmora {

void SaveCommands::Save()
{
    // A file of a kind that is opened only is saved as another kind.
    if (!IsSavedUnder(doc_.SourceFile)) {
        SaveAs();
        return;
    }
    window_.StopIfActive();
    SaveTo(doc_.SourceFile, "Save");
}

void SaveCommands::SaveAs()
{
    window_.StopIfActive();
    std::string name;
    for (;;) {
        const auto choice = AppDialogs().ChooseFileToSave(SaveDialogFilter, lastName_);
        if (!choice)
            return;
        name = CompleteSaveName(choice->fileName, choice->filterIndex, doc_.SourceFile);
        lastName_ = name;
        if (!FileExists(name))
            break;
        const auto answer = AppDialogs().AskYesNoCancel("This file already exists. Do you want to overwrite it?",
                                                        "Information", UserDialogs::Icon::Question);
        if (answer == UserDialogs::Answer::Yes)
            break;
        if (answer != UserDialogs::Answer::No)
            return;
    }
    SaveTo(name, "Save As");
}

void SaveCommands::SaveTo(const std::string& destination, const char* caption)
{
    // The play position outlasts the stream the save lets go of.
    const std::uint32_t playFrame = PlayFrameNow(doc_);
    window_.ReleaseStream();
    SaveForm->setWindowTitle(QString::fromUtf8(caption));
    SaveForm->ProgressBar1()->setValue(0);
    SaveForm->StopRequested = false;
    SaveForm->BodyRunning = false;

    TSaveThread worker(doc_, *SaveForm);
    worker.Destination = destination;
    RunModalWithBody(*SaveForm, [&worker] { worker.Execute(); });
    FinishSave(doc_, history_, worker.End(), destination, SaveForm->StopRequested);

    window_.CreateStream();
    SeekStream(doc_, playFrame);
    window_.UpdateCommandState(doc_.PlayState);
}

} // namespace velmora
