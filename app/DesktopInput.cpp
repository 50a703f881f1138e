// What a desktop program offers beyond its buttons and menus: the keyboard
// shortcuts, files dropped on the window, the wheel over the waveform, and
// the view following the play cursor.

#include "Formmain.h"

#include "document/ViewCommands.h"
#include "import/OpenCloseCommands.h"
#include "ui_Formmain.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QScrollArea>

#include <functional>
#include <QScrollBar>
#include <QWheelEvent>

#include <cstdlib>

#include <optional>

namespace velmora {

namespace {

// One notch of a mouse wheel, in eighths of a degree.
constexpr int WheelNotch = 120;

// The one local file a drag carries, if it carries exactly one.
std::optional<QString> TheDraggedFile(const QMimeData* data)
{
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1 || !data->urls().front().isLocalFile())
        return std::nullopt;
    return data->urls().front().toLocalFile();
}

} // namespace

void TMainForm::AssignShortcuts()
{
    Ui::TMainForm& c = *ui_;
    c.MOpen->setShortcut(QKeySequence::Open);
    c.MClose->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    c.MSave->setShortcut(QKeySequence::Save);
    c.MSaveAs->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    c.MExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    c.MSelectAll->setShortcut(QKeySequence::SelectAll);
    c.MDelete->setShortcut(QKeySequence(Qt::Key_Delete));
    c.MUndo->setShortcut(QKeySequence::Undo);
    c.MRedo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    c.MStop->setShortcut(QKeySequence(Qt::Key_Escape));
    c.MSetStart->setShortcut(QKeySequence(Qt::Key_BracketLeft));
    c.MSetFinish->setShortcut(QKeySequence(Qt::Key_BracketRight));
    c.MPlaySelection->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Space));
    c.MLoop->setShortcut(QKeySequence(Qt::Key_L));
    c.MHelp->setShortcut(QKeySequence(Qt::Key_F1));

    // Zoom In and Zoom Out have buttons but no menu items: window actions
    // carry their keys, enabled as their buttons are.
    ZoomInAction = new QAction(this);
    ZoomInAction->setObjectName(QStringLiteral("ZoomInAction"));
    ZoomInAction->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)});
    ZoomOutAction = new QAction(this);
    ZoomOutAction->setObjectName(QStringLiteral("ZoomOutAction"));
    ZoomOutAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
    addAction(ZoomInAction);
    addAction(ZoomOutAction);
    connect(ZoomInAction, &QAction::triggered, this, &TMainForm::ButtonZoomInClick);
    connect(ZoomOutAction, &QAction::triggered, this, &TMainForm::ButtonZoomOutClick);

    // The keys that move the play position, enabled with a document.
    struct Seek {
        const char* Name;
        QKeySequence Key;
        std::function<void(ViewCommands&)> Run;
    };
    const Seek seeks[] = {
        {"SeekLeftAction", QKeySequence(Qt::Key_Left), [](ViewCommands& v) { v.StepColumns(-1); }},
        {"SeekRightAction", QKeySequence(Qt::Key_Right), [](ViewCommands& v) { v.StepColumns(1); }},
        {"SeekScreenLeftAction", QKeySequence(Qt::SHIFT | Qt::Key_Left), [](ViewCommands& v) { v.StepScreens(-1); }},
        {"SeekScreenRightAction", QKeySequence(Qt::SHIFT | Qt::Key_Right), [](ViewCommands& v) { v.StepScreens(1); }},
        {"SeekHomeAction", QKeySequence(Qt::Key_Home), [](ViewCommands& v) { v.SeekToEnd(false); }},
        {"SeekEndAction", QKeySequence(Qt::Key_End), [](ViewCommands& v) { v.SeekToEnd(true); }},
    };
    for (const Seek& seek : seeks) {
        auto* action = new QAction(this);
        action->setObjectName(QString::fromLatin1(seek.Name));
        action->setShortcut(seek.Key);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        SeekActions.push_back(action);
        connect(action, &QAction::triggered, this, [this, run = seek.Run] { run(*view_); });
    }

    // Menu shortcuts work in the whole window, also while a control of the
    // tool bar has the focus.
    for (QAction* item : {c.MOpen, c.MClose, c.MSave, c.MSaveAs, c.MExit, c.MSelectAll, c.MDelete, c.MUndo, c.MRedo, c.MPlay,
                          c.MPlayFromHere, c.MPause, c.MStop, c.MPlaySelection, c.MLoop, c.MSetStart, c.MSetFinish,
                          c.MHelp})
        item->setShortcutContext(Qt::WindowShortcut);
}

void TMainForm::AssignSpaceKey(std::int32_t state)
{
    // Space plays, pauses and goes on: it belongs to whichever of Play,
    // Pause and Play From Here (which resumes where playback paused) it
    // stands for now, so that the menus show what it does.
    Ui::TMainForm& c = *ui_;
    QAction* owner = state == psPlaying ? c.MPause : state == psPaused ? c.MPlayFromHere : c.MPlay;
    for (QAction* item : {c.MPlay, c.MPlayFromHere, c.MPause}) {
        const QKeySequence key = item == owner ? QKeySequence(Qt::Key_Space) : QKeySequence();
        if (item->shortcut() != key)
            item->setShortcut(key);
    }
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event)
{
    if (startedUp_ && TheDraggedFile(event->mimeData()))
        event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event)
{
    const std::optional<QString> file = TheDraggedFile(event->mimeData());
    if (!startedUp_ || !file)
        return;
    event->acceptProposedAction();
    // After the drop has completed: the source application is not kept
    // waiting through the save prompt and the open dialog.
    const std::string path = file->toStdString();
    QMetaObject::invokeMethod(this, [this, path] { openClose_->OpenDropped(path); }, Qt::QueuedConnection);
}

bool TMainForm::WheelOnView(QWheelEvent* event)
{
    const QPoint delta = event->angleDelta();
    if (event->modifiers() & Qt::ControlModifier) {
        // Notches step the zoom; a touchpad's small steps add up to notches.
        wheelZoomDelta_ += delta.y();
        while (wheelZoomDelta_ >= WheelNotch) {
            wheelZoomDelta_ -= WheelNotch;
            if (ZoomInAction->isEnabled())
                ButtonZoomInClick();
        }
        while (wheelZoomDelta_ <= -WheelNotch) {
            wheelZoomDelta_ += WheelNotch;
            if (ZoomOutAction->isEnabled())
                ButtonZoomOutClick();
        }
        return true;
    }
    // The view never scrolls up or down: the wheel, either way, moves along
    // the waveform.
    QScrollBar* bar = ui_->ScrollBox1->horizontalScrollBar();
    const int steps = (std::abs(delta.x()) > std::abs(delta.y()) ? delta.x() : delta.y());
    const int notches = QApplication::wheelScrollLines() * bar->singleStep();
    bar->setValue(bar->value() - steps * notches / WheelNotch);
    return true;
}

void TMainForm::FollowPlayCursor()
{
    const bool playing = Doc.DocumentOpen && Doc.PlayState == psPlaying;
    if (playing && !wasPlaying_)
        cursorFollow_.Start(ViewLeft());
    wasPlaying_ = playing;
    if (!playing)
        return;
    const std::int64_t cursor = static_cast<std::int64_t>(PlayColumnNow(Doc)) * std::max(Doc.PixelsPerColumn, 1);
    const std::int64_t left = cursorFollow_.Next(ViewLeft(), ShownPixels(), cursor);
    if (left != ViewLeft())
        ScrollViewTo(left);
}

} // namespace velmora
