#include "WaveRenderer.h"
#include "Zoom.h"

#include "Units.h"

#include <QFont>
#include <QPainter>

#include <algorithm>

namespace velmora {

namespace {

const QColor Black(0, 0, 0);
const QColor SelectionBlue(0, 51, 204);
const QColor PeakGreen(0, 255, 0);
const QColor PeakRed(255, 0, 0);
const QColor MidlineOlive(128, 128, 0);
const QColor RulerLabelGrey(128, 128, 128);
const QColor StartAqua(0, 255, 255);
const QColor CursorYellow(255, 255, 0);

constexpr int LabelReach = 100;  // columns a label can reach beyond its anchor

QFont LabelFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(10);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

// A vertical line from row a towards row b: includes a, excludes b.
void VerticalLine(QPainter& painter, int x, int a, int b, const QColor& color)
{
    if (a == b)
        return;
    const int top = a < b ? a : b + 1;
    const int bottom = a < b ? b - 1 : a;
    painter.fillRect(x, top, 1, bottom - top + 1, color);
}

void Label(QPainter& painter, int x, int y, const QString& text, const QColor& color)
{
    painter.setPen(color);
    painter.drawText(QRect(x, y, 200, 20), Qt::AlignLeft | Qt::AlignTop, text);
}

// Whole seconds of a byte position of the playback stream.
std::int32_t SecondsAt(const WaveScene& scene, std::int64_t byte)
{
    if (scene.StreamBytesPerSecond <= 0)
        return 0;
    return WholeSeconds(static_cast<double>(byte) / scene.StreamBytesPerSecond);
}

void Marker(QPainter& painter, const WaveScene& scene, std::int64_t x, std::int32_t seconds, const QColor& color,
            int x0, int x1)
{
    if (x < x0 - LabelReach || x > x1 + LabelReach)
        return;
    const int column = static_cast<int>(x);
    VerticalLine(painter, column, 0, RulerTopRow(scene.Height) - 1, color);
    const int labelX = column > scene.BitmapWidth - 48 ? column - 46 : column + 2;
    Label(painter, labelX, 2, QString::fromStdString(SecondsToTimeText(seconds)), color);
}

} // namespace

std::uint32_t PlayColumn(const WaveScene& scene)
{
    return StreamByteToColumn(scene.PlayPosition, scene.ColumnCount, scene.StreamLength);
}

QImage RenderWaveTile(const WaveScene& scene, int x0, int width)
{
    const int height = std::max(scene.Height, WaveViewHeight);
    QImage tile(std::max(width, 1), height, QImage::Format_RGB32);
    tile.fill(Black);
    if (!scene.Visible || width <= 0)
        return tile;
    const int x1 = x0 + width;  // exclusive
    const int bitmapEnd = scene.BitmapWidth;

    QPainter painter(&tile);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setFont(LabelFont());
    painter.translate(-x0, 0);
    painter.setClipRect(QRect(x0, 0, width, height));
    const int rulerTop = RulerTopRow(height);
    const int midline = (rulerTop - 1) / 2;
    auto rows = [midline](std::int16_t peak) { return peak * midline / 100; };

    // The selection band: columns SelStart to SelFinish - 1, the edit
    // range; with the finish marker on the last column, to the end.
    const bool toTheEnd = scene.ColumnCount > 0 && scene.SelFinish + 1 >= scene.ColumnCount;
    const std::int64_t bandEnd = toTheEnd ? static_cast<std::int64_t>(scene.ColumnCount) : scene.SelFinish;
    const std::int64_t bandLeft = std::max<std::int64_t>(scene.SelStart, x0);
    const std::int64_t bandRight = std::min<std::int64_t>({bandEnd, x1, bitmapEnd});
    if (bandRight > bandLeft)
        painter.fillRect(QRect(static_cast<int>(bandLeft), 0, static_cast<int>(bandRight - bandLeft), height),
                         SelectionBlue);

    // Peaks.  While a rescan runs the arrays may be shorter than the view.
    const QColor& lowerColor = scene.Channels == 1 ? PeakGreen : PeakRed;
    std::int64_t columns = scene.ColumnCount;
    if (scene.PeakUpper != nullptr && scene.PeakLower != nullptr)
        columns = std::min<std::int64_t>({columns, static_cast<std::int64_t>(scene.PeakUpper->size()),
                                          static_cast<std::int64_t>(scene.PeakLower->size())});
    else
        columns = 0;
    const int first = std::max(x0, 0);
    const int last = static_cast<int>(std::min<std::int64_t>({x1, columns, bitmapEnd}));
    for (int i = first; i < last; ++i) {
        const auto index = static_cast<std::size_t>(i);
        VerticalLine(painter, i, midline - rows((*scene.PeakUpper)[index]), midline - 1, PeakGreen);
        VerticalLine(painter, i, midline, midline + rows((*scene.PeakLower)[index]), lowerColor);
    }
    painter.fillRect(QRect(first, midline, std::max(0, std::min(x1, bitmapEnd) - first), 1), MidlineOlive);

    // The ruler.
    painter.fillRect(QRect(first, rulerTop, std::max(0, std::min(x1, bitmapEnd) - first), RulerRows),
                     scene.RulerColor);
    const float step = TenSecondsInColumns(scene.SampleRate, scene.FramesPerColumn);
    // A label every 20 seconds; at a zoom coarser than the six steps (Whole
    // File) every so many more that the labels never run into each other.
    std::uint64_t labelEvery = 20;
    if (!IsZoomStep(scene.FramesPerColumn) && step > 0) {
        const float labelColumns = static_cast<float>(painter.fontMetrics().horizontalAdvance(QStringLiteral("00:00:00")) + 8);
        for (std::uint64_t every : {20, 40, 60, 120, 180, 300, 600, 1200, 1800, 3600, 7200, 14400, 28800, 86400}) {
            labelEvery = every;
            if (step * static_cast<float>(every) / 10.0f >= labelColumns)
                break;
        }
    }
    auto tick = [&](int c, std::uint64_t t) {
        if (c < x0 - LabelReach || c > x1 + LabelReach)
            return;
        if (t % labelEvery == 0) {
            VerticalLine(painter, c, rulerTop, rulerTop + 5, Black);
            Label(painter, c + 2, rulerTop + 7, QString::fromStdString(SecondsToTimeText(static_cast<std::int32_t>(t))),
                  RulerLabelGrey);
        } else {
            VerticalLine(painter, c, rulerTop, rulerTop + 2, Black);
        }
    };
    // Below ten seconds per column (rates under 1000 Hz at 10:1) several
    // ticks share a column; only the last of them is drawn there, so that a
    // very low rate does not pile up thousands of labels.
    float x = 0;
    int pendingColumn = 0;
    std::uint64_t pendingTime = 0;
    bool pending = false;
    for (std::uint64_t t = 0; t < scene.DurationSeconds; t += 10) {
        const int c = static_cast<int>(x);
        if (pending && c != pendingColumn)
            tick(pendingColumn, pendingTime);
        pending = true;
        pendingColumn = c;
        pendingTime = t;
        if (c > x1 + LabelReach && step > 0) {
            pending = false;
            break;
        }
        x = x + step;
    }
    if (pending)
        tick(pendingColumn, pendingTime);

    // Markers, the later ones on top.
    const auto startByte = ColumnToStreamByte(scene.SelStart, scene.StreamLength, scene.ColumnCount);
    Marker(painter, scene, scene.SelStart, SecondsAt(scene, startByte), StartAqua, x0, x1);
    const auto finishByte = ColumnToStreamByte(scene.SelFinish, scene.StreamLength, scene.ColumnCount);
    Marker(painter, scene, scene.SelFinish, SecondsAt(scene, finishByte), scene.FinishMarkerColor, x0, x1);
    Marker(painter, scene, PlayColumn(scene), SecondsAt(scene, scene.PlayPosition), CursorYellow, x0, x1);
    return tile;
}

} // namespace velmora
