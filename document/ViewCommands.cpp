#include "ViewCommands.h"

#include "EditorWindow.h"
#include "Formreload.h"
#include "Reloadthread.h"
#include "Units.h"
#include "Zoom.h"

#include "document/Document.h"
#include "platform/audio/Bass.h"
#include "platform/widgets/RunModal.h"

#include <QPalette>
#include <QProgressBar>
#include <QWidget>

#include <algorithm>

namespace velmora {

std::uint32_t PlayColumnNow(const Document& doc)
{
    if (doc.Stream == 0)
        return 0;
    const auto position = static_cast<std::int64_t>(BASS_ChannelGetPosition(doc.Stream, BASS_POS_BYTE));
    return StreamByteToColumn(position, doc.ColumnCount, doc.StreamLength);
}

ViewCommands::ViewCommands(Document& doc, EditorWindow& window, QWidget& view, const WaveBitmapSize& bitmap)
    : doc_(doc), window_(window), view_(view), bitmap_(bitmap)
{
}

WaveScene ViewCommands::Scene(const QPalette& palette) const
{
    WaveScene scene;
    scene.Visible = !doc_.WorkFile.empty() && doc_.DocumentOpen;
    scene.PeakUpper = &doc_.PeakUpper;
    scene.PeakLower = &doc_.PeakLower;
    scene.ColumnCount = doc_.ColumnCount;
    scene.SelStart = doc_.SelStart;
    scene.SelFinish = doc_.SelFinish;
    scene.DurationSeconds = doc_.DurationSeconds;
    scene.Channels = doc_.Channels;
    scene.SampleRate = doc_.SampleRate;
    scene.FramesPerColumn = doc_.FramesPerColumn;
    scene.BitmapWidth = bitmap_.Width;
    scene.Height = bitmap_.Height;
    scene.StreamLength = doc_.StreamLength;
    BASS_CHANNELINFO info;
    if (doc_.Stream != 0 && BASS_ChannelGetInfo(doc_.Stream, &info)) {
        const double bytesPerSample = (info.flags & BASS_SAMPLE_8BITS) ? 1 : 2;
        scene.StreamBytesPerSecond = static_cast<double>(info.freq) * info.chans * bytesPerSample;
        scene.PlayPosition = static_cast<std::int64_t>(BASS_ChannelGetPosition(doc_.Stream, BASS_POS_BYTE));
    }
    scene.RulerColor = ReadableRulerColor(palette.color(QPalette::ToolTipBase));
    scene.FinishMarkerColor = ReadableFinishMarkerColor(palette.color(QPalette::Light));
    return scene;
}

void ViewCommands::Paint()
{
    view_.update();
    if (doc_.WorkFile.empty() || !doc_.DocumentOpen)
        return;
    const std::uint32_t c = PlayColumnNow(doc_);
    if (c != 0 && c + 1 < doc_.ColumnCount && (c == doc_.SelStart || c == doc_.SelFinish)) {
        BASS_ChannelPause(doc_.Stream);
        window_.UpdateCommandState(psPaused);
    }
}

void ViewCommands::ChangeZoom(std::int32_t framesPerColumn)
{
    if (doc_.FramesPerColumn == framesPerColumn)
        return;
    // The frame at the centre of the view stays at its centre.
    const std::int64_t centreFrame = window_.CentreColumn() * doc_.FramesPerColumn;  // frames
    window_.ReleaseStream();
    window_.ShowZoom(framesPerColumn);

    ReloadForm->ProgressBar1()->setValue(0);
    TReloadThread worker(doc_, framesPerColumn, *ReloadForm);
    RunModalWithBody(*ReloadForm, [&worker] { worker.Execute(); });

    window_.CreateStream();
    window_.SetViewWidth(doc_.ColumnCount);
    window_.CentreOn(framesPerColumn > 0 ? centreFrame / framesPerColumn : 0);
    window_.UpdateCommandState(psStopped);
    window_.RepaintView();
}

void ViewCommands::ZoomToWholeFile()
{
    ChangeZoom(WholeFileFramesPerColumn(doc_.TotalFrames, window_.ShownColumns()));
}

void ViewCommands::ZoomIn()
{
    // The first checked item of 10:1 ... 2:1 steps to the next finer one;
    // from Whole File, the nearest finer step.
    for (std::int32_t step : ZoomSteps) {
        if (step != FinestZoom && window_.IsZoomShown(step)) {
            ChangeZoom(ZoomInStep(step));
            return;
        }
    }
    if (!IsZoomStep(doc_.FramesPerColumn))
        ChangeZoom(ZoomInStep(doc_.FramesPerColumn));
}

void ViewCommands::ZoomOut()
{
    // The first checked item of 1:1 ... 8:1 steps to the next coarser one.
    for (auto step = std::rbegin(ZoomSteps); step != std::rend(ZoomSteps); ++step) {
        if (*step != CoarsestZoom && window_.IsZoomShown(*step)) {
            ChangeZoom(ZoomOutStep(*step));
            return;
        }
    }
    if (!IsZoomStep(doc_.FramesPerColumn))
        ChangeZoom(ZoomOutStep(doc_.FramesPerColumn));
}

// Clicks below the waveform (on the ruler) do nothing.
void ViewCommands::MouseDown(Qt::MouseButton button, int x, int y)
{
    if (doc_.Stream == 0 || y >= RulerTopRow(bitmap_.Height) || button != Qt::LeftButton)
        return;
    SeekToColumn(x);
    pressed_ = doc_.ColumnCount > 0;
    dragged_ = false;
    anchor_ = ColumnAt(x);
    startBefore_ = doc_.SelStart;
    finishBefore_ = doc_.SelFinish;
}

void ViewCommands::MouseDrag(int x, int)
{
    if (!pressed_ || doc_.Stream == 0)
        return;
    const std::uint32_t column = ColumnAt(x);
    if (!dragged_ && column == anchor_)
        return;  // not a drag yet: a click that shook
    dragged_ = true;
    if (column == anchor_)
        SelectColumns(startBefore_, finishBefore_);
    else
        SelectColumns(anchor_, column);
}

void ViewCommands::MouseUp(Qt::MouseButton button, int x, int y)
{
    if (button == Qt::LeftButton) {
        if (pressed_ && dragged_)
            MouseDrag(x, y);
        pressed_ = false;
        dragged_ = false;
        return;
    }
    if (doc_.Stream == 0 || y >= RulerTopRow(bitmap_.Height) || button != Qt::RightButton)
        return;
    SeekToColumn(x);
    window_.PopUpViewMenu(x, y);
}

void ViewCommands::ShiftClick(int x, int y)
{
    if (doc_.Stream == 0 || doc_.ColumnCount == 0 || y >= RulerTopRow(bitmap_.Height))
        return;
    const std::uint32_t column = ColumnAt(x);
    // The nearer marker; between them on a tie, the finish marker.
    const std::uint32_t toStart = column > doc_.SelStart ? column - doc_.SelStart : doc_.SelStart - column;
    const std::uint32_t toFinish = column > doc_.SelFinish ? column - doc_.SelFinish : doc_.SelFinish - column;
    if (toStart < toFinish)
        SelectColumns(column, doc_.SelFinish);
    else
        SelectColumns(doc_.SelStart, column);
}

void ViewCommands::StepColumns(std::int64_t columns)
{
    if (doc_.Stream == 0 || doc_.ColumnCount == 0)
        return;
    const std::int64_t target = static_cast<std::int64_t>(PlayColumnNow(doc_)) + columns;
    SeekToColumn(static_cast<int>(std::clamp<std::int64_t>(target, 0, LastColumn(doc_))));
}

void ViewCommands::StepScreens(int screens)
{
    // What the scroll box shows of the view, at least a column.
    const int shown = std::max(view_.visibleRegion().boundingRect().width(), 1);
    StepColumns(static_cast<std::int64_t>(screens) * shown);
}

void ViewCommands::SeekToEnd(bool last)
{
    if (doc_.Stream == 0 || doc_.ColumnCount == 0)
        return;
    SeekToColumn(last ? static_cast<int>(LastColumn(doc_)) : 0);
}

std::uint32_t ViewCommands::ColumnAt(int x) const
{
    if (x <= 0 || doc_.ColumnCount == 0)
        return 0;
    return std::min(static_cast<std::uint32_t>(x), LastColumn(doc_));
}

void ViewCommands::SelectColumns(std::uint32_t from, std::uint32_t to)
{
    SetMarkers(doc_, std::min(from, to), std::max(from, to));
    window_.UpdateCommandState(doc_.PlayState);
    window_.RepaintView();
}

void ViewCommands::SeekToColumn(int column)
{
    const std::int64_t byte = ColumnToStreamByte(static_cast<std::uint32_t>(column), doc_.StreamLength, doc_.ColumnCount);
    BASS_ChannelSetPosition(doc_.Stream, static_cast<QWORD>(byte), BASS_POS_BYTE);
    window_.UpdateCommandState(doc_.PlayState);
    window_.RepaintView();
}

void ViewCommands::SelectAll()
{
    velmora::SelectAll(doc_);
    window_.UpdateCommandState(doc_.PlayState);
    window_.RepaintView();
}

} // namespace velmora
