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
    if (!scene.Visible)
        return;  // with no document the view is left as it is
    const QRect area = event->rect();
    const QImage tile = RenderWaveTile(scene, area.x(), area.width());
    QPainter painter(this);
    painter.drawImage(area.x(), 0, tile);
}

void WavePaintBox::mousePressEvent(QMouseEvent* event)
{
    if (OnMouseDown)
        OnMouseDown(event->button(), static_cast<int>(event->position().x()), static_cast<int>(event->position().y()));
}

void WavePaintBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (OnMouseUp)
        OnMouseUp(event->button(), static_cast<int>(event->position().x()), static_cast<int>(event->position().y()));
}

} // namespace velmora
