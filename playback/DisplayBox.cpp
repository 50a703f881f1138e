#include "DisplayBox.h"

#include <QPainter>

namespace velmora {

DisplayBox::DisplayBox(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void DisplayBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QImage* image = Source ? Source() : nullptr;
    if (image == nullptr) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    painter.drawImage(0, 0, *image);
}

} // namespace velmora
