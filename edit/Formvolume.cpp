#include "Formvolume.h"

#include "ui_Formvolume.h"

namespace velmora {

TVolumeForm* VolumeForm = nullptr;

TVolumeForm::TVolumeForm(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::TVolumeForm>())
{
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    connect(ui_->ButtonOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TVolumeForm::~TVolumeForm() = default;

} // namespace velmora
