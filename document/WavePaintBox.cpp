#include "WavePaintBox.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace velmora {

WavePaintBox::WavePaintBox(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void WavePaintBox::paintEvent(QPaintEvent* event)
{
    if (!SceneProvider)
        return;
    const WaveScene scene = SceneProvider();
    const QRect area = event->rect();
    QPainter painter(this);
    if (!scene.Visible) {
        // Nothing is drawn without a document: the waveform area shows
        // through.
        painter.fillRect(area, palette().color(QPalette::Window));
        return;
    }
    painter.drawImage(area.x(), 0, RenderWaveTile(scene, area.x(), area.width()));
}

void WavePaintBox::mousePressEvent(QMouseEvent* event)
{
    const int x = static_cast<int>(event->position().x());
    const int y = static_cast<int>(event->position().y());
    if (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier) && OnShiftClick)
        OnShiftClick(x, y);
    else if (OnMouseDown)
        OnMouseDown(event->button(), x, y);
}

void WavePaintBox::mouseMoveEvent(QMouseEvent* event)
{
    if ((event->buttons() & Qt::LeftButton) && OnDrag)
        OnDrag(static_cast<int>(event->position().x()), static_cast<int>(event->position().y()));
}

void WavePaintBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (OnMouseUp)
        OnMouseUp(event->button(), static_cast<int>(event->position().x()), static_cast<int>(event->position().y()));
}

} // namespace velmora
