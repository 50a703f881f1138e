#pragma once

#include <QDialog>

#include <array>

class QDialogButtonBox;
class QLabel;
class QProgressBar;

namespace velmora {

struct Document;

// Edit > Loudness: the edit range measured after EBU R 128 while a bar
// shows how far, then its six figures until Close.  Close during the
// measure stops it.
class TLoudnessForm : public QDialog {
    Q_OBJECT
public:
    static constexpr std::size_t FigureCount = 6;

    explicit TLoudnessForm(QWidget* parent = nullptr);

    // Title, the six figures' captions (integrated, range, true peak,
    // maximum momentary, maximum short-term, sample peak) and Close.
    void SetTexts(const QString& title, const std::array<QString, FigureCount>& captions, const QString& close);
    // Shows the dialog, measures doc's edit range in it and shows the
    // figures; returns once the user closed it.
    void Measure(const Document& doc);

    std::array<QLabel*, FigureCount> Values{};
    QProgressBar* Bar = nullptr;
    QDialogButtonBox* Buttons = nullptr;

private:
    std::array<QLabel*, FigureCount> captions_{};
    bool stop_ = false;
};

} // namespace velmora
