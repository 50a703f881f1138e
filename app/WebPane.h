#pragma once

#include <QObject>
#include <QRect>

class QWidget;

namespace velmora {

// The toolbar's web banner pane.  The program loads no page into it, so
// it is a plain placeholder, CppWebBrowser1, hidden and moved 100 pixels
// below its place at creation, and it stays so.
QWidget* CreateWebPane(QWidget& toolbarPanel);

// True when point lies strictly inside rect: on none of its edges.
bool IsStrictlyInside(const QPoint& point, const QRect& rect);

// The application-wide filter that keeps right clicks away from the pane
// while it is visible: a right-button press strictly inside the pane's
// rectangle (in the main window's coordinates) is dropped; everything else
// passes.
class RightClickFilter : public QObject {
    Q_OBJECT
public:
    RightClickFilter(QWidget& mainWindow, QWidget& pane, QObject* parent = nullptr)
        : QObject(parent), main_(mainWindow), pane_(pane)
    {
    }

    // True for a right-button press strictly inside the visible pane.
    bool Drops(const QEvent& event) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& main_;
    QWidget& pane_;
};

} // namespace velmora
