// What the score server's tests share: a database of their own in the
// test cluster, vexlo-board run as a process, and a plain HTTP client.
#pragma once

#include <chrono>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <sys/types.h>
#include <vector>

namespace board_test {

// A fresh database in the cluster the test fixture started
// (BOARD_TEST_DB names its folder), dropped at the end.
class TestDatabase {
public:
    TestDatabase();
    ~TestDatabase();
    const std::string& url() const { return url_; }
    // One value of a query, as text ("" for none).
    std::string value(const std::string& sql) const;

private:
    std::string name_, url_;
};

std::string clusterDir();
std::string clusterUrl(const std::string& database);
std::string clusterAdminUrl(const std::string& database);

// What differs between the board as the database keeps it and a fresh
// count of the runs on it (verified, not hidden): each count by score and
// by band, the total, and every run's rank as GET /api/runs/N gives it.
// Empty when all agree.
std::string boardDrift(const std::string& databaseUrl);

// vexlo-board with arguments and DATABASE_URL (and env, NAME=VALUE each),
// its stdout in a file.
class BoardProcess {
public:
    BoardProcess(const std::vector<std::string>& args, const std::string& databaseUrl,
                 const std::string& folder = ".", const std::vector<std::string>& env = {});
    ~BoardProcess();
    // For serve: the port it printed it serves on.
    int port(std::chrono::seconds wait = std::chrono::seconds(20));
    void signal(int sig);
    // The exit status, or -1 after a signal.
    int wait();
    pid_t pid() const { return pid_; }
    std::string output() const;

private:
    pid_t pid_ = -1;
    std::string outputFile_;
    bool waited_ = false;
};

struct Reply {
    int status = 0;                             // 0: no answer
    std::map<std::string, std::string> headers; // names in lower case
    std::string body;
};

// Sends raw bytes to 127.0.0.1:port (from the loopback address `from`) and
// reads the answer until the server closes or (unless untilClosed) one whole
// response has come.
Reply exchange(int port, const std::string& raw, std::chrono::milliseconds timeout = std::chrono::seconds(20),
               bool untilClosed = false, const std::string& from = "127.0.0.1");
// headers: more header lines, each ending in \r\n; from: the address sent from.
Reply request(int port, const std::string& method, const std::string& target, const std::string& body = "",
              const std::string& contentType = "application/json", const std::string& headers = "",
              const std::string& from = "127.0.0.1");

// POST /api/runs; the new run's id, 0 unless it is accepted (202).
int submit(int port, const std::string& name, const std::string& keys, const std::string& from = "127.0.0.1");
// GET /api/runs/N, parsed.
nlohmann::json run(int port, int id);
// Waits until the run is verified or rejected (a sanitized worker on a
// busy machine may take a while); its last answer.
nlohmann::json finished(int port, int id, std::chrono::milliseconds limit = std::chrono::seconds(120));
// The processes whose parent is pid (zombies aside).
std::vector<pid_t> childrenOf(pid_t pid);
// How many threads a process has now (0 when it is gone).
int threadsOf(pid_t pid);
// A process's state as /proc shows it: 'R' running, 'S' sleeping, 'T' stopped, ...
char stateOf(pid_t pid);

// Waits for pred, checking every 20 ms, up to limit; pred's last answer.
template <typename F>
bool eventually(F pred, std::chrono::milliseconds limit = std::chrono::seconds(30));

// A JSON string literal for text.
std::string jsonString(const std::string& text);

// The build folder (where vexlo-board and replay are) and the source tree.
std::string buildDir();
std::string sourceDir();

} // namespace board_test

#include <thread>

template <typename F>
bool board_test::eventually(F pred, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end)
            return pred();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}
