#include "WebPane.h"

#include <QEvent>
#include <QMouseEvent>
#include <QWidget>

namespace velmora {

namespace {
// The pane's place in the toolbar panel's design, in pixels.
constexpr QRect PaneDesign(695, 0, 257, 65);
constexpr int HiddenOffset = 100;
} // namespace

QWidget* CreateWebPane(QWidget& toolbarPanel)
{
    auto* pane = new QWidget(&toolbarPanel);
    pane->setObjectName(QStringLiteral("CppWebBrowser1"));
    pane->setGeometry(PaneDesign.translated(0, toolbarPanel.y() + HiddenOffset));
    pane->setVisible(false);
    return pane;
}

bool IsStrictlyInside(const QPoint& point, const QRect& rect)
{
    return rect.left() < point.x() && point.x() < rect.left() + rect.width() && rect.top() < point.y() &&
           point.y() < rect.top() + rect.height();
}

bool RightClickFilter::Drops(const QEvent& event) const
{
    if (event.type() != QEvent::MouseButtonPress || pane_.isHidden())
        return false;
    const auto& press = static_cast<const QMouseEvent&>(event);
    return press.button() == Qt::RightButton &&
           IsStrictlyInside(main_.mapFromGlobal(press.globalPosition().toPoint()), pane_.geometry());
}

bool RightClickFilter::eventFilter(QObject* watched, QEvent* event)
{
    return Drops(*event) || QObject::eventFilter(watched, event);
}

} // namespace velmora
