#include "RunModal.h"

#include <QDialog>
#include <QTimer>

namespace velmora {

int RunModalWithBody(QDialog& dialog, std::function<void()> body)
{
    QTimer::singleShot(0, &dialog, std::move(body));
    return dialog.exec();
}

} // namespace velmora
