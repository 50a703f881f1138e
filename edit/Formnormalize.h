#pragma once

#include "Normalize.h"

#include "platform/widgets/WordedDialog.h"

class QDoubleSpinBox;
class QRadioButton;

namespace velmora {

// Edit > Normalize: to a peak level in dBFS or to a loudness in LUFS, each
// with its target, OK and Cancel (also the close box).  The dialog keeps
// the last choice while the program runs.
class TNormalizeForm : public WordedDialog {
    Q_OBJECT
public:
    explicit TNormalizeForm(QWidget* parent = nullptr);

    void SetTexts(const QString& title, const QString& peak, const QString& loudness, const QString& ok,
                  const QString& cancel);
    NormalizeTo What() const;
    double Target() const;  // dBFS or LUFS, as What says

    QRadioButton* PeakChoice = nullptr;
    QRadioButton* LoudnessChoice = nullptr;
    QDoubleSpinBox* PeakTarget = nullptr;
    QDoubleSpinBox* LoudnessTarget = nullptr;
};

// The one Normalize dialog, created at start-up.
extern TNormalizeForm* NormalizeForm;

} // namespace velmora
