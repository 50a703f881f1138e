#include "Formreload.h"

#include "ui_Formreload.h"

namespace velmora {

TReloadForm* ReloadForm = nullptr;

TReloadForm::TReloadForm(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::TReloadForm>())
{
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
}

TReloadForm::~TReloadForm() = default;

QProgressBar* TReloadForm::ProgressBar1() const
{
    return ui_->ProgressBar1;
}

} // namespace velmora
