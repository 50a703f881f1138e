#pragma once

#include <QAbstractScrollArea>

#include <cstdint>

namespace velmora {

// The scroll box of the waveform view (ScrollBox1).  The view itself
// (PaintBox1) is only as wide as the box and draws the part it is scrolled
// to: a document at a few pixels a frame is far wider than any widget may
// be.  Positions are pixels of the whole picture, 64-bit; the scroll bar
// counts steps of as many pixels as keep its range within an int.
class WaveScrollArea : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit WaveScrollArea(QWidget* parent = nullptr);

    // The widget that shows the picture: it becomes the box's viewport and
    // handles its own paint, mouse and key events.
    void SetView(QWidget* view);

    // The width of the whole picture, pixels.
    void SetContentWidth(std::int64_t pixels);
    std::int64_t ContentWidth() const { return content_; }
    // The first pixel of the picture shown, 0 .. ContentWidth - Shown().
    std::int64_t Left() const { return left_; }
    void SetLeft(std::int64_t pixel);
    // The pixels the view shows, at least 1.
    int Shown() const;

signals:
    // The part shown moved (by the scroll bar, the wheel or SetLeft).
    void Scrolled();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* event) override;

private:
    // The scroll bar's range and steps from the widths, and its value from
    // Left.
    void UpdateBar();
    std::int64_t Range() const;  // pixels the picture can scroll

    std::int64_t content_ = 0;  // pixels
    std::int64_t left_ = 0;     // pixels
    std::int64_t unit_ = 1;     // pixels a step of the scroll bar
    bool settingBar_ = false;
};

} // namespace velmora
