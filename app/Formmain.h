#pragma once

#include "document/Document.h"
#include "document/WaveRenderer.h"
#include "platform/IniFile.h"
#include "platform/PrivateTempFolder.h"

#include <QMainWindow>

#include <memory>
#include <string>

class QAction;
class QLabel;
class QMenu;
class QTimer;

namespace Ui {
class TMainForm;
}

namespace velmora {

class TSpectrum;
class TVolume;
class UserDialogs;

// The virtual off-screen bitmap of the waveform view: a width in columns
// and 221 rows, drawn on demand a tile at a time (see RenderWaveTile).
struct WaveBitmapSize {
    int Width = 10;
    int Height = WaveViewHeight;
};

// The main window: owns the document, the waveform view, the transport,
// the displays, and every command.  Handlers keep the names of the controls
// and events they serve.
class TMainForm : public QMainWindow {
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
    WaveBitmapSize WaveBitmap;
    std::unique_ptr<TSpectrum> SpectrumView;
    std::unique_ptr<TVolume> LevelView;
    float FftData[512] = {};
    std::string LanguageFile;
    std::string HelpFile;
    std::unique_ptr<IniFile> LanguageIni;

    // ---- Command state and status bar ----
    void UpdateCommandState(std::int32_t state);

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
    QTimer* Timer1 = nullptr;
    QLabel* StatusPanels[3] = {};

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate(const QStringList& arguments, const std::string& programFolder);
    void FormDestroy();
    void ConnectCommands();
    void ChangeZoom(std::int32_t framesPerColumn);
    void CheckZoomItem(std::int32_t framesPerColumn);
    void SetViewWidth(std::uint32_t columns);
    // A click on the view: the play position to the column's byte.
    void SeekToColumn(int column);
    QAction* ZoomItem(std::int32_t framesPerColumn) const;
    std::uint32_t PlayColumnNow() const;

    std::unique_ptr<Ui::TMainForm> ui_;
    std::unique_ptr<PrivateTempFolder> tempFolder_;
    bool startedUp_ = false;
    bool shownOnce_ = false;
};

} // namespace velmora
