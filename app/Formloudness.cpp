#include "Formloudness.h"

#include "edit/LoudnessMeter.h"
#include "platform/widgets/ProgressOnBar.h"
#include "platform/widgets/QtUserDialogs.h"
#include "platform/widgets/RunModal.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora {

namespace {

// The figures' units, in the order of the captions.
constexpr const char* Units[TLoudnessForm::FigureCount] = {"LUFS", "LU", "dBTP", "LUFS", "LUFS", "dBFS"};
constexpr const char* Names[TLoudnessForm::FigureCount] = {"Integrated",   "Range",        "TruePeak",
                                                           "MaxMomentary", "MaxShortTerm", "SamplePeak"};

} // namespace

TLoudnessForm::TLoudnessForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("LoudnessForm"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* form = new QFormLayout;
    for (std::size_t i = 0; i < FigureCount; ++i) {
        captions_[i] = new QLabel(this);
        Values[i] = new QLabel(this);
        Values[i]->setObjectName(QStringLiteral("Loudness") + QString::fromUtf8(Names[i]));
        Values[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        // Room for "-100.0 LUFS" whatever the font.
        Values[i]->setMinimumWidth(Values[i]->fontMetrics().horizontalAdvance(QStringLiteral("-100.0 LUFS")));
        form->addRow(captions_[i], Values[i]);
    }
    Bar = new QProgressBar(this);
    Bar->setRange(0, 100);
    Buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(Bar);
    layout->addWidget(Buttons);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    std::array<QString, FigureCount> captions = {
        QStringLiteral("Integrated loudness:"), QStringLiteral("Loudness range:"),
        QStringLiteral("True peak:"),           QStringLiteral("Maximum momentary:"),
        QStringLiteral("Maximum short-term:"),  QStringLiteral("Sample peak:")};
    SetTexts(QStringLiteral("Loudness"), captions, QStringLiteral("Close"));
}

void TLoudnessForm::SetTexts(const QString& title, const std::array<QString, FigureCount>& captions,
                             const QString& close)
{
    setWindowTitle(title);
    for (std::size_t i = 0; i < FigureCount; ++i)
        captions_[i]->setText(captions[i]);
    Buttons->button(QDialogButtonBox::Close)->setText(close);
}

void TLoudnessForm::Measure(const Document& doc)
{
    stop_ = false;
    for (QLabel* value : Values)
        value->setText(QStringLiteral("..."));
    Bar->setValue(0);
    Bar->setVisible(true);
    // Close while the measure runs stops it; the dialog then closes too.
    const auto stopping = connect(Buttons, &QDialogButtonBox::rejected, this, [this] { stop_ = true; });
    RunModalWithBody(*this, [this, &doc] {
        ProgressOnBar progress(Bar, &stop_);
        const std::optional<LoudnessFigures> figures = MeasureLoudness(doc, progress);
        if (!figures) {
            if (!stop_)
                AppDialogs().ShowMessage("Cannot open the temporary file.");
            done(QDialog::Rejected);
            return;
        }
        const double shown[FigureCount] = {figures->Integrated,   figures->Range,        figures->TruePeak,
                                           figures->MaxMomentary, figures->MaxShortTerm, figures->SamplePeak};
        for (std::size_t i = 0; i < FigureCount; ++i)
            Values[i]->setText(QString::fromStdString(LoudnessText(shown[i])) + u' ' + QString::fromUtf8(Units[i]));
        Bar->setVisible(false);
    });
    disconnect(stopping);
}

} // namespace velmora
