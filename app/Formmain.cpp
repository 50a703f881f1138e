// The main window's life: creation, first showing, activation, closing,
// destruction and resizing, and the binding of every control to its
// command.

#include "Formmain.h"
#include "Formloudness.h"
#include "Formproperties.h"
#include "Formselection.h"
#include "QtTranslations.h"
#include "SelectionReadout.h"

#include "WebPane.h"

#include "document/Units.h"
#include "document/ViewCommands.h"
#include "document/Zoom.h"
#include "edit/EditCommands.h"
#include "edit/EditKinds.h"
#include "export/SaveCommands.h"
#include "import/OpenCloseCommands.h"
#include "history/Manifest.h"
#include "platform/PathText.h"
#include "platform/audio/Bass.h"
#include "platform/widgets/QtUserDialogs.h"
#include "playback/Spectrum.h"
#include "playback/Transport.h"
#include "playback/Volume.h"
#include "ui_Formmain.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <filesystem>

namespace velmora {

namespace {

constexpr int TimerIntervalMs = 100;
constexpr int StatusPanelWidths[3] = {250, 200, 300};
// The waveform area's design height: the view's rows and room for the
// horizontal scroll bar.  A taller area grows the view by as many rows.
constexpr int DesignAreaHeight = 251;

} // namespace

std::string ConfigurationFileFor(const std::string& programFolder)
{
    const QFileInfo folderInfo(QString::fromStdString(programFolder));
    if (!FileExists(programFolder + "user-config") && folderInfo.isWritable())
        return programFolder + "Kelvane.ini";
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/velmora");
    QDir().mkpath(folder);
    return folder.toStdString() + "/Kelvane.ini";
}

namespace {

// The toolbar's buttons keep their sizes however narrow the window: a
// window narrower than the row (a large scale, long captions) shows its
// first buttons and clips the rest, whose commands the menus still have,
// rather than grow wider than the screen.
void LetToolbarClip(QFrame& panel)
{
    QLayout* design = panel.layout();
    auto* row = new QWidget;
    row->setObjectName(QStringLiteral("Panel1Row"));
    auto* rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    rowLayout->setSpacing(design->spacing());
    while (QLayoutItem* item = design->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            rowLayout->addWidget(widget);
            delete item;
        } else {
            rowLayout->addItem(item);
        }
    }
    auto* strip = new QScrollArea(&panel);
    strip->setObjectName(QStringLiteral("Panel1Strip"));
    strip->setFrameShape(QFrame::NoFrame);
    strip->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    strip->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    strip->setWidgetResizable(true);
    strip->setWidget(row);
    strip->setMinimumWidth(0);
    design->addWidget(strip);
}

} // namespace

TMainForm::TMainForm(const QStringList& arguments, const std::string& programFolder, QWidget* parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::TMainForm>())
{
    ui_->setupUi(this);
    LetToolbarClip(*ui_->Panel1);
    setWindowIcon(QIcon(QStringLiteral(":/icons/velmora.svg")));
    EditorWindow& window = *this;
    view_ = std::make_unique<ViewCommands>(Doc, window, *ui_->PaintBox1, WaveBitmap);
    transport_ = std::make_unique<Transport>(Doc, window);
    openClose_ = std::make_unique<OpenCloseCommands>(Doc, History, window);
    edit_ = std::make_unique<EditCommands>(Doc, History, window);
    save_ = std::make_unique<SaveCommands>(Doc, History, window);
    ConnectCommands();
    FormCreate(arguments, programFolder);
}

TMainForm::~TMainForm()
{
    FormDestroy();
}

void TMainForm::FormCreate(const QStringList& arguments, const std::string& programFolder)
{
    // 1, 2: the audio library, version 2.4, on the default output device.
    if ((BASS_GetVersion() >> 16) != 0x0204) {
        AppDialogs().ShowMessage("An incorrect version of BASS.DLL was loaded", {}, UserDialogs::Icon::Information);
        return;
    }
    if (!BASS_Init(-1, 44100, 0, reinterpret_cast<void*>(winId()), nullptr)) {
        BASS_Free();
        AppDialogs().ShowMessage("Can not start default recording device!", {}, UserDialogs::Icon::Error);
        return;
    }

    // 3: the working file's folder, private to this instance.
    // Folders of killed editors with unsaved edits stay, to be offered back
    // once the window is up.
    tempFolder_ = std::make_unique<PrivateTempFolder>(HoldsUnsavedEdits);
    Doc.TempFolder = tempFolder_->IsValid() ? tempFolder_->Path()
                                            : std::filesystem::temp_directory_path().string() + "/";

    // 4, 5: the waveform view and the two displays.
    ui_->PaintBox1->setGeometry(0, 0, 10, WaveViewHeight);
    // Never so low that the lower channel or the ruler is cut off: the
    // view, its horizontal scroll bar and the frame always fit.
    ui_->ScrollBox1->setMinimumHeight(WaveViewHeight + ui_->ScrollBox1->horizontalScrollBar()->sizeHint().height() +
                                      2 * ui_->ScrollBox1->frameWidth());
    WaveBitmap = WaveBitmapSize{};
    SpectrumView = std::make_unique<TSpectrum>(ui_->PaintBox2->width(), ui_->PaintBox2->height());
    LevelView = std::make_unique<TVolume>(ui_->PaintBox3->width(), ui_->PaintBox3->height());
    ui_->PaintBox2->Source = [this] { return &SpectrumView->Image(); };
    ui_->PaintBox3->Source = [this] { return &LevelView->Image(); };

    // 6, 7: no document.
    Doc.WorkFile.clear();
    Doc.SourceFile.clear();
    Doc.FramesPerColumn = DefaultFramesPerColumn;
    ShowZoom(DefaultFramesPerColumn);
    Doc.Modified = false;
    SetMarkerFrames(Doc, 0, 0);
    SetViewWidth(10);
    Doc.DocumentOpen = false;
    Doc.OpenAtStart = false;

    // 8: a file named on the command line (a path with blanks arrives
    // split), made absolute at once: the status bar, messages and a later
    // Save all mean the file the user named, wherever the folder is now.
    if (!arguments.isEmpty()) {
        const std::string joined = arguments.join(' ').toStdString();
        if (FileExists(joined)) {
            Doc.SourceFile = AbsolutePath(joined);
            Doc.OpenAtStart = true;
        }
    }

    // 9 to 12: the configuration file, the web pane, the Language menu.
    Doc.ProgramFolder = programFolder.empty() ? ExecutableFolder() : programFolder;
    ConfigurationFile = ConfigurationFileFor(Doc.ProgramFolder);
    IniFile configuration(ConfigurationFile);
    const bool adOff = configuration.ReadString("General", "Ad", "") == "0";
    (void)adOff;  // the pane starts hidden either way
    // Clean joins as the user last left them (off at first).
    const bool cleanJoins = configuration.ReadString("Edit", "CleanJoins", "0") == "1";
    ui_->MCleanJoins->setChecked(cleanJoins);
    edit_->CleanJoins = cleanJoins;
    QWidget* pane = CreateWebPane(*ui_->Panel1);
    qApp->installEventFilter(new RightClickFilter(*this, *pane, this));
    BuildLanguageMenu(configuration);

    startedUp_ = true;
    UpdateCommandState(psNoDocument);
}

void TMainForm::FormDestroy()
{
    if (Timer1 != nullptr)
        Timer1->stop();
    if (startedUp_)
        BASS_Free();
    SpectrumView.reset();
    LevelView.reset();
}

void TMainForm::ConnectCommands()
{
    Ui::TMainForm& c = *ui_;
    auto bind = [this](auto* control, auto signal, void (TMainForm::*handler)()) {
        connect(control, signal, this, handler);
    };
    bind(c.ButtonOpen, &QToolButton::clicked, &TMainForm::ButtonOpenClick);
    bind(c.ButtonClose, &QToolButton::clicked, &TMainForm::ButtonCloseClick);
    bind(c.ButtonSave, &QToolButton::clicked, &TMainForm::ButtonSaveClick);
    bind(c.ButtonSaveAs, &QToolButton::clicked, &TMainForm::ButtonSaveAsClick);
    bind(c.ButtonDelete, &QToolButton::clicked, &TMainForm::ButtonDeleteClick);
    bind(c.ButtonCutOut, &QToolButton::clicked, &TMainForm::ButtonCutOutClick);
    bind(c.ButtonVolume, &QToolButton::clicked, &TMainForm::ButtonVolumeClick);
    bind(c.ButtonFadeIn, &QToolButton::clicked, &TMainForm::ButtonFadeInClick);
    bind(c.ButtonFadeOut, &QToolButton::clicked, &TMainForm::ButtonFadeOutClick);
    bind(c.ButtonZoomIn, &QToolButton::clicked, &TMainForm::ButtonZoomInClick);
    bind(c.ButtonZoomOut, &QToolButton::clicked, &TMainForm::ButtonZoomOutClick);
    bind(c.ButtonHelp, &QToolButton::clicked, &TMainForm::ButtonHelpClick);
    bind(c.ButtonUpdate, &QToolButton::clicked, &TMainForm::ButtonUpdateClick);

    bind(c.MOpen, &QAction::triggered, &TMainForm::ButtonOpenClick);
    bind(c.MClose, &QAction::triggered, &TMainForm::ButtonCloseClick);
    bind(c.MSave, &QAction::triggered, &TMainForm::MSaveClick);
    bind(c.MSaveAs, &QAction::triggered, &TMainForm::MSaveAsClick);
    bind(c.MProperties, &QAction::triggered, &TMainForm::MPropertiesClick);
    connect(c.MExit, &QAction::triggered, this, &QWidget::close);
    bind(c.MSelectAll, &QAction::triggered, &TMainForm::MSelectAllClick);
    bind(c.MDelete, &QAction::triggered, &TMainForm::MDeleteClick);
    bind(c.MCutOut, &QAction::triggered, &TMainForm::MCutOutClick);
    bind(c.MVolume, &QAction::triggered, &TMainForm::MVolumeClick);
    bind(c.MFadeIn, &QAction::triggered, &TMainForm::MFadeInClick);
    bind(c.MFadeOut, &QAction::triggered, &TMainForm::MFadeOutClick);
    bind(c.MLoudness, &QAction::triggered, &TMainForm::MLoudnessClick);
    bind(c.MNormalize, &QAction::triggered, &TMainForm::MNormalizeClick);
    AddTableEditItems();
    ConnectFadeShapes();
    ConnectCleanJoins();
    bind(c.MUndo, &QAction::triggered, &TMainForm::MUndoClick);
    bind(c.MRedo, &QAction::triggered, &TMainForm::MRedoClick);
    bind(c.MZoom10, &QAction::triggered, &TMainForm::MZoom10Click);
    bind(c.MZoom8, &QAction::triggered, &TMainForm::MZoom8Click);
    bind(c.MZoom6, &QAction::triggered, &TMainForm::MZoom6Click);
    bind(c.MZoom4, &QAction::triggered, &TMainForm::MZoom4Click);
    bind(c.MZoom2, &QAction::triggered, &TMainForm::MZoom2Click);
    bind(c.MZoom1, &QAction::triggered, &TMainForm::MZoom1Click);
    bind(c.MZoomWhole, &QAction::triggered, &TMainForm::MZoomWholeClick);
    bind(c.MSetSelection, &QAction::triggered, &TMainForm::MSetSelectionClick);
    bind(c.MPlay, &QAction::triggered, &TMainForm::CButtonPlayClick);
    bind(c.MPlayFromHere, &QAction::triggered, &TMainForm::CButtonPlayFromHereClick);
    bind(c.MPause, &QAction::triggered, &TMainForm::CButtonPauseClick);
    bind(c.MStop, &QAction::triggered, &TMainForm::CButtonStopClick);
    bind(c.MPlaySelection, &QAction::triggered, &TMainForm::MPlaySelectionClick);
    connect(c.MLoop, &QAction::toggled, this, &TMainForm::MLoopClick);
    bind(c.MSetStart, &QAction::triggered, &TMainForm::CButtonSetStartClick);
    bind(c.MSetFinish, &QAction::triggered, &TMainForm::CButtonSetFinishClick);
    bind(c.MHelp, &QAction::triggered, &TMainForm::MHelpClick);
    bind(c.MHome, &QAction::triggered, &TMainForm::MHomeClick);
    bind(c.MAbout, &QAction::triggered, &TMainForm::MAboutClick);

    bind(c.CButtonPlay, &QToolButton::clicked, &TMainForm::CButtonPlayClick);
    bind(c.CButtonPlayFromHere, &QToolButton::clicked, &TMainForm::CButtonPlayFromHereClick);
    bind(c.CButtonPause, &QToolButton::clicked, &TMainForm::CButtonPauseClick);
    bind(c.CButtonStop, &QToolButton::clicked, &TMainForm::CButtonStopClick);
    bind(c.CButtonSetStart, &QToolButton::clicked, &TMainForm::CButtonSetStartClick);
    bind(c.CButtonSetFinish, &QToolButton::clicked, &TMainForm::CButtonSetFinishClick);

    // Captions under the glyphs in a slightly smaller face, so that the
    // longest ("Zoom Out") fits a 49-pixel button.
    for (QToolButton* button : c.Panel1->findChildren<QToolButton*>()) {
        QFont font = button->font();
        font.setPointSizeF(font.pointSizeF() - 0.5);
        button->setFont(font);
    }

    // The zoom items: exactly one carries the check mark at any time.  In
    // an exclusive group a click on the checked item cannot take its mark
    // away; ShowZoom moves it.
    auto* zoomGroup = new QActionGroup(this);
    zoomGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    for (QAction* item : {c.MZoom10, c.MZoom8, c.MZoom6, c.MZoom4, c.MZoom2, c.MZoom1, c.MZoomWhole}) {
        item->setCheckable(true);
        zoomGroup->addAction(item);
    }
    // The steps finer than 1:1 follow the six, as ratios of the same kind.
    QAction* beforeWhole = c.MZoomWhole;
    if (const QList<QAction*> items = c.MenuZoom->actions(); items.indexOf(c.MZoomWhole) > 0) {
        const auto at = items.indexOf(c.MZoomWhole);
        if (items[at - 1]->isSeparator())
            beforeWhole = items[at - 1];
    }
    for (const ZoomLevel zoom : FineZoomSteps) {
        auto* item = new QAction(QString::fromStdString(FineZoomCaption(zoom)), this);  // owned by the window
        item->setObjectName(FineZoomItemName(zoom));
        item->setCheckable(true);
        zoomGroup->addAction(item);
        c.MenuZoom->insertAction(beforeWhole, item);
        FineZoomItems.push_back(item);
        connect(item, &QAction::triggered, this, [this, zoom] { view_->ChangeZoom(zoom); });
    }

    // The waveform view's pop-up menu.
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    MPopSetStart = PopupMenu1->addAction(QStringLiteral("Set Start Marker"));
    MPopSetStart->setObjectName(QStringLiteral("MPopSetStart"));
    MPopSetFinish = PopupMenu1->addAction(QStringLiteral("Set Finish Marker"));
    MPopSetFinish->setObjectName(QStringLiteral("MPopSetFinish"));
    MPopPlayFromHere = PopupMenu1->addAction(QStringLiteral("Play From Here"));
    MPopPlayFromHere->setObjectName(QStringLiteral("MPopPlayFromHere"));
    MPopSelectAll = PopupMenu1->addAction(QStringLiteral("Select All"));
    MPopSelectAll->setObjectName(QStringLiteral("MPopSelectAll"));
    bind(MPopSetStart, &QAction::triggered, &TMainForm::CButtonSetStartClick);
    bind(MPopSetFinish, &QAction::triggered, &TMainForm::CButtonSetFinishClick);
    bind(MPopPlayFromHere, &QAction::triggered, &TMainForm::CButtonPlayFromHereClick);
    bind(MPopSelectAll, &QAction::triggered, &TMainForm::MSelectAllClick);

    // The waveform view.
    c.PaintBox1->SceneProvider = [this] { return CurrentWaveScene(); };
    c.PaintBox1->OnMouseDown = [this](Qt::MouseButton b, int x, int y) { PaintBox1MouseDown(b, x, y); };
    c.PaintBox1->OnMouseUp = [this](Qt::MouseButton b, int x, int y) { PaintBox1MouseUp(b, x, y); };
    c.PaintBox1->OnDrag = [this](int x, int y) { view_->MouseDrag(x, y); };
    c.PaintBox1->OnShiftClick = [this](int x, int y) { view_->ShiftClick(x, y); };
    c.PaintBox1->OnHover = [this](int x, int y) { return view_->OverMarker(x, y); };
    c.ScrollBox1->SetView(c.PaintBox1);
    c.PaintBox1->AccessibleValue = [this] { return Readout != nullptr ? Readout->Spoken() : QString(); };
    c.ScrollBox1->installEventFilter(this);
    c.ScrollBox1->viewport()->installEventFilter(this);

    // Where you are: beside the transport buttons.
    Readout = new SelectionReadout(c.ControlBar1);
    Readout->setObjectName(QStringLiteral("Readout"));
    Readout->setGeometry(ReadoutLeft, 8, 420, 56);

    SelectionForm = new TSelectionForm(this);
    PropertiesForm = new TPropertiesForm(this);
    LoudnessForm = new TLoudnessForm(this);

    // The status bar's three panels.
    // Panels keep their widths; the last one is cut off by a narrow window
    // rather than widening it.
    for (int i = 0; i < 3; ++i) {
        StatusPanels[i] = new QLabel(this);
        StatusPanels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        StatusPanels[i]->setMinimumWidth(i < 2 ? StatusPanelWidths[i] : 0);
        StatusPanels[i]->setMaximumWidth(StatusPanelWidths[i]);
        c.StatusBar1->addWidget(StatusPanels[i], i < 2 ? 0 : 1);
    }
    StatusPanels[2]->installEventFilter(this);

    AssignShortcuts();
    setAcceptDrops(true);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(TimerIntervalMs);
    bind(Timer1, &QTimer::timeout, &TMainForm::Timer1Timer);
    Timer1->start();
}

bool TMainForm::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && startedUp_)
        FormActivate();
    return QMainWindow::event(event);
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!shownOnce_ && !event->spontaneous()) {
        shownOnce_ = true;
        // The language from the first showing on, whether or not a window
        // manager ever activates the window (activation applies it again).
        if (startedUp_)
            FormActivate();
        // After the window has appeared, so that the open's dialog has an
        // owner on screen.
        QTimer::singleShot(0, this, &TMainForm::FormShow);
    }
}

void TMainForm::FormShow()
{
    if (!startedUp_)
        return;
    const bool recovered = openClose_->OfferRecovery();
    if (!Doc.OpenAtStart)
        return;
    Doc.OpenAtStart = false;
    // One document at a time: a recovered one, with its unsaved edits,
    // comes before the file named on the command line.
    if (!recovered)
        OpenSourceFile();
}

void TMainForm::WidenForToolbar()
{
    auto* strip = findChild<QScrollArea*>(QStringLiteral("Panel1Strip"));
    if (strip == nullptr || strip->widget() == nullptr || isMaximized() || isFullScreen())
        return;
    centralWidget()->layout()->activate();
    const int missing = strip->widget()->sizeHint().width() - strip->viewport()->width();
    if (missing <= 0)
        return;
    const QScreen* on = screen();
    const QRect available = on != nullptr ? on->availableGeometry() : QRect();
    // (no frame before the window first shows: its edges count as none)
    const int frameExtra = isVisible() ? frameGeometry().width() - width() : 0;
    int wanted = width() + missing;
    if (available.isValid())
        wanted = std::min(wanted, available.width() - frameExtra);
    if (wanted <= width())
        return;
    resize(wanted, height());
    const int right = available.x() + available.width();  // exclusive
    if (available.isValid() && pos().x() + wanted + frameExtra > right)
        move(std::max(available.x(), right - wanted - frameExtra), pos().y());
}

void TMainForm::FormActivate()
{
    ApplyLanguage();
    UpdateCommandState(Doc.DocumentOpen ? Doc.PlayState : psNoDocument);
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (startedUp_ && !Doc.SourceFile.empty())
        ButtonCloseClick();
    // Cancel in Close's save prompt keeps the document, and with it the
    // window: ending the program would throw the unsaved edits away.
    if (startedUp_ && Doc.DocumentOpen && Doc.Modified)
        event->ignore();
    else
        event->accept();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == ui_->ScrollBox1 || watched == ui_->ScrollBox1->viewport()) && event->type() == QEvent::Resize)
        FormResize();
    else if (watched == StatusPanels[2] && event->type() == QEvent::Resize)
        ElideSourcePanel();
    else if (watched == ui_->ScrollBox1->viewport() && event->type() == QEvent::Wheel)
        return WheelOnView(static_cast<QWheelEvent*>(event));
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::FormResize()
{
    // The view fills its box above the scroll bar: a taller box, more rows.
    WaveBitmap.Height = std::max(WaveViewHeight, ui_->ScrollBox1->viewport()->height());
    ui_->PaintBox1->update();
}

void TMainForm::SetViewWidth(std::int64_t pixels)
{
    WaveBitmap.Width = pixels;
    ui_->ScrollBox1->SetContentWidth(pixels);
    FormResize();
}

void TMainForm::ConnectFadeShapes()
{
    auto* group = new QActionGroup(this);  // owned by the window
    const std::pair<QAction*, FadeShape> shapes[] = {{ui_->MFadeLinear, FadeShape::Linear},
                                                     {ui_->MFadeLogarithmic, FadeShape::Logarithmic},
                                                     {ui_->MFadeExponential, FadeShape::Exponential},
                                                     {ui_->MFadeSCurve, FadeShape::SCurve}};
    for (const auto& [item, shape] : shapes) {
        group->addAction(item);
        connect(item, &QAction::triggered, this, [this, shape = shape] { edit_->Shape = shape; });
    }
    ui_->MFadeLinear->setChecked(true);
}

void TMainForm::ConnectCleanJoins()
{
    connect(ui_->MCleanJoins, &QAction::toggled, this, [this](bool on) {
        edit_->CleanJoins = on;
        IniFile configuration(ConfigurationFile);
        configuration.WriteString("Edit", "CleanJoins", on ? "1" : "0");
    });
}

void TMainForm::AddTableEditItems()
{
    // The separator before Undo and Redo: table edits join the others above it.
    QAction* before = ui_->MUndo;
    const QList<QAction*> items = ui_->MenuEdit->actions();
    if (const auto at = items.indexOf(ui_->MUndo); at > 0 && items[at - 1]->isSeparator())
        before = items[at - 1];
    for (const EditKind& edit : EditKinds) {
        if (findChild<QAction*>(QString::fromUtf8(edit.MenuItem)) != nullptr)
            continue;
        auto* item = new QAction(QString::fromUtf8(EditName(edit.Command)), this);  // owned by the window
        item->setObjectName(QString::fromUtf8(edit.MenuItem));
        ui_->MenuEdit->insertAction(before, item);
        const EditCommand command = edit.Command;
        connect(item, &QAction::triggered, this, [this, command] { edit_->Apply({command}); });
    }
}

QString FineZoomItemName(ZoomLevel zoom)
{
    return zoom.PixelsPerColumn > 1 ? QStringLiteral("MZoomPixels%1").arg(zoom.PixelsPerColumn)
                                    : QStringLiteral("MZoomFrames%1").arg(zoom.FramesPerColumn);
}

QAction* TMainForm::ZoomItem(ZoomLevel zoom) const
{
    if (zoom.PixelsPerColumn == 1 && IsZoomStep(zoom.FramesPerColumn))
        return findChild<QAction*>(QStringLiteral("MZoom%1").arg(zoom.FramesPerColumn / ZoomRatioFrames));
    for (const ZoomLevel step : FineZoomSteps) {
        if (step == zoom)
            return findChild<QAction*>(FineZoomItemName(zoom));
    }
    return nullptr;
}

void TMainForm::ShowZoom(ZoomLevel zoom)
{
    // A zoom between the steps is Whole File's.
    QAction* shown = ZoomItem(zoom);
    if (shown == nullptr)
        shown = ui_->MZoomWhole;
    for (QAction* item : ui_->MenuZoom->actions()) {
        if (item->isCheckable())
            item->setChecked(item == shown);
    }
}

int TMainForm::ShownPixels() const
{
    return ui_->ScrollBox1->Shown();
}

std::int64_t TMainForm::ViewLeft() const
{
    return ui_->ScrollBox1->Left();
}

void TMainForm::ScrollViewTo(std::int64_t left)
{
    ui_->ScrollBox1->SetLeft(left);
}

void TMainForm::ShowFrame(std::uint64_t frame)
{
    view_->ShowFrame(frame);
}

void TMainForm::PopUpViewMenu(int x, int y)
{
    PopupMenu1->popup(ui_->PaintBox1->mapToGlobal(QPoint(x, y)));
}

void TMainForm::StopIfActive()
{
    transport_->StopIfActive();
}

void TMainForm::ReleaseStream()
{
    transport_->ReleaseStream();
}

void TMainForm::CreateStream()
{
    transport_->CreateStream();
}

bool TMainForm::SaveChanges()
{
    ButtonSaveClick();
    return !Doc.Modified;
}

bool TMainForm::AdoptFolder(const std::string& folder)
{
    if (!tempFolder_ || !tempFolder_->IsValid() || !tempFolder_->Adopt(folder))
        return false;
    Doc.TempFolder = tempFolder_->Path();
    return true;
}

void TMainForm::AbandonFolder()
{
    if (!tempFolder_)
        return;
    tempFolder_->Abandon();
    Doc.TempFolder = tempFolder_->Path();
}

} // namespace velmora
