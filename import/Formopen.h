#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TOpenForm;
}

class QProgressBar;

namespace velmora {

// The open command's progress dialog: "Decoding:" and "Loading:" bars and
// Cancel.  Cancel raises the stop request while a body runs (the body then
// decides how the dialog ends) and otherwise ends the dialog with the abort
// result.  Nothing else closes it.
class TOpenForm : public QDialog {
    Q_OBJECT
public:
    explicit TOpenForm(QWidget* parent = nullptr);
    ~TOpenForm() override;

    Ui::TOpenForm* Controls() const { return ui_.get(); }
    QProgressBar* ProgressBar1() const;
    QProgressBar* ProgressBar2() const;

    void ButtonCancelClick();

    bool StopRequested = false;
    bool BodyRunning = false;

protected:
    // Esc and the close box do what Cancel does.
    void reject() override { ButtonCancelClick(); }

private:
    std::unique_ptr<Ui::TOpenForm> ui_;
};

// The one open dialog, created at start-up.
extern TOpenForm* OpenForm;

} // namespace velmora
