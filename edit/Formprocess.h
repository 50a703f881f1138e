#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TProcessForm;
}

class QProgressBar;

namespace velmora {

// The edits' progress dialog: "Processing:" and "Reloading:" bars, no
// button; only its body ends it.
class TProcessForm : public QDialog {
    Q_OBJECT
public:
    explicit TProcessForm(QWidget* parent = nullptr);
    ~TProcessForm() override;

    Ui::TProcessForm* Controls() const { return ui_.get(); }
    QProgressBar* ProgressBar1() const;
    QProgressBar* ProgressBar2() const;

protected:
    void reject() override {}

private:
    std::unique_ptr<Ui::TProcessForm> ui_;
};

// The one progress dialog of the edits, created at start-up.
extern TProcessForm* ProcessForm;

} // namespace velmora
