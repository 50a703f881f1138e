// The windows' tests run on Qt's offscreen platform with the real audio
// layer on SDL's dummy driver (real time, no sound hardware).

#include "app/Windows.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);
    // The editors of these tests keep their private folders apart from any
    // a real editor left behind, which they would otherwise offer back.
    std::string temporary = (std::filesystem::temp_directory_path() / "velmora-gui-tests-XXXXXX").string();
    if (::mkdtemp(temporary.data()) != nullptr)
        ::setenv("TMPDIR", temporary.c_str(), 1);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmora Audio Editor"));
    velmora::SubstituteDesignFonts();
    testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(temporary, ignored);
    return status;
}
