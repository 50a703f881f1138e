#include "Formselection.h"

#include "document/Units.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora {

TSelectionForm::TSelectionForm(QWidget* parent) : WordedDialog(parent)
{
    setObjectName(QStringLiteral("SelectionForm"));
    auto* form = new QFormLayout;
    StartEdit = new QLineEdit(this);
    StartEdit->setObjectName(QStringLiteral("SelectionStart"));
    FinishEdit = new QLineEdit(this);
    FinishEdit->setObjectName(QStringLiteral("SelectionFinish"));
    startLabel_ = new QLabel(this);
    finishLabel_ = new QLabel(this);
    startLabel_->setBuddy(StartEdit);
    finishLabel_->setBuddy(FinishEdit);
    form->addRow(startLabel_, StartEdit);
    form->addRow(finishLabel_, FinishEdit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(Buttons);
    connect(StartEdit, &QLineEdit::textChanged, this, &TSelectionForm::Check);
    connect(FinishEdit, &QLineEdit::textChanged, this, &TSelectionForm::Check);
    SetTexts(QStringLiteral("Set Selection"), QStringLiteral("Start:"), QStringLiteral("Finish:"),
             QStringLiteral("OK"), QStringLiteral("Cancel"));
}

void TSelectionForm::SetTexts(const QString& title, const QString& start, const QString& finish, const QString& ok,
                              const QString& cancel)
{
    setWindowTitle(title);
    startLabel_->setText(start);
    finishLabel_->setText(finish);
    SetButtonWords(ok, cancel);
}

void TSelectionForm::SetTimes(double start, double finish)
{
    StartEdit->setText(QString::fromStdString(SecondsToPreciseText(start)));
    FinishEdit->setText(QString::fromStdString(SecondsToPreciseText(finish)));
    StartEdit->setFocus();
    StartEdit->selectAll();
}

std::optional<std::pair<double, double>> TSelectionForm::Times() const
{
    const std::optional<double> start = ParseTimeText(StartEdit->text().trimmed().toStdString());
    const std::optional<double> finish = ParseTimeText(FinishEdit->text().trimmed().toStdString());
    if (!start || !finish || *start > *finish)
        return std::nullopt;
    return std::pair(*start, *finish);
}

void TSelectionForm::Check()
{
    for (QLineEdit* field : {StartEdit, FinishEdit}) {
        const bool reads = ParseTimeText(field->text().trimmed().toStdString()).has_value();
        // Marked for sight and for screen readers alike.
        field->setStyleSheet(reads ? QString() : QStringLiteral("QLineEdit { color: #c00000; }"));
        field->setAccessibleDescription(reads ? QString() : QStringLiteral("not a time"));
    }
    Buttons->button(QDialogButtonBox::Ok)->setEnabled(Times().has_value());
}

} // namespace velmora
