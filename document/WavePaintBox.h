#pragma once

#include "WaveRenderer.h"

#include <QWidget>

#include <functional>

namespace velmora {

// The waveform view (PaintBox1): the viewport of its scroll box, drawing
// the part of the picture it is scrolled to (the scene's ViewLeft on), and
// only what a paint event exposes.  It asks its owner for the scene and
// reports mouse presses, moves and releases to it in its own pixels.
class WavePaintBox : public QWidget {
    Q_OBJECT
public:
    explicit WavePaintBox(QWidget* parent = nullptr);

    std::function<WaveScene()> SceneProvider;
    // Button, x and y in the view's pixels.
    std::function<void(Qt::MouseButton, int, int)> OnMouseDown;
    std::function<void(Qt::MouseButton, int, int)> OnMouseUp;
    // A left press with Shift held, in place of OnMouseDown; a move with
    // the left button held (x may lie outside the view).
    std::function<void(int, int)> OnShiftClick;
    std::function<void(int, int)> OnDrag;
    // The pointer over the view without a button: true where a press would
    // take hold of a marker (the cursor then says it moves sideways).
    std::function<bool(int, int)> OnHover;
    // What the view tells assistive technology it stands at (the markers,
    // the selection's length, the play position): its accessible value.
    std::function<QString()> AccessibleValue;
    // Announces a change of that value.
    void AnnounceValue();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace velmora
