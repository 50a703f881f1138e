#include "Formopen.h"

#include "ui_Formopen.h"

#include "platform/widgets/RunModal.h"

namespace velmora {

TOpenForm* OpenForm = nullptr;

TOpenForm::TOpenForm(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::TOpenForm>())
{
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    connect(ui_->ButtonCancel, &QPushButton::clicked, this, &TOpenForm::ButtonCancelClick);
}

TOpenForm::~TOpenForm() = default;

QProgressBar* TOpenForm::ProgressBar1() const
{
    return ui_->ProgressBar1;
}

QProgressBar* TOpenForm::ProgressBar2() const
{
    return ui_->ProgressBar2;
}

void TOpenForm::ButtonCancelClick()
{
    StopRequested = true;
    if (!BodyRunning)
        done(AbortResult);
}

} // namespace velmora
