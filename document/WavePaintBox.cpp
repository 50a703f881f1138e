#include "WavePaintBox.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace velmora {

namespace {

// The view as screen readers see it: a picture whose value is where the
// editor stands.
class WaveAccessible final : public QAccessibleWidget {
public:
    explicit WaveAccessible(WavePaintBox* box) : QAccessibleWidget(box, QAccessible::Graphic) {}

    QString text(QAccessible::Text kind) const override
    {
        auto* box = static_cast<WavePaintBox*>(widget());
        // The value, and the description too: AT-SPI carries no text value
        // for a picture, and screen readers read descriptions.
        if (kind == QAccessible::Value || kind == QAccessible::Description)
            return box->AccessibleValue ? box->AccessibleValue() : QString();
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface* MakeWaveAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String("velmora::WavePaintBox") && object != nullptr && object->isWidgetType())
        return new WaveAccessible(static_cast<WavePaintBox*>(object));
    return nullptr;
}

} // namespace

WavePaintBox::WavePaintBox(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    static const bool installed = [] {
        QAccessible::installFactory(&MakeWaveAccessible);
        return true;
    }();
    (void)installed;
}

void WavePaintBox::AnnounceValue()
{
    if (!QAccessible::isActive() || !AccessibleValue)
        return;
    QAccessibleValueChangeEvent valueChange(this, AccessibleValue());
    QAccessible::updateAccessibility(&valueChange);
    QAccessibleEvent descriptionChange(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&descriptionChange);
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
