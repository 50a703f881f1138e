// The one place that enables and disables the commands and writes the
// status bar.

#include "Formmain.h"
#include "SelectionReadout.h"

#include "document/Document.h"
#include "history/StepTransaction.h"
#include "document/Units.h"
#include "document/ViewCommands.h"
#include "document/Zoom.h"
#include "edit/EditKinds.h"
#include "ui_Formmain.h"

#include <QAction>
#include <QLabel>
#include <QTimer>
#include <QToolButton>

namespace velmora {

void TMainForm::UpdateCommandState(std::int32_t state)
{
    Doc.PlayState = state;
    // The timer draws the displays of this state (and keeps them moving
    // while playing).
    if (Timer1 != nullptr && !Timer1->isActive())
        Timer1->start();
    // Every change of the document ends here: what a recovery would need
    // goes to the manifest.
    NoteDocument(Doc, History);
    if (Readout != nullptr) {
        Readout->Show(Doc);
        // Marker changes are told; the play position is there when asked.
        ui_->PaintBox1->AnnounceValue();
    }
    for (QAction* seek : SeekActions)
        seek->setEnabled(state != psNoDocument);
    const bool document = state != psNoDocument;
    const std::uint32_t p = document ? PlayColumnNow(Doc) : 0;

    const bool open = state == psNoDocument;
    const bool save = document && Doc.Modified;
    const bool play = state == psStopped || state == psPaused;
    const bool pause = state == psPlaying;
    const bool stop = state == psPlaying || state == psPaused;
    const bool setStart = document && p < Doc.SelFinish;
    const bool setFinish = document && p > Doc.SelStart;
    // Finer than the finest step and coarser than 10:1 there is no step to
    // go to.
    const bool zoomIn = document && ZoomInStep(ZoomOf(Doc)) != ZoomOf(Doc);
    const bool zoomOut = document && ZoomOutStep(ZoomOf(Doc)) != ZoomOf(Doc);
    const bool selection = document && Doc.SelFinishFrame > Doc.SelStartFrame;

    Ui::TMainForm& c = *ui_;
    c.MOpen->setEnabled(open);
    c.ButtonOpen->setEnabled(open);
    c.MClose->setEnabled(document);
    c.ButtonClose->setEnabled(document);
    c.MSave->setEnabled(save);
    c.ButtonSave->setEnabled(save);
    c.MSaveAs->setEnabled(document);
    c.ButtonSaveAs->setEnabled(document);
    c.MSelectAll->setEnabled(document);
    c.MSetSelection->setEnabled(document);
    c.MProperties->setEnabled(document);
    c.MLoudness->setEnabled(document);
    for (QAction* shape : c.MenuFadeShape->actions())
        shape->setEnabled(document);
    c.MCleanJoins->setEnabled(document);
    c.MUndo->setEnabled(document && History.CanUndo());
    c.MRedo->setEnabled(document && History.CanRedo());
    MPopSelectAll->setEnabled(document);
    // Every edit, with its menu item and its button, and every zoom.
    for (const EditKind& edit : EditKinds) {
        if (auto* item = findChild<QAction*>(QString::fromUtf8(edit.MenuItem)))
            item->setEnabled(document);
        if (auto* button = edit.Button != nullptr ? findChild<QToolButton*>(QString::fromUtf8(edit.Button)) : nullptr)
            button->setEnabled(document);
    }
    for (std::int32_t step : ZoomSteps) {
        if (QAction* item = ZoomItem(step))
            item->setEnabled(document);
    }
    for (QAction* item : FineZoomItems)
        item->setEnabled(document);
    c.MZoomWhole->setEnabled(document);
    c.ButtonZoomIn->setEnabled(zoomIn);
    ZoomInAction->setEnabled(zoomIn);
    c.ButtonZoomOut->setEnabled(zoomOut);
    ZoomOutAction->setEnabled(zoomOut);
    c.MPlay->setEnabled(play);
    c.CButtonPlay->setEnabled(play);
    c.MPlayFromHere->setEnabled(play);
    MPopPlayFromHere->setEnabled(play);
    c.CButtonPlayFromHere->setEnabled(play);
    c.MPause->setEnabled(pause);
    c.CButtonPause->setEnabled(pause);
    c.MStop->setEnabled(stop);
    c.MPlaySelection->setEnabled(selection && state != psNoDocument);
    c.MLoop->setEnabled(document);
    c.CButtonStop->setEnabled(stop);
    c.MSetStart->setEnabled(setStart);
    MPopSetStart->setEnabled(setStart);
    c.CButtonSetStart->setEnabled(setStart);
    c.MSetFinish->setEnabled(setFinish);
    MPopSetFinish->setEnabled(setFinish);
    c.CButtonSetFinish->setEnabled(setFinish);
    AssignSpaceKey(state);

    if (state == psNoDocument) {
        for (QLabel* panel : StatusPanels)
            panel->setText(QString());
        StatusPanels[2]->setToolTip(QString());
    } else if (state == psStopped) {
        auto word = [this](const char* key) {
            return LanguageIni ? LanguageIni->ReadString("StatusBar", key, "") : std::string();
        };
        const std::string channels = word(Doc.Channels == 1 ? "Mono" : "Stereo");
        const std::string format = std::to_string(Doc.SampleRate) + " Hz   " + channels + "   " +
                                   std::to_string(Doc.BitsPerSample) + word("Bits");
        StatusPanels[0]->setText(QString::fromStdString(format));
        StatusPanels[1]->setText(
            QString::fromStdString(SecondsToTimeText(static_cast<std::int32_t>(Doc.DurationSeconds))));
        StatusPanels[2]->setToolTip(QString::fromStdString(Doc.SourceFile));
        ElideSourcePanel();
    }
}

void TMainForm::ElideSourcePanel()
{
    // Cut in the middle, so that the file's name stays in view; the whole
    // path is the panel's tool tip.
    QLabel* panel = StatusPanels[2];
    panel->setText(panel->fontMetrics().elidedText(panel->toolTip(), Qt::ElideMiddle, panel->contentsRect().width()));
}

} // namespace velmora
