#include "Formvolume.h"

#include "ui_Formvolume.h"

#include "VolumeChange.h"

#include <QComboBox>
#include <QDoubleSpinBox>

#include <cmath>
#include <iterator>

namespace velmora {

TVolumeForm* VolumeForm = nullptr;

TVolumeForm::TVolumeForm(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::TVolumeForm>())
{
    ui_->setupUi(this);
    for (const VolumeItem& item : VolumeItems)
        ui_->ComboBox1->addItem(QString::fromStdString(VolumeItemText(item)));
    // After the list: any gain, typed in dB.
    ui_->ComboBox1->addItem(QStringLiteral("Other..."));
    ui_->ComboBox1->setCurrentIndex(DefaultVolumeItem);
    connect(ui_->ComboBox1, &QComboBox::currentIndexChanged, this,
            [this](int item) { ui_->OtherGain->setEnabled(item == OtherItem()); });
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

int TVolumeForm::OtherItem()
{
    return static_cast<int>(std::size(VolumeItems));
}

QDoubleSpinBox* TVolumeForm::OtherGain() const
{
    return ui_->OtherGain;
}

void TVolumeForm::SetOtherText(const QString& text)
{
    ui_->ComboBox1->setItemText(OtherItem(), text);
    // The gain box has no caption of its own: it is Other's.
    ui_->OtherGain->setAccessibleName(text);
}

std::optional<float> TVolumeForm::ChosenGain() const
{
    const int item = ui_->ComboBox1->currentIndex();
    if (item == OtherItem())
        return static_cast<float>(std::pow(10.0, ui_->OtherGain->value() / 20.0));
    if (item >= 0 && item < OtherItem())
        return VolumeItems[static_cast<std::size_t>(item)].Gain;
    return std::nullopt;
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
