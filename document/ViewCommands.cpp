#include "ViewCommands.h"

#include "EditorWindow.h"
#include "FrameReader.h"
#include "Formreload.h"
#include "Reloadthread.h"
#include "Units.h"
#include "Zoom.h"

#include "platform/audio/Bass.h"
#include "platform/widgets/RunModal.h"

#include <QPalette>
#include <QProgressBar>
#include <QWidget>

#include <algorithm>

namespace velmora {

std::uint32_t PlayFrameNow(const Document& doc)
{
    if (doc.Stream == 0 || doc.FrameSize <= 0)
        return 0;
    const QWORD position = BASS_ChannelGetPosition(doc.Stream, BASS_POS_BYTE);  // bytes of the stream
    if (position == static_cast<QWORD>(-1))
        return 0;
    return static_cast<std::uint32_t>(std::min<QWORD>(position / static_cast<QWORD>(doc.FrameSize), doc.TotalFrames));
}

std::uint32_t PlayColumnNow(const Document& doc)
{
    return doc.Stream == 0 ? 0 : ColumnOfFrame(doc, PlayFrameNow(doc));
}

void SeekStream(const Document& doc, std::uint32_t frame)
{
    if (doc.Stream == 0 || doc.FrameSize <= 0)
        return;
    const QWORD byte = static_cast<QWORD>(std::min(frame, doc.TotalFrames)) * static_cast<QWORD>(doc.FrameSize);
    BASS_ChannelSetPosition(doc.Stream, byte, BASS_POS_BYTE);
}

std::int64_t ViewWidthOf(const Document& doc)
{
    return static_cast<std::int64_t>(doc.ColumnCount) * std::max(doc.PixelsPerColumn, 1);
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
    const Document& doc = doc_;
    scene.Samples = [&doc](std::uint64_t first, std::size_t count, std::vector<std::int16_t>& samples) {
        return ReadFrameSamples(doc, first, count, samples);
    };
    scene.ColumnCount = doc_.ColumnCount;
    scene.TotalFrames = doc_.TotalFrames;
    scene.SelStartFrame = doc_.SelStartFrame;
    scene.SelFinishFrame = doc_.SelFinishFrame;
    scene.DurationSeconds = doc_.DurationSeconds;
    scene.Channels = doc_.Channels;
    scene.SampleRate = doc_.SampleRate;
    scene.FramesPerColumn = doc_.FramesPerColumn;
    scene.PixelsPerColumn = doc_.PixelsPerColumn;
    scene.BitmapWidth = bitmap_.Width;
    scene.Height = bitmap_.Height;
    scene.PlayFrame = PlayFrameNow(doc_);
    scene.ViewLeft = window_.ViewLeft();
    scene.RulerColor = ReadableRulerColor(palette.color(QPalette::ToolTipBase));
    scene.FinishMarkerColor = ReadableFinishMarkerColor(palette.color(QPalette::Light));
    return scene;
}

void ViewCommands::Paint()
{
    view_.update();
    if (doc_.WorkFile.empty() || !doc_.DocumentOpen || doc_.PlaysSelection)
        return;
    const std::uint32_t c = PlayColumnNow(doc_);
    if (c != 0 && c + 1 < doc_.ColumnCount && (c == doc_.SelStart || c == doc_.SelFinish)) {
        BASS_ChannelPause(doc_.Stream);
        window_.UpdateCommandState(psPaused);
    }
}

std::int64_t ViewCommands::PixelOfFrame(std::uint64_t frame) const
{
    const auto perColumn = static_cast<std::uint64_t>(std::max(doc_.FramesPerColumn, 1));
    return static_cast<std::int64_t>(frame / perColumn) * std::max(doc_.PixelsPerColumn, 1);
}

std::uint32_t ViewCommands::FrameAtPixel(std::int64_t pixel) const
{
    const std::int64_t pixels = std::max(doc_.PixelsPerColumn, 1);
    const std::int64_t clamped = std::clamp<std::int64_t>(pixel, 0, ViewWidthOf(doc_));
    if (clamped >= ViewWidthOf(doc_))
        return doc_.TotalFrames;  // past the picture: the end
    if (pixels > 1)
        return static_cast<std::uint32_t>(std::min<std::int64_t>((clamped + pixels / 2) / pixels, doc_.TotalFrames));
    return StartFrameOfColumn(doc_, static_cast<std::uint32_t>(clamped));
}

std::uint32_t ViewCommands::FrameAt(int x) const
{
    return FrameAtPixel(window_.ViewLeft() + x);
}

void ViewCommands::CentreOnFrame(std::uint64_t frame)
{
    const std::int64_t pixel = PixelOfFrame(frame) + std::max(doc_.PixelsPerColumn, 1) / 2;
    window_.ScrollViewTo(pixel - window_.ShownPixels() / 2);
}

void ViewCommands::ShowFrame(std::uint64_t frame)
{
    const std::int64_t pixel = std::min(PixelOfFrame(frame), std::max<std::int64_t>(ViewWidthOf(doc_) - 1, 0));
    const std::int64_t left = window_.ViewLeft();
    if (pixel < left || pixel >= left + window_.ShownPixels())
        CentreOnFrame(frame);
}

void ViewCommands::ChangeZoom(ZoomLevel zoom)
{
    if (ZoomOf(doc_) == zoom || !IsValidZoom(zoom))
        return;
    // What the view shows now: the selection where all of it is in view,
    // otherwise the frame at its centre (of the part of the picture shown,
    // a document narrower than the view ending before the view's middle).
    const std::int64_t left = window_.ViewLeft();
    const std::int64_t right = std::min<std::int64_t>(left + window_.ShownPixels(), ViewWidthOf(doc_));
    const std::int64_t selectionLeft = PixelOfFrame(doc_.SelStartFrame);
    const std::int64_t selectionRight = PixelOfFrame(doc_.SelFinishFrame);
    const bool selectionShown = doc_.SelFinishFrame > doc_.SelStartFrame && selectionLeft >= left && selectionRight <= right;
    const std::uint64_t centre = selectionShown ? (std::uint64_t{doc_.SelStartFrame} + doc_.SelFinishFrame) / 2
                                                : FrameAtPixel((left + right) / 2);  // frames
    const std::uint32_t playFrame = PlayFrameNow(doc_);

    window_.ReleaseStream();
    window_.ShowZoom(zoom);
    ReloadForm->ProgressBar1()->setValue(0);
    TReloadThread worker(doc_, zoom, *ReloadForm);
    RunModalWithBody(*ReloadForm, [&worker] { worker.Execute(); });

    window_.CreateStream();
    SeekStream(doc_, playFrame);
    window_.SetViewWidth(ViewWidthOf(doc_));
    CentreOnFrame(centre);
    window_.UpdateCommandState(psStopped);
    window_.RepaintView();
}

void ViewCommands::ZoomToWholeFile()
{
    ChangeZoom(WholeFileZoom(doc_.TotalFrames, static_cast<std::uint32_t>(window_.ShownPixels())));
}

void ViewCommands::ZoomIn()
{
    ChangeZoom(ZoomInStep(ZoomOf(doc_)));
}

void ViewCommands::ZoomOut()
{
    ChangeZoom(ZoomOutStep(ZoomOf(doc_)));
}

int ViewCommands::MarkerAt(int x, int y) const
{
    if (doc_.Stream == 0 || doc_.ColumnCount == 0 || y >= RulerTopRow(bitmap_.Height))
        return 0;
    const std::int64_t pixel = window_.ViewLeft() + x;
    const std::int64_t last = std::max<std::int64_t>(ViewWidthOf(doc_) - 1, 0);
    const std::int64_t toStart = std::abs(pixel - std::min(PixelOfFrame(doc_.SelStartFrame), last));
    const std::int64_t toFinish = std::abs(pixel - std::min(PixelOfFrame(doc_.SelFinishFrame), last));
    if (std::min(toStart, toFinish) > MarkerGrip)
        return 0;
    // The nearer; on one line, the finish marker, which moves rightwards.
    return toStart < toFinish ? 1 : 2;
}

bool ViewCommands::OverMarker(int x, int y) const
{
    return MarkerAt(x, y) != 0;
}

// Clicks below the waveform (on the ruler) do nothing.
void ViewCommands::MouseDown(Qt::MouseButton button, int x, int y)
{
    if (doc_.Stream == 0 || y >= RulerTopRow(bitmap_.Height) || button != Qt::LeftButton)
        return;
    startBefore_ = doc_.SelStartFrame;
    finishBefore_ = doc_.SelFinishFrame;
    pressX_ = x;
    if (const int marker = MarkerAt(x, y)) {
        // The other marker stays where it is.
        drag_ = Drag::MarkerHeld;
        anchor_ = marker == 1 ? doc_.SelFinishFrame : doc_.SelStartFrame;
        return;
    }
    anchor_ = FrameAt(x);
    SeekToFrame(anchor_, false);
    drag_ = doc_.ColumnCount > 0 ? Drag::Pending : Drag::None;
}

void ViewCommands::MouseDrag(int x, int)
{
    if (drag_ == Drag::None || doc_.Stream == 0)
        return;
    const std::uint32_t frame = FrameAt(x);
    if (drag_ == Drag::MarkerHeld) {
        if (x == pressX_)
            return;
        drag_ = Drag::Marker;
    }
    if (drag_ == Drag::Pending) {
        if (frame == anchor_)
            return;  // not a drag yet: a click that shook
        drag_ = Drag::Selecting;
    }
    if (drag_ == Drag::Selecting && frame == anchor_) {
        SetMarkerFrames(doc_, startBefore_, finishBefore_);
        window_.UpdateCommandState(doc_.PlayState);
        window_.RepaintView();
    } else {
        // A new selection's both ends are the pointer's; a marker's other end stays.
        SelectFrames(anchor_, frame, drag_ == Drag::Selecting);
    }
    // Dragged past an edge of the view, the view goes along.
    if (x < 0 || x >= window_.ShownPixels())
        ShowFrame(frame);
}

void ViewCommands::MouseUp(Qt::MouseButton button, int x, int y)
{
    if (button == Qt::LeftButton) {
        if (drag_ == Drag::MarkerHeld && x == pressX_)
            SeekToFrame(FrameAt(x), false);  // a click on a marker
        else if (drag_ == Drag::Selecting || drag_ == Drag::Marker || drag_ == Drag::MarkerHeld)
            MouseDrag(x, y);
        drag_ = Drag::None;
        return;
    }
    if (doc_.Stream == 0 || y >= RulerTopRow(bitmap_.Height) || button != Qt::RightButton)
        return;
    SeekToFrame(FrameAt(x), false);
    window_.PopUpViewMenu(x, y);
}

void ViewCommands::ShiftClick(int x, int y)
{
    if (doc_.Stream == 0 || doc_.ColumnCount == 0 || y >= RulerTopRow(bitmap_.Height))
        return;
    const std::uint32_t frame = FrameAt(x);
    // The nearer marker; between them on a tie, the finish marker.
    auto distance = [](std::uint32_t a, std::uint32_t b) { return a > b ? a - b : b - a; };
    if (distance(frame, doc_.SelStartFrame) < distance(frame, doc_.SelFinishFrame))
        SelectFrames(doc_.SelFinishFrame, frame, false);
    else
        SelectFrames(doc_.SelStartFrame, frame, false);
}

void ViewCommands::StepColumns(std::int64_t columns)
{
    if (doc_.Stream == 0 || doc_.ColumnCount == 0)
        return;
    // At the end of the audio the position stands past the last column.
    const std::uint32_t frame = PlayFrameNow(doc_);
    const std::int64_t now = frame >= doc_.TotalFrames ? doc_.ColumnCount : PlayColumnNow(doc_);
    const std::int64_t target = now + columns;
    // Past the last column's start lies the end of the audio.
    if (target > static_cast<std::int64_t>(LastColumn(doc_))) {
        SeekToFrame(doc_.TotalFrames);
        return;
    }
    SeekToFrame(StartFrameOfColumn(doc_, static_cast<std::uint32_t>(std::max<std::int64_t>(target, 0))));
}

void ViewCommands::StepScreens(int screens)
{
    // As many columns as the view shows, at least one.
    const std::int64_t columns = std::max<std::int64_t>(window_.ShownPixels() / std::max(doc_.PixelsPerColumn, 1), 1);
    StepColumns(static_cast<std::int64_t>(screens) * columns);
}

void ViewCommands::SeekToEnd(bool last)
{
    if (doc_.Stream == 0 || doc_.ColumnCount == 0)
        return;
    SeekToFrame(last ? doc_.TotalFrames : 0);
}

void ViewCommands::SelectFrames(std::uint32_t anchor, std::uint32_t pointer, bool anchorFromPointer)
{
    // As the column rules have it, a finish on the last column is the end
    // (at a frame a column the frame itself is meant).
    auto atColumn = [this](std::uint32_t frame) {
        const bool last = doc_.FramesPerColumn > 1 && ColumnOfFrame(doc_, frame) == LastColumn(doc_);
        return last ? doc_.TotalFrames : frame;
    };
    const std::uint32_t from = anchorFromPointer ? atColumn(anchor) : anchor;
    const std::uint32_t to = atColumn(pointer);
    SetMarkerFrames(doc_, std::min(from, to), std::max(from, to));
    window_.UpdateCommandState(doc_.PlayState);
    window_.RepaintView();
}

void ViewCommands::SeekToFrame(std::uint32_t frame, bool show)
{
    SeekStream(doc_, frame);
    if (show)
        ShowFrame(frame);
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
