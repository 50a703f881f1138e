#pragma once

#include "platform/widgets/WordedDialog.h"

#include <optional>
#include <utility>

class QLabel;
class QLineEdit;

namespace velmora {

// Edit > Set Selection: the start and finish typed as times (seconds, M:S
// or H:M:S, with a fraction), as velmora-cli's --from and --to take them.
// OK is offered only while both read as times and the start does not lie
// after the finish; a field that does not read is marked.
class TSelectionForm : public WordedDialog {
    Q_OBJECT
public:
    explicit TSelectionForm(QWidget* parent = nullptr);

    // The texts of the window (title, the two captions, OK and Cancel).
    void SetTexts(const QString& title, const QString& start, const QString& finish, const QString& ok,
                  const QString& cancel);
    // The times the fields start with, in seconds.
    void SetTimes(double start, double finish);
    // The times typed, in seconds; nothing while they do not read.
    std::optional<std::pair<double, double>> Times() const;

    QLineEdit* StartEdit = nullptr;
    QLineEdit* FinishEdit = nullptr;

protected:

private:
    void Check();

    QLabel* startLabel_ = nullptr;
    QLabel* finishLabel_ = nullptr;
};

} // namespace velmora
