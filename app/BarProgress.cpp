#include "BarProgress.h"

#include <QCoreApplication>
#include <QProgressBar>

namespace velmora {

void BarProgress::SetPercent(int percent)
{
    if (bar_ != nullptr)
        bar_->setValue(percent);
}

void BarProgress::KeepResponsive()
{
    QCoreApplication::processEvents();
}

} // namespace velmora
