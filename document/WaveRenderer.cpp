#include "WaveRenderer.h"
#include "Zoom.h"

#include "Units.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QRect>
#include <QString>

#include <algorithm>
#include <cmath>
#include <vector>

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

// A marker: its column, time and colour, and where its label goes.
struct MarkerDrawing {
    std::int64_t Column;
    QString Text;
    QColor Color;
    QRect Box;  // of the label
};

// Places the labels of markers, in the order they are drawn: right of the
// line (left of it near the right edge), in the top row, or lower where a
// label placed before would be covered.  Independent of the tile, so that
// every tile places them alike.
void PlaceLabels(std::vector<MarkerDrawing>& markers, int bitmapWidth)
{
    const QFontMetrics metrics(LabelFont());
    const int line = metrics.height();
    for (std::size_t i = 0; i < markers.size(); ++i) {
        MarkerDrawing& marker = markers[i];
        const int column = static_cast<int>(marker.Column);
        const int x = column > bitmapWidth - 48 ? column - 46 : column + 2;
        marker.Box = QRect(x, 2, metrics.horizontalAdvance(marker.Text), line);
        auto covers = [&](const MarkerDrawing& before) {
            const bool same = before.Box == marker.Box && before.Text == marker.Text;
            return !same && before.Box.intersects(marker.Box);
        };
        while (std::any_of(markers.begin(), markers.begin() + static_cast<std::ptrdiff_t>(i), covers))
            marker.Box.translate(0, line);
    }
}

void DrawMarker(QPainter& painter, const WaveScene& scene, const MarkerDrawing& marker, int x0, int x1)
{
    if (marker.Column < x0 - LabelReach || marker.Column > x1 + LabelReach)
        return;
    VerticalLine(painter, static_cast<int>(marker.Column), 0, RulerTopRow(scene.Height) - 1, marker.Color);
    Label(painter, marker.Box.x(), marker.Box.y(), marker.Text, marker.Color);
}

// Relative luminance, 0 (black) to 1 (white).
double Luminance(const QColor& color)
{
    auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) + 0.0722 * linear(color.blueF());
}

// How far apart two colours stand for the eye: 1 (none) to 21.
double Contrast(const QColor& a, const QColor& b)
{
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Large text and lines read from this contrast on.
constexpr double ReadableContrast = 3.0;

} // namespace

QColor ReadableRulerColor(const QColor& toolTipBase)
{
    // Grey reads on a light ground only: on a darker one it is grey on
    // dark grey, whatever the contrast.
    const bool reads = Luminance(toolTipBase) > Luminance(RulerLabelGrey) &&
                       Contrast(toolTipBase, RulerLabelGrey) >= ReadableContrast;
    return reads ? toolTipBase : QColor(255, 255, 225);
}

QColor ReadableFinishMarkerColor(const QColor& light)
{
    // Set apart from the selection band too, which it borders.
    const bool reads = Contrast(light, Black) >= ReadableContrast && Contrast(light, SelectionBlue) >= ReadableContrast;
    return reads ? light : QColor(227, 227, 227);
}

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
    auto timeText = [&scene](std::int64_t byte) {
        return QString::fromStdString(SecondsToTimeText(SecondsAt(scene, byte)));
    };
    const auto startByte = ColumnToStreamByte(scene.SelStart, scene.StreamLength, scene.ColumnCount);
    const auto finishByte = ColumnToStreamByte(scene.SelFinish, scene.StreamLength, scene.ColumnCount);
    std::vector<MarkerDrawing> markers = {
        {scene.SelStart, timeText(startByte), StartAqua, {}},
        {scene.SelFinish, timeText(finishByte), scene.FinishMarkerColor, {}},
        {PlayColumn(scene), timeText(scene.PlayPosition), CursorYellow, {}},
    };
    PlaceLabels(markers, scene.BitmapWidth);
    for (const MarkerDrawing& marker : markers)
        DrawMarker(painter, scene, marker, x0, x1);
    return tile;
}

} // namespace velmora
