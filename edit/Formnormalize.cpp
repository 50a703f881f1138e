#include "Formnormalize.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QGridLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace velmora {

TNormalizeForm* NormalizeForm = nullptr;

namespace {

QDoubleSpinBox* TargetBox(QWidget* parent, const char* name, double value)
{
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(QString::fromUtf8(name));
    box->setRange(-70.0, 0.0);
    box->setDecimals(1);
    box->setSingleStep(0.5);
    box->setValue(value);
    return box;
}

} // namespace

TNormalizeForm::TNormalizeForm(QWidget* parent) : WordedDialog(parent)
{
    setObjectName(QStringLiteral("NormalizeForm"));
    PeakChoice = new QRadioButton(this);
    PeakChoice->setObjectName(QStringLiteral("NormalizePeak"));
    LoudnessChoice = new QRadioButton(this);
    LoudnessChoice->setObjectName(QStringLiteral("NormalizeLoudness"));
    PeakTarget = TargetBox(this, "NormalizePeakTarget", DefaultNormalizePeak);
    LoudnessTarget = TargetBox(this, "NormalizeLoudnessTarget", DefaultNormalizeLoudness);
    PeakChoice->setChecked(true);
    auto* grid = new QGridLayout;
    grid->addWidget(PeakChoice, 0, 0);
    grid->addWidget(PeakTarget, 0, 1);
    grid->addWidget(LoudnessChoice, 1, 0);
    grid->addWidget(LoudnessTarget, 1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(Buttons);
    // Each target is for its own choice: touching it chooses it.
    connect(PeakTarget, &QDoubleSpinBox::valueChanged, PeakChoice, [this] { PeakChoice->setChecked(true); });
    connect(LoudnessTarget, &QDoubleSpinBox::valueChanged, LoudnessChoice,
            [this] { LoudnessChoice->setChecked(true); });
    SetTexts(QStringLiteral("Normalize"), QStringLiteral("Peak level (dBFS):"), QStringLiteral("Loudness (LUFS):"),
             QStringLiteral("OK"), QStringLiteral("Cancel"));
}

void TNormalizeForm::SetTexts(const QString& title, const QString& peak, const QString& loudness, const QString& ok,
                              const QString& cancel)
{
    setWindowTitle(title);
    PeakChoice->setText(peak);
    LoudnessChoice->setText(loudness);
    SetButtonWords(ok, cancel);
}

NormalizeTo TNormalizeForm::What() const
{
    return LoudnessChoice->isChecked() ? NormalizeTo::Loudness : NormalizeTo::Peak;
}

double TNormalizeForm::Target() const
{
    return What() == NormalizeTo::Loudness ? LoudnessTarget->value() : PeakTarget->value();
}

} // namespace velmora
