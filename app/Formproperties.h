#pragma once

#include "platform/tags/Tags.h"
#include "platform/widgets/WordedDialog.h"

#include <array>

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace velmora {

// File > Properties: the document's tags, each text field editable, and
// the cover picture shown.  OK hands the edited fields back; the picture
// stays as it came.
class TPropertiesForm : public WordedDialog {
    Q_OBJECT
public:
    explicit TPropertiesForm(QWidget* parent = nullptr);

    // The texts of the window: its title, a caption per field of TagFields
    // (in its order), the picture's caption and what stands for no picture,
    // OK and Cancel.
    void SetTexts(const QString& title, const std::array<QString, TagFields.size()>& captions,
                  const QString& picture, const QString& noPicture, const QString& ok, const QString& cancel);
    // The tags the fields start with.
    void SetTags(const Tags& tags);
    // The tags as typed, with the picture of SetTags.
    Tags TypedTags() const;

private:
    void ShowPicture();

    std::array<QLabel*, TagFields.size()> labels_{};
    std::array<QLineEdit*, TagFields.size()> lines_{};  // nullptr for the lyrics
    QPlainTextEdit* lyrics_ = nullptr;
    QLabel* pictureLabel_ = nullptr;
    QLabel* picture_ = nullptr;
    Tags tags_;
    QString noPicture_;
};

} // namespace velmora
