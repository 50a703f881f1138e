#include "Formsave.h"

#include "ui_Formsave.h"

#include "platform/widgets/RunModal.h"

namespace velmora {

TSaveForm* SaveForm = nullptr;

TSaveForm::TSaveForm(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::TSaveForm>())
{
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    connect(ui_->ButtonCancel, &QPushButton::clicked, this, &TSaveForm::ButtonCancelClick);
}

TSaveForm::~TSaveForm() = default;

QProgressBar* TSaveForm::ProgressBar1() const
{
    return ui_->ProgressBar1;
}

void TSaveForm::ButtonCancelClick()
{
    StopRequested = true;
    if (!BodyRunning)
        done(AbortResult);
}

} // namespace velmora
