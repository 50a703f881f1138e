#include "Process.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

namespace velmora::test {

namespace {

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// In a forked child: the standard streams to the given descriptors, the
// environment additions, then the program.  Never returns.
[[noreturn]] void ExecChild(const std::vector<std::string>& argv,
                            const std::vector<std::pair<std::string, std::string>>& env, int in, int out, int err)
{
    ::dup2(in, STDIN_FILENO);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    for (const auto& [name, value] : env)
        ::setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
}

} // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::vector<std::pair<std::string, std::string>>& env)
{
    char outName[] = "/tmp/velmora-test-out-XXXXXX";
    char errName[] = "/tmp/velmora-test-err-XXXXXX";
    const int outFd = ::mkstemp(outName);
    const int errFd = ::mkstemp(errName);

    ProcessResult result;
    const pid_t pid = ::fork();
    if (pid == 0)
        ExecChild(argv, env, ::open("/dev/null", O_RDONLY), outFd, errFd);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status))
        result.ExitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.ExitCode = 128 + WTERMSIG(status);
    ::close(outFd);
    ::close(errFd);
    result.Out = Slurp(outName);
    result.Err = Slurp(errName);
    ::unlink(outName);
    ::unlink(errName);
    return result;
}

int StartProcess(const std::vector<std::string>& argv,
                 const std::vector<std::pair<std::string, std::string>>& env)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int nullFd = ::open("/dev/null", O_RDWR);
        ExecChild(argv, env, nullFd, nullFd, nullFd);
    }
    return pid;
}

int WaitProcess(int pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

std::string StartVirtualDisplay(const std::string& screen, int& pid)
{
    // The socket file appears before the server takes clients; -displayfd
    // instead reports the number only once it does.
    int ready[2];
    pid = -1;
    if (::pipe(ready) != 0)
        return {};
    pid = ::fork();
    if (pid == 0) {
        ::close(ready[0]);
        const int nullFd = ::open("/dev/null", O_RDWR);
        ExecChild({"Xvfb", "-displayfd", std::to_string(ready[1]), "-screen", "0", screen, "-nolisten", "tcp"}, {},
                  nullFd, nullFd, nullFd);
    }
    ::close(ready[1]);
    std::string number;
    pollfd wait{ready[0], POLLIN, 0};
    char c = 0;
    while (pid > 0 && ::poll(&wait, 1, 10000) == 1 && ::read(ready[0], &c, 1) == 1 && c != '\n')
        number += c;
    ::close(ready[0]);
    if (c == '\n' && !number.empty())
        return ":" + number;
    if (pid > 0) {
        ::kill(pid, SIGKILL);
        WaitProcess(pid);
    }
    pid = -1;
    return {};
}

bool Shell(const std::string& command)
{
    return std::system(command.c_str()) == 0;
}

} // namespace velmora::test
