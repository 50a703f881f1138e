#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TVolumeForm;
}

class QCheckBox;
class QComboBox;
class QPushButton;

namespace velmora {

// The Volume edit's dialog: the factor list, Mute, OK and Cancel (also its
// close box).
class TVolumeForm : public QDialog {
    Q_OBJECT
public:
    explicit TVolumeForm(QWidget* parent = nullptr);
    ~TVolumeForm() override;

    Ui::TVolumeForm* Controls() const { return ui_.get(); }
    QComboBox* ComboBox1() const;
    QCheckBox* CheckBoxMute() const;
    QPushButton* ButtonOk() const;
    QPushButton* ButtonCancel() const;

private:
    std::unique_ptr<Ui::TVolumeForm> ui_;
};

// The one volume dialog, created at start-up.
extern TVolumeForm* VolumeForm;

} // namespace velmora
