#include "QuitOnSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velmora {

namespace {

constexpr int StopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The handler only writes the signal's number into this pipe (safe in a
// handler); the event loop reads it.
int g_pipe[2] = {-1, -1};

extern "C" void PassSignalToEventLoop(int signal)
{
    const unsigned char number = static_cast<unsigned char>(signal);
    const int saved = errno;
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &number, 1);
    errno = saved;
}

} // namespace

QuitOnSignals::QuitOnSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0)
        return;
    notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &QuitOnSignals::Quit);
    struct sigaction action {};
    action.sa_handler = PassSignalToEventLoop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : StopSignals)
        ::sigaction(signal, &action, nullptr);
}

QuitOnSignals::~QuitOnSignals()
{
    if (notifier_ == nullptr)
        return;
    for (int signal : StopSignals)
        std::signal(signal, SIG_DFL);
    delete notifier_;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void QuitOnSignals::Quit()
{
    unsigned char number = 0;
    if (::read(g_pipe[0], &number, 1) == 1)
        QCoreApplication::exit(128 + number);
}

} // namespace velmora
