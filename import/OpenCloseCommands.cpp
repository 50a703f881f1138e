#include "OpenCloseCommands.h"

#include "Formopen.h"
#include "Openthread.h"

#include "document/Document.h"
#include "document/EditorWindow.h"
#include "document/ViewCommands.h"
#include "OpenSequence.h"
#include "history/Manifest.h"
#include "edit/EditSequence.h"
#include "import/OpenBody.h"
#include "platform/PathText.h"
#include "platform/PrivateTempFolder.h"
#include "platform/widgets/ProgressOnBar.h"
#include "platform/widgets/QtUserDialogs.h"
#include "platform/widgets/RunModal.h"

#include <QProgressBar>

#include <filesystem>

namespace velmora {

void OpenCloseCommands::Open()
{
    const auto chosen = AppDialogs().ChooseFileToOpen(OpenDialogFilter);
    if (!chosen)
        return;
    doc_.SourceFile = *chosen;
    OpenSourceFile();
}

void OpenCloseCommands::OpenSourceFile()
{
    if (!IsOpenableExtension(doc_.SourceFile)) {
        AppDialogs().ShowMessage("Can not open the file.");
        return;
    }
    OpenForm->ProgressBar1()->setValue(0);
    OpenForm->ProgressBar2()->setValue(0);
    OpenForm->StopRequested = false;
    OpenForm->BodyRunning = false;
    auto* worker = new TOpenThread(doc_, *OpenForm);
    const int result = RunModalWithBody(*OpenForm, [worker] {
        worker->Execute();
        delete worker;  // the worker frees itself once its body has run
    });
    if (result == AbortResult)
        return;

    window_.CreateStream();
    window_.SetViewWidth(ViewWidthOf(doc_));
    FinishOpen(doc_, history_);
    window_.ShowZoom(ZoomOf(doc_));
    window_.RepaintView();
    window_.UpdateCommandState(psStopped);
}

void OpenCloseCommands::OpenDropped(const std::string& path)
{
    if (!IsOpenableExtension(path)) {
        AppDialogs().ShowMessage("Can not open the file.");
        return;
    }
    if (doc_.DocumentOpen) {
        Close();
        if (doc_.DocumentOpen)
            return;
    }
    doc_.SourceFile = AbsolutePath(path);
    OpenSourceFile();
}

bool OpenCloseCommands::OfferRecovery()
{
    for (const std::filesystem::path& folder : PrivateTempFolder::Abandoned(PrivateTempFolder::Base())) {
        const std::optional<Manifest> manifest = ReadManifest(folder);
        if (!manifest || !HoldsUnsavedEdits(folder))
            continue;
        const std::string name = std::filesystem::path(manifest->SourceFile).filename().string();
        // An edit let go without Undo cannot be taken back: the document
        // is as the kill left it, which the user should know.
        const std::string question =
            manifest->History.PendingWhat == PendingAction::UnkeptEdit
                ? "The last edit of " + name + " may have been cut off part way, and it cannot be taken back.\n"
                  "Recover the unsaved edits of " + name + " as they are?"
                : "Recover the unsaved edits of " + name + "?";
        const UserDialogs::Answer answer =
            AppDialogs().AskYesNoCancel(question, "Confirm", UserDialogs::Icon::Question);
        if (answer == UserDialogs::Answer::No) {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
            continue;
        }
        if (answer != UserDialogs::Answer::Yes || !window_.AdoptFolder(folder.string()))
            continue;
        bool recovered = false;
        OpenForm->ProgressBar1()->setValue(100);
        OpenForm->ProgressBar2()->setValue(0);
        OpenForm->StopRequested = false;
        RunModalWithBody(*OpenForm, [&] {
            ProgressOnBar loading(OpenForm->ProgressBar2());
            recovered = RecoverDocument(doc_, history_, *manifest, loading, AppDialogs());
            OpenForm->done(FinishedResult);
        });
        if (!recovered) {
            window_.AbandonFolder();
            continue;
        }
        window_.CreateStream();
        window_.SetViewWidth(ViewWidthOf(doc_));
        window_.ShowZoom(ZoomOf(doc_));
        window_.RepaintView();
        window_.UpdateCommandState(psStopped);
        return true;
    }
    return false;
}

void OpenCloseCommands::Close()
{
    window_.StopIfActive();
    if (doc_.Modified) {
        switch (AppDialogs().AskYesNoCancel("File has been modified.\nDo you want to save the changes?", "Confirm",
                                            UserDialogs::Icon::Question)) {
        case UserDialogs::Answer::Yes:
            // A save that did not complete leaves the edits where they are.
            if (!window_.SaveChanges())
                return;
            break;
        case UserDialogs::Answer::Cancel:
            return;
        default:
            break;
        }
    }
    window_.ReleaseStream();
    if (!doc_.WorkFile.empty())
        RemoveFileIfExists(doc_.WorkFile);
    ResetToNoDocument(doc_);
    history_.Clear();
    window_.ShowZoom(ZoomOf(doc_));
    window_.SetViewWidth(10);
    window_.UpdateCommandState(psNoDocument);
}

} // namespace velmora
