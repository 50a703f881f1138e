// Reachable by screen reader: every control a user acts on has a name in
// the current language, in every window, and the waveform view says where
// the editor stands.  In process through Qt's accessibility interfaces, and
// from outside as Orca would see it, over AT-SPI.

#include "GuiFixture.h"

#include "app/Formabout.h"
#include "app/Formselection.h"
#include "document/Formreload.h"
#include "edit/Formprocess.h"
#include "edit/Formvolume.h"
#include "export/Formsave.h"
#include "import/Formopen.h"
#include "support/Process.h"

#include <QAccessible>
#include <QAccessibleInterface>

#include <csignal>

#include <sstream>

namespace velmora {
namespace {

using test::GuiTest;

// The roles of controls a user acts on.
bool NeedsName(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::Slider:
    case QAccessible::List:
    case QAccessible::SpinBox:
    case QAccessible::EditableText:
    case QAccessible::MenuItem:
    case QAccessible::ButtonMenu:
    case QAccessible::Graphic:
        return true;
    default:
        return false;
    }
}

void Walk(QAccessibleInterface* node, const std::string& path, std::vector<std::string>& unnamed, int depth = 0)
{
    if (node == nullptr || !node->isValid() || depth > 30)
        return;
    const std::string name = node->text(QAccessible::Name).trimmed().toStdString();
    const std::string here = path + "/" + (node->object() != nullptr ? node->object()->objectName().toStdString() : "") +
                             "(" + std::to_string(node->role()) + ")";
    if (NeedsName(node->role()) && name.empty() && !node->state().invisible)
        unnamed.push_back(here);
    for (int i = 0; i < node->childCount(); ++i)
        Walk(node->child(i), here, unnamed, depth + 1);
}

TEST_F(GuiTest, EveryControlHasANameInEveryLanguage)
{
    for (const char* language : {"English.ini", "German.ini", "Russian.ini", "Japanese.ini", "ChineseGB.ini"}) {
        UseShippedLanguage(language);
        ASSERT_TRUE(Start());
        Show();
        OpenThroughDialog(SineWave("a.wav", 8000, 2, 8000 * 3));
        std::vector<std::string> unnamed;
        for (QWidget* window : std::initializer_list<QWidget*>{MainForm, OpenForm, ReloadForm, SaveForm, AboutForm,
                                                                 ProcessForm, VolumeForm, Main().SelectionForm}) {
            window->show();  // (hidden controls are not offered to screen readers)
            Walk(QAccessible::queryAccessibleInterface(window), window->objectName().toStdString(), unnamed);
            if (window != MainForm)
                window->hide();
        }
        EXPECT_TRUE(unnamed.empty()) << language << ": " << testing::PrintToString(unnamed);
        QAccessibleInterface* view = QAccessible::queryAccessibleInterface(C().PaintBox1);
        EXPECT_NE(view->text(QAccessible::Value).indexOf(QStringLiteral("0:00:03.000")), -1)
            << view->text(QAccessible::Value).toStdString();
        DestroyWindows();
    }
}

// From outside: the editor on an accessibility bus of its own, walked the
// way a screen reader walks it.
TEST_F(GuiTest, AScreenReaderFindsNoUnnamedControl)
{
    if (!test::Shell("command -v dbus-run-session >/dev/null && test -x /usr/libexec/at-spi-bus-launcher && "
                     "/usr/bin/python3 -c 'import pyatspi' 2>/dev/null && command -v Xvfb >/dev/null && "
                     "command -v openbox >/dev/null"))
        GTEST_SKIP() << "needs dbus, at-spi2-core, python3-pyatspi, Xvfb and openbox";
    int server = -1;
    const std::string display = test::StartVirtualDisplay("1024x768x24", server);
    ASSERT_FALSE(display.empty());
    const std::string input = SineWave("spoken.wav", 8000, 2, 8000 * 4);
    const std::string script =
        "/usr/libexec/at-spi-bus-launcher --launch-immediately & openbox >/dev/null 2>&1 & "
        "sleep 1; QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 '" VELMORA_PATH "' '" + input +
        "' >/dev/null 2>&1 & editor=$!; /usr/bin/python3 '" VELMORA_ATSPI_WALK "' velmora; status=$?; "
        "kill $editor; exit $status";
    const auto result = test::RunProcess({"dbus-run-session", "--", "sh", "-c", script},
                                         {{"DISPLAY", display}, {"SDL_AUDIODRIVER", "dummy"}});
    ::kill(server, SIGTERM);
    test::WaitProcess(server);
    ASSERT_EQ(result.ExitCode, 0) << result.Out << result.Err;
    EXPECT_EQ(result.Out.find("UNNAMED"), std::string::npos) << result.Out;
    EXPECT_NE(result.Out.find("WAVEFORM Start"), std::string::npos) << result.Out;
    EXPECT_NE(result.Out.find("0:00:04.000"), std::string::npos) << result.Out;
    std::istringstream lines(result.Out.substr(result.Out.find("NODES")));
    std::string word;
    int nodes = 0;
    lines >> word >> nodes;
    EXPECT_GT(nodes, 50);
}

} // namespace
} // namespace velmora
