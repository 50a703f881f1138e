#include "Formvolume.h"

#include "ui_Formvolume.h"

#include "VolumeChange.h"

namespace velmora {

TVolumeForm* VolumeForm = nullptr;

TVolumeForm::TVolumeForm(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::TVolumeForm>())
{
    ui_->setupUi(this);
    for (const VolumeItem& item : VolumeItems)
        ui_->ComboBox1->addItem(QString::fromStdString(VolumeItemText(item)));
    ui_->ComboBox1->setCurrentIndex(DefaultVolumeItem);
    // A title and a close box only: without CustomizeWindowHint window
    // managers add minimise and maximise buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    connect(ui_->ButtonOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TVolumeForm::~TVolumeForm() = default;

QComboBox* TVolumeForm::ComboBox1() const
{
    return ui_->ComboBox1;
}

QCheckBox* TVolumeForm::CheckBoxMute() const
{
    return ui_->CheckBoxMute;
}

QPushButton* TVolumeForm::ButtonOk() const
{
    return ui_->ButtonOk;
}

QPushButton* TVolumeForm::ButtonCancel() const
{
    return ui_->ButtonCancel;
}

} // namespace velmora
