#pragma once

#include "platform/widgets/QtUserDialogs.h"
#include "app/Formmain.h"
#include "app/Windows.h"
#include "support/Fakes.h"
#include "support/TempDir.h"
#include "support/WaveBuilder.h"
#include "ui_Formmain.h"

#include <QAction>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>

namespace velmora::test {

// Creates the program's windows for one test, with scripted dialogs and a
// program folder of the test's own, and destroys them afterwards.
class GuiTest : public testing::Test {
protected:
    void TearDown() override;

    // Creates the windows as the program does; false when start-up failed.
    bool Start(const QStringList& arguments = {});
    // Shows the main window as the program does (which opens a file named
    // on the command line) and waits until nothing is pending.
    void Show();

    // Handles events until condition holds or timeoutMs passes.
    bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 5000);
    void Wait(int ms);

    // Puts the shipped language file (English.ini ...) into the program
    // folder and makes it the configured language; before Start.
    void UseShippedLanguage(const std::string& file);

    // Opens path through the Open command's file dialog.
    void OpenThroughDialog(const std::string& path);

    TMainForm& Main() const { return *MainForm; }
    Ui::TMainForm& C() const { return *MainForm->Controls(); }
    Document& Doc() const { return MainForm->Doc; }

    // A 16-bit WAV of frames frames, each sample a sine value, written below
    // the test's folder.
    std::string SineWave(const std::string& name, std::uint32_t rate, int channels, std::uint32_t frames,
                         double amplitude = 0.5);

    TempDir dir;
    TempDir programFolder;
    RecordingDialogs dialogs;
};

} // namespace velmora::test
