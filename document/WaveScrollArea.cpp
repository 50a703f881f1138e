#include "WaveScrollArea.h"

#include <QEvent>
#include <QScrollBar>

#include <algorithm>
#include <climits>

namespace velmora {

namespace {

// The scroll bar's range stays well inside an int.
constexpr std::int64_t MostBarSteps = std::int64_t{1} << 30;
constexpr int WheelPixels = 20;  // pixels a line of the scroll bar moves

} // namespace

WaveScrollArea::WaveScrollArea(QWidget* parent) : QAbstractScrollArea(parent)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void WaveScrollArea::SetView(QWidget* view)
{
    setViewport(view);
    UpdateBar();
}

int WaveScrollArea::Shown() const
{
    return std::max(viewport()->width(), 1);
}

std::int64_t WaveScrollArea::Range() const
{
    return std::max<std::int64_t>(content_ - Shown(), 0);
}

void WaveScrollArea::SetContentWidth(std::int64_t pixels)
{
    content_ = std::max<std::int64_t>(pixels, 0);
    left_ = std::clamp<std::int64_t>(left_, 0, Range());
    UpdateBar();
    viewport()->update();
}

void WaveScrollArea::SetLeft(std::int64_t pixel)
{
    const std::int64_t left = std::clamp<std::int64_t>(pixel, 0, Range());
    if (left == left_)
        return;
    left_ = left;
    UpdateBar();
    viewport()->update();
    emit Scrolled();
}

void WaveScrollArea::UpdateBar()
{
    const std::int64_t range = Range();
    unit_ = std::max<std::int64_t>((range + MostBarSteps - 1) / MostBarSteps, 1);
    QScrollBar* bar = horizontalScrollBar();
    settingBar_ = true;
    bar->setRange(0, static_cast<int>((range + unit_ - 1) / unit_));
    bar->setPageStep(static_cast<int>(std::max<std::int64_t>(Shown() / unit_, 1)));
    bar->setSingleStep(static_cast<int>(std::max<std::int64_t>(WheelPixels / unit_, 1)));
    bar->setValue(static_cast<int>((left_ + unit_ - 1) / unit_));
    settingBar_ = false;
}

void WaveScrollArea::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    left_ = std::clamp<std::int64_t>(left_, 0, Range());
    UpdateBar();
}

void WaveScrollArea::scrollContentsBy(int, int)
{
    if (settingBar_)
        return;
    // A move of the bar: its last step reaches the end exactly.
    const QScrollBar* bar = horizontalScrollBar();
    const std::int64_t left = bar->value() >= bar->maximum() ? Range() : bar->value() * unit_;
    if (left == left_)
        return;
    left_ = left;
    viewport()->update();
    emit Scrolled();
}

bool WaveScrollArea::viewportEvent(QEvent* event)
{
    // The view paints and takes its mouse itself; the wheel reaches the
    // window's filter on it first.
    switch (event->type()) {
    case QEvent::Wheel: return QAbstractScrollArea::viewportEvent(event);
    default: return false;
    }
}

} // namespace velmora
