// The windows' tests run on Qt's offscreen platform with the real audio
// layer on SDL's dummy driver (real time, no sound hardware).

#include "app/Windows.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmora Audio Editor"));
    velmora::SubstituteDesignFonts();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
