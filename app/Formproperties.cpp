#include "Formproperties.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora {

namespace {

// The cover is shown at most this many pixels square.
constexpr int PictureSide = 160;

bool IsLyrics(const TagField& field)
{
    return field.Member == &Tags::Lyrics;
}

} // namespace

TPropertiesForm::TPropertiesForm(QWidget* parent) : WordedDialog(parent)
{
    setObjectName(QStringLiteral("PropertiesForm"));
    auto* form = new QFormLayout;
    for (std::size_t i = 0; i < TagFields.size(); ++i) {
        const TagField& field = TagFields[i];
        labels_[i] = new QLabel(this);
        QWidget* editor = nullptr;
        if (IsLyrics(field)) {
            lyrics_ = new QPlainTextEdit(this);
            lyrics_->setTabChangesFocus(true);
            lyrics_->setMinimumHeight(lyrics_->fontMetrics().lineSpacing() * 5);
            editor = lyrics_;
        } else {
            lines_[i] = new QLineEdit(this);
            editor = lines_[i];
        }
        editor->setObjectName(QStringLiteral("Property") + QString::fromUtf8(field.Key));
        labels_[i]->setBuddy(editor);
        form->addRow(labels_[i], editor);
    }
    pictureLabel_ = new QLabel(this);
    picture_ = new QLabel(this);
    picture_->setObjectName(QStringLiteral("PropertyPicture"));
    picture_->setMinimumSize(PictureSide, PictureSide);
    picture_->setAlignment(Qt::AlignCenter);
    picture_->setFrameShape(QFrame::StyledPanel);
    form->addRow(pictureLabel_, picture_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(Buttons);

    std::array<QString, TagFields.size()> captions;
    for (std::size_t i = 0; i < TagFields.size(); ++i)
        captions[i] = QString::fromUtf8(TagFields[i].Key) + u':';
    SetTexts(QStringLiteral("Properties"), captions, QStringLiteral("Picture:"), QStringLiteral("No picture"),
             QStringLiteral("OK"), QStringLiteral("Cancel"));
}

void TPropertiesForm::SetTexts(const QString& title, const std::array<QString, TagFields.size()>& captions,
                               const QString& picture, const QString& noPicture, const QString& ok,
                               const QString& cancel)
{
    setWindowTitle(title);
    for (std::size_t i = 0; i < TagFields.size(); ++i)
        labels_[i]->setText(captions[i]);
    pictureLabel_->setText(picture);
    noPicture_ = noPicture;
    SetButtonWords(ok, cancel);
    ShowPicture();
}

void TPropertiesForm::ShowPicture()
{
    QPixmap pixmap;
    const auto& data = tags_.Cover.Data;
    if (!data.empty() && pixmap.loadFromData(data.data(), static_cast<uint>(data.size()))) {
        picture_->setPixmap(pixmap.scaled(PictureSide, PictureSide, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        picture_->setToolTip(QString::fromStdString(tags_.Cover.Description));
    } else {
        picture_->setPixmap(QPixmap());
        picture_->setText(noPicture_);
        picture_->setToolTip(QString());
    }
}

void TPropertiesForm::SetTags(const Tags& tags)
{
    tags_ = tags;
    for (std::size_t i = 0; i < TagFields.size(); ++i) {
        const QString text = QString::fromStdString(tags.*TagFields[i].Member);
        if (lines_[i] != nullptr)
            lines_[i]->setText(text);
        else
            lyrics_->setPlainText(text);
    }
    ShowPicture();
    if (lines_[0] != nullptr) {
        lines_[0]->setFocus();
        lines_[0]->selectAll();
    }
}

Tags TPropertiesForm::TypedTags() const
{
    Tags tags = tags_;
    for (std::size_t i = 0; i < TagFields.size(); ++i) {
        const QString text = lines_[i] != nullptr ? lines_[i]->text() : lyrics_->toPlainText();
        tags.*TagFields[i].Member = text.toStdString();
    }
    return tags;
}

} // namespace velmora
