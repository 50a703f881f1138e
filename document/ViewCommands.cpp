// The waveform view's commands: repaint with the marker stop, zoom,
// clicks on the view, Select All.

#include "Formreload.h"
#include "Reloadthread.h"
#include "Units.h"
#include "Zoom.h"

#include "app/DialogService.h"
#include "app/Formmain.h"
#include "app/ModalBody.h"
#include "app/Windows.h"
#include "platform/audio/Bass.h"
#include "ui_Formmain.h"

#include <QMenu>
#include <QProgressBar>

namespace velmora {

WaveScene TMainForm::CurrentWaveScene() const
{
    WaveScene scene;
    scene.Visible = !Doc.WorkFile.empty() && Doc.DocumentOpen;
    scene.PeakUpper = &Doc.PeakUpper;
    scene.PeakLower = &Doc.PeakLower;
    scene.ColumnCount = Doc.ColumnCount;
    scene.SelStart = Doc.SelStart;
    scene.SelFinish = Doc.SelFinish;
    scene.DurationSeconds = Doc.DurationSeconds;
    scene.Channels = Doc.Channels;
    scene.SampleRate = Doc.SampleRate;
    scene.FramesPerColumn = Doc.FramesPerColumn;
    scene.BitmapWidth = WaveBitmap.Width;
    scene.StreamLength = Doc.StreamLength;
    BASS_CHANNELINFO info;
    if (Doc.Stream != 0 && BASS_ChannelGetInfo(Doc.Stream, &info)) {
        const double bytesPerSample = (info.flags & BASS_SAMPLE_8BITS) ? 1 : 2;
        scene.StreamBytesPerSecond = static_cast<double>(info.freq) * info.chans * bytesPerSample;
        scene.PlayPosition = static_cast<std::int32_t>(BASS_ChannelGetPosition(Doc.Stream, BASS_POS_BYTE));
    }
    scene.RulerColor = palette().color(QPalette::ToolTipBase);
    scene.FinishMarkerColor = palette().color(QPalette::Light);
    return scene;
}

void TMainForm::PaintBox1Paint()
{
    ui_->PaintBox1->update();
    if (Doc.WorkFile.empty() || !Doc.DocumentOpen)
        return;
    // The marker stop: the play cursor on a marker pauses playback there,
    // except on the first and the last column.
    const std::uint32_t c = PlayColumnNow();
    if (c != 0 && c != Doc.ColumnCount - 1 && (c == Doc.SelStart || c == Doc.SelFinish)) {
        BASS_ChannelPause(Doc.Stream);
        UpdateCommandState(psPaused);
    }
}

void TMainForm::ChangeZoom(std::int32_t framesPerColumn)
{
    if (Doc.FramesPerColumn == framesPerColumn)
        return;
    BASS_StreamFree(Doc.Stream);
    Doc.Stream = 0;
    Doc.FramesPerColumn = framesPerColumn;
    CheckZoomItem(framesPerColumn);

    ReloadForm->ProgressBar1()->setValue(0);
    auto* worker = new TReloadThread(*this, *ReloadForm);
    RunModalWithBody(*ReloadForm, [worker] {
        worker->Execute();
        delete worker;
    });

    Doc.Stream = BASS_StreamCreateFile(0, Doc.WorkFile.c_str(), 0, 0, 0);
    SetViewWidth(Doc.ColumnCount);
    Doc.SelStart = 0;
    Doc.SelFinish = Doc.ColumnCount - 1;
    UpdateCommandState(psStopped);
    PaintBox1Paint();
}

void TMainForm::MZoom10Click() { ChangeZoom(10000); }
void TMainForm::MZoom8Click() { ChangeZoom(8000); }
void TMainForm::MZoom6Click() { ChangeZoom(6000); }
void TMainForm::MZoom4Click() { ChangeZoom(4000); }
void TMainForm::MZoom2Click() { ChangeZoom(2000); }
void TMainForm::MZoom1Click() { ChangeZoom(1000); }

void TMainForm::ButtonZoomInClick()
{
    // The first checked item of 10:1 ... 2:1 steps to the next finer one.
    for (std::int32_t step : {10000, 8000, 6000, 4000, 2000}) {
        if (ZoomItem(step)->isChecked()) {
            ChangeZoom(ZoomInStep(step));
            return;
        }
    }
}

void TMainForm::ButtonZoomOutClick()
{
    for (std::int32_t step : {1000, 2000, 4000, 6000, 8000}) {
        if (ZoomItem(step)->isChecked()) {
            ChangeZoom(ZoomOutStep(step));
            return;
        }
    }
}

void TMainForm::PaintBox1MouseDown(Qt::MouseButton button, int x, int y)
{
    if (Doc.Stream == 0 || y >= 201 || button != Qt::LeftButton)
        return;
    SeekToColumn(x);
}

void TMainForm::PaintBox1MouseUp(Qt::MouseButton button, int x, int y)
{
    if (Doc.Stream == 0 || y >= 201 || button != Qt::RightButton)
        return;
    SeekToColumn(x);
    PopupMenu1->popup(ui_->PaintBox1->mapToGlobal(QPoint(x, y)));
}

void TMainForm::SeekToColumn(int column)
{
    const std::int32_t byte = ColumnToStreamByte(static_cast<std::uint32_t>(column), Doc.StreamLength, Doc.ColumnCount);
    BASS_ChannelSetPosition(Doc.Stream, static_cast<QWORD>(byte), BASS_POS_BYTE);
    UpdateCommandState(Doc.PlayState);
    PaintBox1Paint();
}

void TMainForm::MSelectAllClick()
{
    Doc.SelStart = 0;
    Doc.SelFinish = Doc.ColumnCount - 1;
    UpdateCommandState(Doc.PlayState);
    PaintBox1Paint();
}

} // namespace velmora
