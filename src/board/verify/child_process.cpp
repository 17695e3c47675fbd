#include "board/verify/child_process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace board {

namespace {

using Clock = std::chrono::steady_clock;

// AddressSanitizer maps terabytes of shadow memory before main: under it a
// limit on the address space would leave the child no memory at all.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool LimitAddressSpace = false;
#else
constexpr bool LimitAddressSpace = true;
#endif
constexpr int AskEveryMs = 200;

void limit(int resource, rlim_t soft, rlim_t hard) {
    const rlimit value{soft, hard};
    setrlimit(resource, &value);
}

// In the child: limits, quiet output, the work, its text down the pipe.
[[noreturn]] void childMain(int out, const std::function<std::string()>& work, const ChildLimits& limits) {
    // A worker killed outright takes its game with it.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    // Ctrl+C reaches the whole terminal's group; the parent decides.
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGPIPE, SIG_DFL);
    limit(RLIMIT_CPU, static_cast<rlim_t>(limits.cpuSeconds), static_cast<rlim_t>(limits.cpuSeconds) + 1);
    if (LimitAddressSpace)
        limit(RLIMIT_AS, static_cast<rlim_t>(limits.memoryBytes), static_cast<rlim_t>(limits.memoryBytes));
    limit(RLIMIT_CORE, 0, 0);
    const int quiet = open("/dev/null", O_RDWR);
    if (quiet >= 0) {
        dup2(quiet, STDIN_FILENO);
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
    }
    const std::string text = work();
    for (std::size_t sent = 0; sent < text.size();) {
        const ssize_t n = write(out, text.data() + sent, text.size() - sent);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            _exit(3);
        sent += static_cast<std::size_t>(n);
    }
    _exit(0);
}

std::string signalName(int sig) {
    const char* name = strsignal(sig);
    return name != nullptr ? name : "signal " + std::to_string(sig);
}

ChildResult collect(pid_t pid, bool killedForTime, bool abandoned, std::string output) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    ChildResult result;
    if (abandoned) {
        result.end = ChildEnd::Abandoned;
    } else if (killedForTime || (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU)) {
        result.end = ChildEnd::OutOfTime;
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        result.end = ChildEnd::Finished;
        result.output = std::move(output);
    } else {
        result.end = ChildEnd::Crashed;
        result.detail = WIFSIGNALED(status) ? signalName(WTERMSIG(status))
                                            : "exit status " + std::to_string(WEXITSTATUS(status));
    }
    return result;
}

} // namespace

ChildResult runChild(const std::function<std::string()>& work, const ChildLimits& limits,
                     const std::function<bool()>& stillWanted) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return {ChildEnd::NotStarted, "", std::string("pipe: ") + std::strerror(errno)};
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return {ChildEnd::NotStarted, "", std::string("fork: ") + std::strerror(errno)};
    }
    if (pid == 0) {
        close(fds[0]);
        childMain(fds[1], work, limits);
    }
    close(fds[1]);

    const auto deadline = Clock::now() + std::chrono::seconds(2L * limits.cpuSeconds + 10);
    auto nextAsk = Clock::now() + std::chrono::milliseconds(AskEveryMs);
    std::string output;
    bool killedForTime = false, abandoned = false;
    for (;;) {
        pollfd p{fds[0], POLLIN, 0};
        const int ready = poll(&p, 1, 200);
        if (ready > 0) {
            char buffer[65536];
            const ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n > 0) {
                output.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
            if (n == 0 || errno != EINTR)
                break; // the child closed its end: it has finished
        }
        const auto now = Clock::now();
        if (now >= deadline) {
            killedForTime = true;
        } else if (now >= nextAsk) {
            nextAsk = now + std::chrono::milliseconds(AskEveryMs);
            abandoned = !stillWanted();
        }
        if (killedForTime || abandoned) {
            kill(pid, SIGKILL);
            break;
        }
    }
    close(fds[0]);
    return collect(pid, killedForTime, abandoned, std::move(output));
}

} // namespace board
