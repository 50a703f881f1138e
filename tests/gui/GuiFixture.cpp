#include "GuiFixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include "platform/IniFile.h"

#include <filesystem>

namespace velmora::test {

void GuiTest::TearDown()
{
    DestroyWindows();
    InstallAppDialogs(nullptr);
}

bool GuiTest::Start(const QStringList& arguments)
{
    InstallAppDialogs(&dialogs);
    return CreateWindows(arguments, programFolder.Path());
}

void GuiTest::Show()
{
    MainForm->show();
    Wait(50);
}

bool GuiTest::WaitFor(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

void GuiTest::Wait(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
}

void GuiTest::UseShippedLanguage(const std::string& file)
{
    std::filesystem::create_directories(programFolder / "KVLanguage");
    std::filesystem::copy_file(std::string(VELMORA_LANGUAGE_DIR) + file, programFolder / ("KVLanguage/" + file),
                               std::filesystem::copy_options::overwrite_existing);
    IniFile(programFolder / "Kelvane.ini").WriteString("General", "Language", file);
}

void GuiTest::OpenThroughDialog(const std::string& path)
{
    dialogs.OpenChoices.push_back(path);
    MainForm->ButtonOpenClick();
}

std::string GuiTest::SineWave(const std::string& name, std::uint32_t rate, int channels, std::uint32_t frames,
                              double amplitude)
{
    return WaveBuilder()
        .Format(1, static_cast<std::uint16_t>(channels), rate, 16)
        .Samples(Pcm16(Sine16(frames, channels, rate, 440, amplitude)))
        .WriteTo(dir / name);
}

} // namespace velmora::test
