#include "RunModal.h"

#include "DialogFit.h"

#include <QDialog>
#include <QTimer>

namespace velmora {

void CentreOnOwner(QWidget& dialog)
{
    const QWidget* owner = dialog.parentWidget();
    if (owner == nullptr)
        return;
    // Client area on client area.  A dialog not shown yet has no frame of
    // its own, so it is taken to get the owner's; move() places the frame.
    const QWidget* window = owner->window();
    const QPoint frameOffset = window->geometry().topLeft() - window->frameGeometry().topLeft();
    QRect client(QPoint(), dialog.size());
    client.moveCenter(window->geometry().center());
    dialog.move(client.topLeft() - frameOffset);
}

int ExecCentred(QDialog& dialog)
{
    FitToContents(dialog);
    CentreOnOwner(dialog);
    return dialog.exec();
}

int RunModalWithBody(QDialog& dialog, std::function<void()> body)
{
    QTimer::singleShot(0, &dialog, std::move(body));
    return ExecCentred(dialog);
}

} // namespace velmora
