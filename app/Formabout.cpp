#include "Formabout.h"

#include "ui_Formabout.h"

#include <QDate>
#include <QDesktopServices>
#include <QEvent>
#include <QIcon>
#include <QMouseEvent>
#include <QUrl>

namespace velmora {

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::TAboutForm>())
{
    ui_->setupUi(this);
    // A title and a close box only: without CustomizeWindowHint window
    // managers add minimise and maximise buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    ui_->Image1->setPixmap(QIcon(QStringLiteral(":/icons/about.svg")).pixmap(64, 64));
    ui_->Image1->setAccessibleName(QStringLiteral("Velmora Audio Editor"));  // the program's logo
    ui_->Label5->installEventFilter(this);
    connect(ui_->ButtonOk, &QPushButton::clicked, this, &QDialog::accept);
}

TAboutForm::~TAboutForm() = default;

std::string TAboutForm::OwnerLine() const
{
    const int year = QDate::currentDate().year();
    std::string line = CopyrightText;
    if (!line.empty())
        line += ' ';
    line += "Velmora Audio, 2024-" + std::to_string(year);
    if (!ReservedText.empty())
        line += "\n" + ReservedText;
    return line;
}

void TAboutForm::Label5Click()
{
    QDesktopServices::openUrl(QUrl(QString::fromStdString(HomePageAddress)));
}

bool TAboutForm::event(QEvent* event)
{
    // The owner line is composed afresh at every activation.
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::Show)
        ui_->Label6->setText(QString::fromStdString(OwnerLine()));
    return QDialog::event(event);
}

bool TAboutForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui_->Label5 && event->type() == QEvent::MouseButtonRelease) {
        Label5Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace velmora
