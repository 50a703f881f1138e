#pragma once

#include <QDialog>

#include <memory>
#include <string>

namespace Ui {
class TAboutForm;
}

namespace velmora {

// The About box: product name, version, home page link and the owner line.
class TAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* parent = nullptr);
    ~TAboutForm() override;

    Ui::TAboutForm* Controls() const { return ui_.get(); }

    std::string HomePageAddress;
    std::string CopyrightText;
    std::string ReservedText;

    // The owner line of this year.
    std::string OwnerLine() const;
    void Label5Click();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<Ui::TAboutForm> ui_;
};

// The maker's home page, and its short form for the link label.
inline constexpr const char* HomePageAddressText = "https://velmora.example.org/";

} // namespace velmora
