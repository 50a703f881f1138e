#include "WavePaintBox.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

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
    setMouseTracking(true);
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
    // Right of the picture's end, the box shows through as it does with no
    // document.
    const std::int64_t pictureRight = scene.BitmapWidth - scene.ViewLeft;  // pixels of the view
    const int drawnRight = static_cast<int>(std::clamp<std::int64_t>(pictureRight, area.x(), area.x() + area.width()));
    if (drawnRight > area.x())
        painter.drawImage(area.x(), 0, RenderWaveTile(scene, scene.ViewLeft + area.x(), drawnRight - area.x()));
    if (drawnRight < area.x() + area.width())
        painter.fillRect(QRect(drawnRight, area.y(), area.x() + area.width() - drawnRight, area.height()),
                         palette().color(QPalette::Window));
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
    const int x = static_cast<int>(event->position().x());
    const int y = static_cast<int>(event->position().y());
    if (event->buttons() & Qt::LeftButton) {
        if (OnDrag)
            OnDrag(x, y);
        return;
    }
    if (event->buttons() == Qt::NoButton && OnHover) {
        const Qt::CursorShape shape = OnHover(x, y) ? Qt::SizeHorCursor : Qt::ArrowCursor;
        if (cursor().shape() != shape)
            setCursor(shape);
    }
}

void WavePaintBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (OnMouseUp)
        OnMouseUp(event->button(), static_cast<int>(event->position().x()), static_cast<int>(event->position().y()));
}

} // namespace velmora
