#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TReloadForm;
}

class QProgressBar;

namespace velmora {

// The zoom change's progress dialog: one bar, no button; only its body
// ends it.
class TReloadForm : public QDialog {
    Q_OBJECT
public:
    explicit TReloadForm(QWidget* parent = nullptr);
    ~TReloadForm() override;

    Ui::TReloadForm* Controls() const { return ui_.get(); }
    QProgressBar* ProgressBar1() const;

protected:
    void reject() override {}

private:
    std::unique_ptr<Ui::TReloadForm> ui_;
};

// The one reload dialog, created at start-up.
extern TReloadForm* ReloadForm;

} // namespace velmora
