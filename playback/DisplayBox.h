#pragma once

#include <QImage>
#include <QWidget>

#include <functional>

namespace velmora {

// A paint box that shows a display's back buffer (PaintBox2, PaintBox3).
class DisplayBox : public QWidget {
    Q_OBJECT
public:
    explicit DisplayBox(QWidget* parent = nullptr);

    // The buffer to show; called on every paint.
    std::function<const QImage*()> Source;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace velmora
