#pragma once

#include <QDialog>

#include <memory>
#include <optional>

namespace Ui {
class TVolumeForm;
}

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
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
    // "Other...", after the list's items, and its gain in dB.
    static int OtherItem();
    QDoubleSpinBox* OtherGain() const;
    void SetOtherText(const QString& text);
    // The gain chosen: the list item's, or Other's from its dB.
    std::optional<float> ChosenGain() const;
    QPushButton* ButtonOk() const;
    QPushButton* ButtonCancel() const;

private:
    std::unique_ptr<Ui::TVolumeForm> ui_;
};

// The one volume dialog, created at start-up.
extern TVolumeForm* VolumeForm;

} // namespace velmora
