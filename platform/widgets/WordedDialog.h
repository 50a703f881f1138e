#pragma once

#include <QDialog>

class QDialogButtonBox;

namespace velmora {

// A dialog of the program's own with OK and Cancel (its close box counts
// as Cancel) whose words come from the language file.  Switching Qt's
// translation gives standard buttons Qt's own words: the language file's
// are put back once the button box has taken them.
class WordedDialog : public QDialog {
    Q_OBJECT
public:
    void SetButtonWords(const QString& ok, const QString& cancel);

    QDialogButtonBox* Buttons = nullptr;

protected:
    // With a title and a close box only, and the button box made and
    // connected (OK accepts, Cancel rejects) for the subclass's layout.
    explicit WordedDialog(QWidget* parent);
    void changeEvent(QEvent* event) override;

private:
    void ShowButtonWords();

    QString ok_ = QStringLiteral("OK");
    QString cancel_ = QStringLiteral("Cancel");
};

} // namespace velmora
