// Costs of the waveform view on a long document: opens FILE in the editor's
// windows (offscreen), zooms to 1:1, plays, and times the work of one timer
// tick (cursor repaint included) over many ticks.  Prints the column count,
// the median tick in microseconds and the process's peak memory.
//
//     velmora-view-bench FILE [TICKS]

#include "platform/widgets/QtUserDialogs.h"
#include "app/Formmain.h"
#include "app/Windows.h"
#include "platform/PrivateTempFolder.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

long PeakMemoryKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (argc < 2) {
        std::fprintf(stderr, "usage: velmora-view-bench FILE [TICKS]\n");
        return 2;
    }
    const int ticks = argc > 2 ? std::atoi(argv[2]) : 200;
    QApplication application(argc, argv);
    velmora::SubstituteDesignFonts();
    velmora::PrivateTempFolder programFolder;
    if (!velmora::CreateWindows({}, programFolder.Path()))
        return 1;
    velmora::TMainForm& main = *velmora::MainForm;
    main.show();
    QApplication::processEvents();
    main.Doc.SourceFile = argv[1];
    main.OpenSourceFile();
    if (!main.Doc.DocumentOpen)
        return 1;
    main.MZoom1Click();
    main.CButtonPlayClick();
    QApplication::processEvents();

    std::vector<double> micros;
    for (int i = 0; i < ticks; ++i) {
        QElapsedTimer timer;
        timer.start();
        main.Timer1Timer();
        QApplication::processEvents();  // the repaint the tick asked for
        micros.push_back(static_cast<double>(timer.nsecsElapsed()) / 1000.0);
    }
    std::sort(micros.begin(), micros.end());
    std::printf("columns=%u tick_median_us=%.1f peak_memory_mb=%.1f\n", main.Doc.ColumnCount,
                micros[micros.size() / 2], static_cast<double>(PeakMemoryKb()) / 1024.0);
    main.CButtonStopClick();
    velmora::DestroyWindows();
    return 0;
}
