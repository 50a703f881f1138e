#include "WordedDialog.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QPushButton>

namespace velmora {

WordedDialog::WordedDialog(QWidget* parent) : QDialog(parent)
{
    // Without CustomizeWindowHint window managers add minimise and
    // maximise buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    ShowButtonWords();
}

void WordedDialog::SetButtonWords(const QString& ok, const QString& cancel)
{
    ok_ = ok;
    cancel_ = cancel;
    ShowButtonWords();
}

void WordedDialog::ShowButtonWords()
{
    Buttons->button(QDialogButtonBox::Ok)->setText(ok_);
    Buttons->button(QDialogButtonBox::Cancel)->setText(cancel_);
}

void WordedDialog::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        QMetaObject::invokeMethod(this, &WordedDialog::ShowButtonWords, Qt::QueuedConnection);
}

} // namespace velmora
