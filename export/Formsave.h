#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TSaveForm;
}

class QProgressBar;

namespace velmora {

// The save commands' progress dialog: one bar and Cancel, which raises the
// stop request and marks the result as aborted; the body ends the dialog.
class TSaveForm : public QDialog {
    Q_OBJECT
public:
    explicit TSaveForm(QWidget* parent = nullptr);
    ~TSaveForm() override;

    Ui::TSaveForm* Controls() const { return ui_.get(); }
    QProgressBar* ProgressBar1() const;

    void ButtonCancelClick();

    bool StopRequested = false;
    bool BodyRunning = false;

protected:
    // Esc and the close box do what Cancel does.
    void reject() override { ButtonCancelClick(); }

private:
    std::unique_ptr<Ui::TSaveForm> ui_;
};

// The one progress dialog of the saves, created at start-up.
extern TSaveForm* SaveForm;

} // namespace velmora
