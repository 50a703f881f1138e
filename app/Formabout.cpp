#include "Formabout.h"

#include "ui_Formabout.h"

#include <QDate>
#include <QDesktopServices>
#include <QEvent>
#include <QFileInfo>
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
    // One version everywhere: the build's, in the box's short form.
    ui_->Label3->setText(QStringLiteral(VELMORA_SHORT_VERSION));
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

void TAboutForm::ShowTexts()
{
    ui_->Label6->setText(QString::fromStdString(OwnerLine()));
    ui_->Label5->setText(QString::fromStdString(ShortAddress(HomePageAddress)));
    ui_->Label5->setToolTip(QString::fromStdString(HomePageAddress));
}

void TAboutForm::Label5Click()
{
    QDesktopServices::openUrl(QUrl(QString::fromStdString(HomePageAddress)));
}

bool TAboutForm::event(QEvent* event)
{
    // The owner line is composed afresh at every activation.
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::Show)
        ShowTexts();
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

std::string HomePageAddress(const std::string& programFolder)
{
    const std::string configured = VELMORA_HOME_PAGE;
    if (!configured.empty())
        return configured;
    for (const char* relative : {"README.md", "../../share/doc/velmora/README.md"}) {
        const QFileInfo readme(QString::fromStdString(programFolder + relative));
        if (readme.isFile())
            return QUrl::fromLocalFile(readme.canonicalFilePath()).toString().toStdString();
    }
    return QUrl::fromLocalFile(QString::fromStdString(programFolder + "README.md")).toString().toStdString();
}

std::string ShortAddress(const std::string& address)
{
    const QUrl url(QString::fromStdString(address));
    if (url.isLocalFile())
        return url.fileName().toStdString();
    return url.host().isEmpty() ? address : url.host().toStdString();
}

} // namespace velmora
