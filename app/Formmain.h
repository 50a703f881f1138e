#pragma once

#include "document/Document.h"
#include "history/EditHistory.h"
#include "document/EditorWindow.h"
#include "document/PlayCursorFollow.h"
#include "document/WaveRenderer.h"
#include "platform/IniFile.h"
#include "platform/PrivateTempFolder.h"

#include <QMainWindow>

#include <memory>
#include <vector>
#include <string>

class QAction;
class QLabel;
class QMenu;
class QTimer;
class QWheelEvent;

namespace Ui {
class TMainForm;
}

namespace velmora {

class EditCommands;
class QtTranslations;
class OpenCloseCommands;
class SelectionReadout;
class TLoudnessForm;
class TPropertiesForm;
class TSelectionForm;
class SaveCommands;
class TSpectrum;
class TVolume;
class Transport;
class UserDialogs;
class ViewCommands;

// The main window: owns the document, the waveform view, the transport,
// the displays, and every command.  Handlers keep the names of the controls
// and events they serve; those of the subsystems' commands call into the
// command code beside each subsystem, which sees the window as an
// EditorWindow.
// Kelvane.ini: beside the program in a build tree or a copy of its own; in
// the user's configuration folder ($XDG_CONFIG_HOME/velmora) for an
// installed program (its folder holds the file "user-config"), whose
// folder is not the user's to write even when it could be, and for a
// program in a folder it cannot write.
std::string ConfigurationFileFor(const std::string& programFolder);

// The object name of the Zoom menu's item of a step finer than 1:1
// ("MZoomFrames500" ... "MZoomFrames1", "MZoomPixels2" ...).
QString FineZoomItemName(ZoomLevel zoom);

class TMainForm : public QMainWindow, public EditorWindow {
    Q_OBJECT
public:
    // arguments: the command-line arguments after the program's name.
    // programFolder: where Kelvane.ini and the language files are; empty
    // for the executable's folder.
    explicit TMainForm(const QStringList& arguments, const std::string& programFolder = {},
                       QWidget* parent = nullptr);
    ~TMainForm() override;

    // False when start-up failed (wrong audio library version, no output
    // device); the message has been shown and the program should end.
    bool StartedUp() const { return startedUp_; }

    // ---- The document and what the window keeps about it ----
    Document Doc;
    EditHistory History;  // the document's steps to undo and redo
    WaveBitmapSize WaveBitmap;
    std::unique_ptr<TSpectrum> SpectrumView;
    std::unique_ptr<TVolume> LevelView;
    float FftData[512] = {};
    std::string LanguageFile;
    std::string ConfigurationFile;  // Kelvane.ini
    std::string HelpFile;
    std::unique_ptr<IniFile> LanguageIni;
    std::string LanguageIniName;  // the LanguageFile LanguageIni was read for
    std::unique_ptr<QtTranslations> QtTexts;  // Qt's own texts in the same language

    // ---- Command state and status bar ----
    void UpdateCommandState(std::int32_t state) override;

    // ---- Commands ----
    void ButtonOpenClick();
    void ButtonCloseClick();
    void ButtonSaveClick();
    void ButtonSaveAsClick();
    void ButtonDeleteClick();
    void ButtonCutOutClick();
    void ButtonVolumeClick();
    void ButtonFadeInClick();
    void ButtonFadeOutClick();
    void MSaveClick();
    void MSaveAsClick();
    void MDeleteClick();
    void MCutOutClick();
    void MVolumeClick();
    void MFadeInClick();
    void MFadeOutClick();
    void MUndoClick();
    void MRedoClick();
    void MPropertiesClick();
    void MLoudnessClick();
    void MNormalizeClick();
    void ButtonZoomInClick();
    void ButtonZoomOutClick();
    void ButtonHelpClick();
    void ButtonUpdateClick();
    void MSelectAllClick();
    void MZoom10Click();
    void MZoom8Click();
    void MZoom6Click();
    void MZoom4Click();
    void MZoom2Click();
    void MZoom1Click();
    void MZoomWholeClick();
    void MPlaySelectionClick();
    void MLoopClick(bool on);
    void MSetSelectionClick();
    void MHelpClick();
    void MHomeClick();
    void MAboutClick();
    void CButtonPlayClick();
    void CButtonPlayFromHereClick();
    void CButtonPauseClick();
    void CButtonStopClick();
    void CButtonSetStartClick();
    void CButtonSetFinishClick();
    void LanguageItemClick(QAction* sender);

    // ---- Waveform view ----
    void PaintBox1Paint();
    void PaintBox1MouseDown(Qt::MouseButton button, int x, int y);
    void PaintBox1MouseUp(Qt::MouseButton button, int x, int y);
    WaveScene CurrentWaveScene() const;

    // ---- Timer ----
    void Timer1Timer();

    // ---- Window events ----
    void FormShow();
    void FormActivate();
    void FormResize();

    // ---- Localization ----
    void BuildLanguageMenu(IniFile& configuration);
    void ApplyLanguage();
    // Widens the window so that the toolbar's row shows whole, as far as
    // the screen allows, and keeps it on the screen.
    void WidenForToolbar();

    // Opens SourceFile as Open does after its file dialog (also the file
    // named on the command line).
    void OpenSourceFile();

    // The controls, by the names they carry.
    Ui::TMainForm* Controls() const { return ui_.get(); }
    QMenu* PopupMenu1 = nullptr;
    QAction* MPopSetStart = nullptr;
    QAction* MPopSetFinish = nullptr;
    QAction* MPopPlayFromHere = nullptr;
    QAction* MPopSelectAll = nullptr;
    SelectionReadout* Readout = nullptr;
    TSelectionForm* SelectionForm = nullptr;
    TPropertiesForm* PropertiesForm = nullptr;
    TLoudnessForm* LoudnessForm = nullptr;
    std::vector<QAction*> SeekActions;  // Left, Right, Shift+Left, Shift+Right, Home, End
    std::vector<QAction*> FineZoomItems;  // the Zoom menu's steps finer than 1:1, in FineZoomSteps' order
    static constexpr int ReadoutLeft = 290;  // pixels, right of the transport buttons
    QTimer* Timer1 = nullptr;
    QLabel* StatusPanels[3] = {};
    // The keys of Zoom In and Zoom Out, which have no menu items.
    QAction* ZoomInAction = nullptr;
    QAction* ZoomOutAction = nullptr;

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void FormCreate(const QStringList& arguments, const std::string& programFolder);
    void FormDestroy();
    void ConnectCommands();
    // Gives every edit of the table without an item of its own in the
    // designed Edit menu one there, before Undo, that runs it by request.
    void AddTableEditItems();
    // Edit > Fade Shape: one of four, Linear at start.
    void ConnectFadeShapes();
    // Edit > Clean Joins: a check item, remembered in the configuration file.
    void ConnectCleanJoins();
    // The Zoom menu's item of zoom; nothing for a zoom between the steps.
    QAction* ZoomItem(ZoomLevel zoom) const;
    // Panel 2 of the status bar: its tool tip (the source file's path)
    // elided to the panel's width.
    void ElideSourcePanel();

    // ---- Keyboard, drops, wheel, following the play cursor ----
    void AssignShortcuts();
    // Space goes to Play, Pause or Play From Here by the play state.
    void AssignSpaceKey(std::int32_t state);
    // The wheel over the waveform: with Ctrl it steps the zoom, otherwise
    // it scrolls along the waveform.  True when the event was used.
    bool WheelOnView(QWheelEvent* event);
    // Called by the timer: while playing, keeps the play cursor in view.
    void FollowPlayCursor();

    // ---- EditorWindow ----
    void ShowZoom(ZoomLevel zoom) override;
    void RepaintView() override { PaintBox1Paint(); }
    void SetViewWidth(std::int64_t pixels) override;
    int ShownPixels() const override;
    std::int64_t ViewLeft() const override;
    void ScrollViewTo(std::int64_t left) override;
    void ShowFrame(std::uint64_t frame) override;
    void PopUpViewMenu(int x, int y) override;
    void StopIfActive() override;
    void ReleaseStream() override;
    void CreateStream() override;
    bool SaveChanges() override;
    bool AdoptFolder(const std::string& folder) override;
    void AbandonFolder() override;

    std::unique_ptr<Ui::TMainForm> ui_;
    std::unique_ptr<ViewCommands> view_;
    std::unique_ptr<Transport> transport_;
    std::unique_ptr<OpenCloseCommands> openClose_;
    std::unique_ptr<EditCommands> edit_;
    std::unique_ptr<SaveCommands> save_;
    std::unique_ptr<PrivateTempFolder> tempFolder_;
    bool startedUp_ = false;
    bool shownOnce_ = false;
    PlayCursorFollow cursorFollow_;
    bool wasPlaying_ = false;
    int wheelZoomDelta_ = 0;  // eighths of a degree not yet a zoom step
};

} // namespace velmora
