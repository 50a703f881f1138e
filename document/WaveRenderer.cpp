#include "WaveRenderer.h"

#include "Document.h"
#include "Units.h"
#include "Zoom.h"

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

constexpr int LabelReach = 100;  // pixels a label can reach beyond its anchor
const QColor LaneGrey(64, 64, 64);

QFont LabelFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(10);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

// A pixel of the whole picture in a tile that starts at x0: kept within a
// wide reach of the tile, so that it fits an int whatever the picture's
// width.
int LocalX(std::int64_t pixel, std::int64_t x0, int width)
{
    constexpr std::int64_t Reach = 1 << 20;
    return static_cast<int>(std::clamp<std::int64_t>(pixel - x0, -Reach, width + Reach));
}

// The first pixel of a frame's column (its left edge).
std::int64_t PixelOfFrame(const WaveScene& scene, std::uint64_t frame)
{
    const auto perColumn = static_cast<std::uint64_t>(std::max(scene.FramesPerColumn, 1));
    return static_cast<std::int64_t>(frame / perColumn) * std::max(scene.PixelsPerColumn, 1);
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

// A label's box in pixels of the whole picture.
struct LabelBox {
    std::int64_t X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    bool operator==(const LabelBox&) const = default;
    bool Intersects(const LabelBox& other) const
    {
        return X < other.X + other.Width && other.X < X + Width && Y < other.Y + other.Height &&
               other.Y < Y + Height;
    }
};

// A marker: its pixel, time and colour, and where its label goes.
struct MarkerDrawing {
    std::int64_t Pixel;
    QString Text;
    QColor Color;
    LabelBox Box;
};

// Places the labels of markers, in the order they are drawn: right of the
// line (left of it near the right edge), in the top row, or lower where a
// label placed before would be covered.  Independent of the tile, so that
// every tile places them alike.  The whole seconds' labels flip 46 pixels
// left from 48 before the edge; the longer precise ones by their width.
void PlaceLabels(std::vector<MarkerDrawing>& markers, std::int64_t bitmapWidth, bool precise)
{
    const QFontMetrics metrics(LabelFont());
    const int line = metrics.height();
    for (std::size_t i = 0; i < markers.size(); ++i) {
        MarkerDrawing& marker = markers[i];
        const int textWidth = metrics.horizontalAdvance(marker.Text);
        const int flipAt = precise ? textWidth + 4 : 48;
        const int leftBy = precise ? textWidth + 2 : 46;
        const std::int64_t x = marker.Pixel > bitmapWidth - flipAt ? marker.Pixel - leftBy : marker.Pixel + 2;
        marker.Box = {x, 2, textWidth, line};
        auto covers = [&](const MarkerDrawing& before) {
            const bool same = before.Box == marker.Box && before.Text == marker.Text;
            return !same && before.Box.Intersects(marker.Box);
        };
        while (std::any_of(markers.begin(), markers.begin() + static_cast<std::ptrdiff_t>(i), covers))
            marker.Box.Y += line;
    }
}

void DrawMarker(QPainter& painter, const WaveScene& scene, const MarkerDrawing& marker, std::int64_t x0, int width)
{
    if (marker.Pixel < x0 - LabelReach || marker.Pixel > x0 + width + LabelReach)
        return;
    VerticalLine(painter, LocalX(marker.Pixel, x0, width), 0, RulerTopRow(scene.Height) - 1, marker.Color);
    Label(painter, LocalX(marker.Box.X, x0, width), marker.Box.Y, marker.Text, marker.Color);
}

// Rows a peak of percent (0..100) reaches from the midline.
int PeakRows(std::int32_t percent, int midline)
{
    return percent * midline / 100;
}

// The peaks of one column: up from the midline in green, down in the
// lower colour.
void PeakColumn(QPainter& painter, int x, std::int32_t upper, std::int32_t lower, int midline, const QColor& lowerColor)
{
    VerticalLine(painter, x, midline - PeakRows(upper, midline), midline - 1, PeakGreen);
    VerticalLine(painter, x, midline, midline + PeakRows(lower, midline), lowerColor);
}

// At 1000 frames a column and more: the peak arrays.
void DrawPeakColumns(QPainter& painter, const WaveScene& scene, std::int64_t x0, int width, int midline)
{
    // While a rescan runs the arrays may be shorter than the view.
    std::int64_t columns = scene.ColumnCount;
    if (scene.PeakUpper != nullptr && scene.PeakLower != nullptr)
        columns = std::min<std::int64_t>({columns, static_cast<std::int64_t>(scene.PeakUpper->size()),
                                          static_cast<std::int64_t>(scene.PeakLower->size())});
    else
        columns = 0;
    const QColor& lowerColor = scene.Channels == 1 ? PeakGreen : PeakRed;
    const std::int64_t first = std::max<std::int64_t>(x0, 0);
    const std::int64_t last = std::min<std::int64_t>({x0 + width, columns, scene.BitmapWidth});
    for (std::int64_t i = first; i < last; ++i) {
        const auto index = static_cast<std::size_t>(i);
        PeakColumn(painter, LocalX(i, x0, width), (*scene.PeakUpper)[index], (*scene.PeakLower)[index], midline,
                   lowerColor);
    }
    const std::int64_t end = std::min(x0 + width, scene.BitmapWidth);
    if (end > first)
        painter.fillRect(QRect(LocalX(first, x0, width), midline, static_cast<int>(end - first), 1), MidlineOlive);
}

// A sample's magnitude as the peak arrays hold it: 0..100 of full scale,
// truncated.
std::int32_t PercentOf(std::int32_t magnitude)
{
    return magnitude * 100 / 32768;
}

// Between 1000 frames a column and one: each column's peaks from all its
// frames, drawn as the peak arrays are.
void DrawSampledColumns(QPainter& painter, const WaveScene& scene, std::int64_t x0, int width, int midline)
{
    const auto perColumn = static_cast<std::uint64_t>(scene.FramesPerColumn);
    const std::int64_t first = std::max<std::int64_t>(x0, 0);
    const std::int64_t last = std::min<std::int64_t>(x0 + width, scene.ColumnCount);
    const std::int64_t end = std::min(x0 + width, scene.BitmapWidth);
    auto drawMidline = [&] {
        if (end > first)
            painter.fillRect(QRect(LocalX(first, x0, width), midline, static_cast<int>(end - first), 1), MidlineOlive);
    };
    if (last <= first || !scene.Samples) {
        drawMidline();
        return;
    }
    const bool mono = scene.Channels == 1;
    const std::size_t perFrame = mono ? 1 : 2;
    std::vector<std::int16_t> samples;
    const std::uint64_t firstFrame = static_cast<std::uint64_t>(first) * perColumn;
    const std::size_t frames =
        scene.Samples(firstFrame, static_cast<std::size_t>(static_cast<std::uint64_t>(last - first) * perColumn), samples);
    const QColor& lowerColor = mono ? PeakGreen : PeakRed;
    for (std::int64_t column = first; column < last; ++column) {
        const std::size_t from = static_cast<std::size_t>(static_cast<std::uint64_t>(column - first) * perColumn);
        const std::size_t to = std::min<std::size_t>(from + perColumn, frames);
        std::int32_t up = 0;
        std::int32_t low = 0;
        for (std::size_t f = from; f < to; ++f) {
            up = std::max(up, std::abs(static_cast<std::int32_t>(samples[f * perFrame])));
            low = mono ? up : std::max(low, std::abs(static_cast<std::int32_t>(samples[f * perFrame + 1])));
        }
        PeakColumn(painter, LocalX(column, x0, width), PercentOf(up), PercentOf(low), midline, lowerColor);
    }
    drawMidline();
}

// At one frame a column: the samples joined by lines, a lane a channel,
// with dots where they stand apart.
void DrawSamples(QPainter& painter, const WaveScene& scene, std::int64_t x0, int width, int midline)
{
    const std::int64_t pixels = std::max(scene.PixelsPerColumn, 1);  // a frame's
    const bool mono = scene.Channels == 1;
    const std::size_t lanes = mono ? 1 : 2;
    // Lane centres and the rows from a centre to full scale.
    const int half = mono ? midline : midline / 2 - 1;
    const int centres[2] = {mono ? midline : midline / 2, midline + midline / 2};
    const std::int64_t end = std::min(x0 + width, scene.BitmapWidth);
    const int left = LocalX(std::max<std::int64_t>(x0, 0), x0, width);
    const int right = LocalX(end, x0, width);
    if (!mono && right > left)
        painter.fillRect(QRect(left, midline, right - left, 1), LaneGrey);
    for (std::size_t lane = 0; lane < lanes && right > left; ++lane)
        painter.fillRect(QRect(left, centres[lane], right - left, 1), MidlineOlive);
    if (!scene.Samples || end <= std::max<std::int64_t>(x0, 0))
        return;

    // The frames in the tile, and one either side for the lines that
    // cross its edges.
    const std::int64_t firstFrame = std::max<std::int64_t>(x0 / pixels - 1, 0);
    const std::int64_t endFrame = std::min<std::int64_t>((x0 + width) / pixels + 2, scene.TotalFrames);
    if (endFrame <= firstFrame)
        return;
    std::vector<std::int16_t> samples;
    const std::size_t frames =
        scene.Samples(static_cast<std::uint64_t>(firstFrame), static_cast<std::size_t>(endFrame - firstFrame), samples);
    const bool dots = pixels >= 4;
    for (std::size_t lane = 0; lane < lanes; ++lane) {
        const QColor& colour = lane == 0 ? PeakGreen : PeakRed;
        painter.setPen(colour);
        auto pointOf = [&](std::size_t f) {
            const std::int64_t pixel = (firstFrame + static_cast<std::int64_t>(f)) * pixels + pixels / 2;
            const std::int32_t value = samples[f * lanes + lane];
            return QPoint(LocalX(pixel, x0, width), centres[lane] - value * half / 32768);
        };
        for (std::size_t f = 0; f + 1 < frames; ++f)
            painter.drawLine(pointOf(f), pointOf(f + 1));
        if (frames == 1)
            painter.drawPoint(pointOf(0));
        for (std::size_t f = 0; dots && f < frames; ++f) {
            const QPoint at = pointOf(f);
            painter.fillRect(at.x() - 1, at.y() - 1, 3, 3, colour);
        }
    }
}

// The ruler at 1000 frames a column and more: a tick every ten seconds.
void DrawRuler(QPainter& painter, const WaveScene& scene, std::int64_t x0, int width, int rulerTop)
{
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
    const std::int64_t x1 = x0 + width;
    auto tick = [&](std::int64_t c, std::uint64_t t) {
        if (c < x0 - LabelReach || c > x1 + LabelReach)
            return;
        const int x = LocalX(c, x0, width);
        if (t % labelEvery == 0) {
            VerticalLine(painter, x, rulerTop, rulerTop + 5, Black);
            Label(painter, x + 2, rulerTop + 7, QString::fromStdString(SecondsToTimeText(static_cast<std::int32_t>(t))),
                  RulerLabelGrey);
        } else {
            VerticalLine(painter, x, rulerTop, rulerTop + 2, Black);
        }
    };
    // Below ten seconds per column (rates under 1000 Hz at 10:1) several
    // ticks share a column; only the last of them is drawn there, so that a
    // very low rate does not pile up thousands of labels.
    float x = 0;
    std::int64_t pendingColumn = 0;
    std::uint64_t pendingTime = 0;
    bool pending = false;
    for (std::uint64_t t = 0; t < scene.DurationSeconds; t += 10) {
        const auto c = static_cast<std::int64_t>(x);
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
}

// The ruler finer than 1000 frames a column: ticks at round fractions of a
// second at least MinTickPixels apart, labels on as many of them as keep
// the labels apart, each to the fraction it needs.
void DrawFineRuler(QPainter& painter, const WaveScene& scene, std::int64_t x0, int width, int rulerTop)
{
    if (scene.SampleRate <= 0)
        return;
    constexpr int MinTickPixels = 8;
    // Microseconds between ticks: 10 s down to 0.1 ms.
    constexpr std::int64_t Steps[] = {10000000, 5000000, 2000000, 1000000, 500000, 200000, 100000, 50000, 20000,
                                      10000,    5000,    2000,    1000,    500,    200,    100};
    const long double pixelsPerMicrosecond = static_cast<long double>(scene.SampleRate) *
                                             std::max(scene.PixelsPerColumn, 1) /
                                             std::max(scene.FramesPerColumn, 1) / 1e6L;
    std::int64_t tickStep = Steps[0];
    for (std::int64_t step : Steps) {
        if (step * pixelsPerMicrosecond < MinTickPixels)
            break;
        tickStep = step;
    }
    const int labelPixels = painter.fontMetrics().horizontalAdvance(QStringLiteral("00:00:00.0000")) + 12;
    std::int64_t labelStep = Steps[0];
    for (std::int64_t step : Steps) {
        if (step < tickStep || step * pixelsPerMicrosecond < labelPixels)
            break;
        if (step % tickStep == 0)
            labelStep = step;
    }
    int decimals = 0;
    for (std::int64_t unit = 1000000; labelStep % unit != 0; unit /= 10)
        ++decimals;

    const long double tickPixels = tickStep * pixelsPerMicrosecond;
    const auto firstTick = static_cast<std::int64_t>(std::max<long double>(std::floor((x0 - LabelReach) / tickPixels), 0));
    const auto lastTick = static_cast<std::int64_t>(std::ceil((x0 + width + LabelReach) / tickPixels));
    const long double durationMicroseconds = static_cast<long double>(scene.TotalFrames) * 1e6L / scene.SampleRate;
    for (std::int64_t n = firstTick; n <= lastTick; ++n) {
        const std::int64_t t = n * tickStep;  // microseconds
        if (t >= durationMicroseconds)
            break;
        const int x = LocalX(static_cast<std::int64_t>(t * pixelsPerMicrosecond), x0, width);
        if (t % labelStep != 0) {
            VerticalLine(painter, x, rulerTop, rulerTop + 2, Black);
            continue;
        }
        VerticalLine(painter, x, rulerTop, rulerTop + 5, Black);
        QString text = QString::fromStdString(SecondsToTimeText(static_cast<std::int32_t>(t / 1000000)));
        if (decimals > 0) {
            const std::int64_t fraction = t % 1000000;
            text += QLatin1Char('.') + QString::number(fraction).rightJustified(6, QLatin1Char('0')).left(decimals);
        }
        Label(painter, x + 2, rulerTop + 7, text, RulerLabelGrey);
    }
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

std::int64_t MarkerPixel(const WaveScene& scene, std::uint64_t frame)
{
    return std::clamp<std::int64_t>(PixelOfFrame(scene, frame), 0, std::max<std::int64_t>(scene.BitmapWidth - 1, 0));
}

QImage RenderWaveTile(const WaveScene& scene, std::int64_t x0, int width)
{
    const int height = std::max(scene.Height, WaveViewHeight);
    QImage tile(std::max(width, 1), height, QImage::Format_RGB32);
    tile.fill(Black);
    if (!scene.Visible || width <= 0)
        return tile;
    const std::int64_t x1 = x0 + width;  // exclusive, pixels of the whole picture
    auto local = [x0, width](std::int64_t pixel) { return LocalX(pixel, x0, width); };

    QPainter painter(&tile);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setFont(LabelFont());
    painter.setClipRect(QRect(0, 0, width, height));
    const int rulerTop = RulerTopRow(height);
    const int midline = (rulerTop - 1) / 2;
    const std::int64_t pictureEnd = std::min(x1, scene.BitmapWidth);  // pixels
    const int firstShown = local(std::max<std::int64_t>(x0, 0));
    const int endShown = std::max(local(pictureEnd), firstShown);

    // The selection band: from the start marker's column up to the finish
    // marker's; to the end of the picture when that is the end of the audio.
    const std::int64_t bandStart = PixelOfFrame(scene, scene.SelStartFrame);
    const std::int64_t bandEnd =
        scene.SelFinishFrame >= scene.TotalFrames ? scene.BitmapWidth : PixelOfFrame(scene, scene.SelFinishFrame);
    const std::int64_t bandLeft = std::max(bandStart, x0);
    const std::int64_t bandRight = std::min({bandEnd, x1, scene.BitmapWidth});
    if (bandRight > bandLeft)
        painter.fillRect(QRect(local(bandLeft), 0, static_cast<int>(bandRight - bandLeft), height), SelectionBlue);

    const bool fine = !KeepsPeakArrays(scene.FramesPerColumn);
    if (!fine)
        DrawPeakColumns(painter, scene, x0, width, midline);
    else if (scene.FramesPerColumn > 1)
        DrawSampledColumns(painter, scene, x0, width, midline);
    else
        DrawSamples(painter, scene, x0, width, midline);

    // The ruler.
    painter.fillRect(QRect(firstShown, rulerTop, endShown - firstShown, RulerRows), scene.RulerColor);
    if (fine)
        DrawFineRuler(painter, scene, x0, width, rulerTop);
    else
        DrawRuler(painter, scene, x0, width, rulerTop);

    // Markers, the later ones on top.
    auto timeText = [&scene, fine](std::uint64_t frame) {
        const double seconds = scene.SampleRate > 0 ? static_cast<double>(frame) / scene.SampleRate : 0.0;
        return QString::fromStdString(fine ? SecondsToPreciseText(seconds) : SecondsToTimeText(WholeSeconds(seconds)));
    };
    std::vector<MarkerDrawing> markers = {
        {MarkerPixel(scene, scene.SelStartFrame), timeText(scene.SelStartFrame), StartAqua, {}},
        {MarkerPixel(scene, scene.SelFinishFrame), timeText(scene.SelFinishFrame), scene.FinishMarkerColor, {}},
        {MarkerPixel(scene, scene.PlayFrame), timeText(scene.PlayFrame), CursorYellow, {}},
    };
    PlaceLabels(markers, scene.BitmapWidth, fine);
    for (const MarkerDrawing& marker : markers)
        DrawMarker(painter, scene, marker, x0, width);
    return tile;
}

} // namespace velmora
