#pragma once

#include <string>
#include <utility>
#include <vector>

namespace velmora::test {

struct ProcessResult {
    int ExitCode = -1;  // 128 + signal when killed by a signal
    std::string Out;
    std::string Err;
};

// Runs a program and waits for it, capturing its output.  env entries are
// added to (or replace) the test's own environment.
ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::vector<std::pair<std::string, std::string>>& env = {});

// Starts a program with its output discarded; returns its process id.
int StartProcess(const std::vector<std::string>& argv,
                 const std::vector<std::pair<std::string, std::string>>& env = {});

// Waits for a started process; its exit code, or 128 + signal.
int WaitProcess(int pid);

// Starts Xvfb on a display number it chooses itself and waits (up to ten
// seconds) until it accepts connections.  Its display name (":N"), or empty
// when it did not start; pid is the server's, to end with SIGTERM.
std::string StartVirtualDisplay(const std::string& screen, int& pid);

// Runs a shell command line; true when it exits with 0.
bool Shell(const std::string& command);

} // namespace velmora::test
