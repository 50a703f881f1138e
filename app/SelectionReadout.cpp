#include "SelectionReadout.h"

#include "document/Document.h"
#include "document/Units.h"
#include "history/EditRange.h"
#include "platform/audio/Bass.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>

namespace velmora {

std::array<double, 4> ReadoutSeconds(const Document& doc)
{
    if (!doc.DocumentOpen || doc.SampleRate <= 0 || doc.FrameSize <= 0)
        return {0, 0, 0, 0};
    // The markers as the edit range has them (kept inside the payload).
    const EditRange range = EditRangeOf(doc);
    const auto frameSize = static_cast<double>(doc.FrameSize);
    const double rate = doc.SampleRate;
    const double start = static_cast<double>(range.StartByte - doc.DataOffset) / frameSize / rate;
    const double finish = static_cast<double>(range.EndByte - doc.DataOffset) / frameSize / rate;
    double position = 0;
    if (doc.Stream != 0) {
        const QWORD byte = BASS_ChannelGetPosition(doc.Stream, BASS_POS_BYTE);  // bytes of the stream
        if (byte != static_cast<QWORD>(-1))
            position = BASS_ChannelBytes2Seconds(doc.Stream, byte);
    }
    return {start, finish, finish - start, position};
}

SelectionReadout::SelectionReadout(QWidget* parent) : QWidget(parent)
{
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);
    QFont digits = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const char* names[] = {"ReadoutStart", "ReadoutFinish", "ReadoutLength", "ReadoutPosition"};
    for (int i = 0; i < 4; ++i) {
        captions_[i] = new QLabel(this);
        values_[i] = new QLabel(this);
        values_[i]->setObjectName(QString::fromLatin1(names[i]));
        values_[i]->setFont(digits);
        values_[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        captions_[i]->setBuddy(values_[i]);
        // Two rows of two: start and finish above, length and position below.
        grid->addWidget(captions_[i], i / 2, (i % 2) * 2, Qt::AlignRight);
        grid->addWidget(values_[i], i / 2, (i % 2) * 2 + 1, Qt::AlignLeft);
    }
    grid->setColumnStretch(4, 1);
    SetCaptions({tr("Start:"), tr("Finish:"), tr("Length:"), tr("Position:")});
}

void SelectionReadout::SetCaptions(const std::array<QString, 4>& captions)
{
    for (int i = 0; i < 4; ++i) {
        captions_[i]->setText(captions[i]);
        // Read out as "Start: 0:00:01.250" by screen readers.
        values_[i]->setAccessibleName(captions[i]);
    }
}

void SelectionReadout::Show(const Document& doc)
{
    const std::array<double, 4> seconds = ReadoutSeconds(doc);
    for (int i = 0; i < 4; ++i) {
        const QString text =
            doc.DocumentOpen ? QString::fromStdString(SecondsToPreciseText(seconds[i])) : QString();
        if (values_[i]->text() != text)
            values_[i]->setText(text);
    }
}

std::array<std::string, 4> SelectionReadout::Values() const
{
    std::array<std::string, 4> texts;
    for (int i = 0; i < 4; ++i)
        texts[i] = values_[i]->text().toStdString();
    return texts;
}

QString SelectionReadout::Spoken() const
{
    QStringList parts;
    for (int i = 0; i < 4; ++i) {
        if (!values_[i]->text().isEmpty())
            parts << captions_[i]->text() + QLatin1Char(' ') + values_[i]->text();
    }
    return parts.join(QStringLiteral(", "));
}

} // namespace velmora
