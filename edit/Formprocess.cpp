#include "Formprocess.h"

#include "ui_Formprocess.h"

namespace velmora {

TProcessForm* ProcessForm = nullptr;

TProcessForm::TProcessForm(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::TProcessForm>())
{
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
}

TProcessForm::~TProcessForm() = default;

QProgressBar* TProcessForm::ProgressBar1() const
{
    return ui_->ProgressBar1;
}

QProgressBar* TProcessForm::ProgressBar2() const
{
    return ui_->ProgressBar2;
}

} // namespace velmora
