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
    // Puts the owner line and the home page link into the box (before it
    // is sized to them, and again at every activation).
    void ShowTexts();
    void Label5Click();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<Ui::TAboutForm> ui_;
};

// The project's page that Home Page, Update and the About box's link open:
// the address the build was configured with (VELMORA_HOME_PAGE), else the
// README that comes with the program (beside it in a build, among the
// documentation once installed).
std::string HomePageAddress(const std::string& programFolder);

// The address in the short form the link label shows: the host of a web
// address, the file name of a local one.
std::string ShortAddress(const std::string& address);

} // namespace velmora
