#include "TerminalProgress.h"

#include <cstdio>
#include <unistd.h>

namespace velmora::cli {

namespace {
constexpr int BarWidth = 40;
}

TerminalProgress::TerminalProgress(std::string label)
    : label_(std::move(label)), enabled_(::isatty(STDERR_FILENO) == 1)
{
}

TerminalProgress::~TerminalProgress()
{
    if (drawn_)
        std::fputs("\n", stderr);
}

void TerminalProgress::SetPercent(int percent)
{
    if (!enabled_)
        return;
    const int filled = percent * BarWidth / 100;
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(BarWidth - filled), '.');
    std::fprintf(stderr, "\r%-11s [%s] %3d%%", label_.c_str(), bar.c_str(), percent);
    std::fflush(stderr);
    drawn_ = true;
}

} // namespace velmora::cli
