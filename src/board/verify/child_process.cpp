#include "board/verify/child_process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <new>
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

// The child's exit status when it ran out of memory (std::bad_alloc).
constexpr int OutOfMemoryStatus = 4;

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
    std::string text;
    try {
        text = work();
    } catch (const std::bad_alloc&) {
        _exit(OutOfMemoryStatus);
    }
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

double seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

// Processor time a running child has used so far.
std::chrono::milliseconds cpuUsed(pid_t pid) {
    clockid_t clock{};
    timespec used{};
    if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &used) != 0)
        return std::chrono::milliseconds(0);
    return std::chrono::seconds(used.tv_sec) + std::chrono::milliseconds(used.tv_nsec / 1000000);
}

// Why the child ended. A signal is the run's doing only when the processor
// limit sent it (SIGXCPU, or SIGKILL at the hard limit): any other, the
// kernel's out-of-memory killer's SIGKILL included, came from outside.
ChildResult collect(pid_t pid, bool pastWallClock, bool abandoned, std::string output, const ChildLimits& limits) {
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    const double cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    const bool signalled = WIFSIGNALED(status);
    ChildResult result;
    if (abandoned) {
        result.end = ChildEnd::Abandoned;
    } else if (signalled &&
               (WTERMSIG(status) == SIGXCPU || (WTERMSIG(status) == SIGKILL && cpu >= limits.cpuSeconds))) {
        result.end = ChildEnd::OutOfTime;
    } else if (pastWallClock) {
        result.end = ChildEnd::Stalled;
        result.detail = "still running after " + std::to_string(2L * limits.cpuSeconds + 10) + " s with " +
                        std::to_string(static_cast<long>(cpu)) + " s of processor time";
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        result.end = ChildEnd::Finished;
        result.output = std::move(output);
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == OutOfMemoryStatus) {
        result.end = ChildEnd::OutOfMemory;
    } else {
        result.end = ChildEnd::Crashed;
        result.detail =
            signalled ? signalName(WTERMSIG(status)) : "exit status " + std::to_string(WEXITSTATUS(status));
    }
    return result;
}

// Whatever happens in the parent, the child does not outlive the call.
struct Reaper {
    pid_t pid;
    int fd;
    bool done = false;
    ~Reaper() {
        if (done)
            return;
        kill(pid, SIGKILL);
        kill(pid, SIGCONT);
        close(fd);
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
};

} // namespace

ChildResult runChild(const std::function<std::string()>& work, const ChildLimits& limits,
                     const ChildWatch& watch) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return {ChildEnd::NotStarted, "", std::string("pipe: ") + std::strerror(errno)};
    const pid_t pid = fork();
    if (pid < 0) {
        const int error = errno;
        close(fds[0]);
        close(fds[1]);
        return {ChildEnd::NotStarted, "", std::string("fork: ") + std::strerror(error)};
    }
    if (pid == 0) {
        close(fds[0]);
        childMain(fds[1], work, limits);
    }
    close(fds[1]);
    Reaper reaper{pid, fds[0]};

    auto deadline = Clock::now() + std::chrono::seconds(2L * limits.cpuSeconds + 10);
    auto nextAsk = Clock::now() + std::chrono::milliseconds(AskEveryMs);
    std::string output;
    bool pastWallClock = false, abandoned = false;
    for (;;) {
        pollfd p{fds[0], POLLIN, 0};
        const int ready = poll(&p, 1, AskEveryMs);
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
            pastWallClock = true;
        } else if (now >= nextAsk) {
            nextAsk = now + std::chrono::milliseconds(AskEveryMs);
            abandoned = !watch.stillWanted();
            if (!abandoned && watch.yieldTo && cpuUsed(pid) >= watch.yieldAfter) {
                if (const auto other = watch.yieldTo()) {
                    kill(pid, SIGSTOP);
                    const auto stopped = Clock::now();
                    other();
                    kill(pid, SIGCONT);
                    deadline += Clock::now() - stopped;
                    nextAsk = Clock::now() + std::chrono::milliseconds(AskEveryMs);
                }
            }
        }
        if (pastWallClock || abandoned) {
            kill(pid, SIGKILL);
            break;
        }
    }
    reaper.done = true;
    close(fds[0]);
    return collect(pid, pastWallClock, abandoned, std::move(output), limits);
}

} // namespace board
