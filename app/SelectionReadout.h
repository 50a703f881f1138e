#pragma once

#include <QWidget>

#include <array>
#include <string>

class QLabel;

namespace velmora {

struct Document;

// Where you are, beside the transport buttons: the start marker, the
// finish marker, the length of the range between them (what an edit
// changes) and the play position, each as h:mm:ss.mmm.
class SelectionReadout : public QWidget {
    Q_OBJECT
public:
    explicit SelectionReadout(QWidget* parent = nullptr);

    // The four captions, in the order above.
    void SetCaptions(const std::array<QString, 4>& captions);
    // The times of doc now (empty without a document).
    void Show(const Document& doc);

    // The value texts shown, in the order above (for tests).
    std::array<std::string, 4> Values() const;
    // All of it in one line, captions and values, as a screen reader says it.
    QString Spoken() const;

private:
    std::array<QLabel*, 4> captions_{};
    std::array<QLabel*, 4> values_{};
};

// The readout's times of doc, in seconds: start, finish, length and the
// play position.
std::array<double, 4> ReadoutSeconds(const Document& doc);

} // namespace velmora
