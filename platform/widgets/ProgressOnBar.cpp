#include "ProgressOnBar.h"

#include <QCoreApplication>
#include <QProgressBar>

namespace velmora {

void ProgressOnBar::SetPercent(int percent)
{
    if (bar_ != nullptr)
        bar_->setValue(percent);
}

void ProgressOnBar::KeepResponsive()
{
    QCoreApplication::processEvents();
}

} // namespace velmora
