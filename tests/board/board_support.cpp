#include "board_support.h"

#include "board/db/connection.h"
#include "board/db/run_store.h"

#include <arpa/inet.h>
#include <cctype>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace board_test {

std::string buildDir() { return VEXLO_BUILD_DIR; }
std::string sourceDir() { return VEXLO_SOURCE_DIR; }

std::string clusterDir() {
    const char* dir = std::getenv("BOARD_TEST_DB");
    if (dir == nullptr)
        throw std::runtime_error("BOARD_TEST_DB is not set: run through ctest, which starts the cluster");
    return dir;
}

std::string clusterUrl(const std::string& database) {
    return "postgresql://board@/" + database + "?host=" + clusterDir();
}

// The cluster's superuser, as scripts/board-db.sh makes it: the user who
// runs it, or postgres as root. The role board may not make databases.
std::string clusterAdminUrl(const std::string& database) {
    const passwd* user = getpwuid(geteuid());
    const std::string name = geteuid() == 0 || user == nullptr ? "postgres" : user->pw_name;
    return "postgresql://" + name + "@/" + database + "?host=" + clusterDir();
}

TestDatabase::TestDatabase() {
    static int counter = 0;
    std::ostringstream name; // (GCC 12 warns wrongly about adding these as strings)
    name << 't' << getpid() << '_' << ++counter;
    name_ = name.str();
    board::db::Connection admin(clusterAdminUrl("postgres"), std::chrono::seconds(60));
    admin.script("CREATE DATABASE " + name_ + " OWNER board");
    url_ = clusterUrl(name_);
}

TestDatabase::~TestDatabase() {
    try {
        board::db::Connection admin(clusterAdminUrl("postgres"), std::chrono::seconds(60));
        admin.script("DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
    } catch (const std::exception&) {
    }
}

std::string TestDatabase::value(const std::string& sql) const {
    board::db::Connection db(url_);
    const board::db::Result r = db.exec({"value", sql.c_str()});
    return r.rows() > 0 && !r.isNull(0, 0) ? r.text(0, 0) : "";
}

std::string boardDrift(const std::string& databaseUrl) {
    board::db::Connection db(databaseUrl, std::chrono::seconds(60));
    std::string drift;
    const board::db::Statement counts{"drift_counts", R"(
WITH fresh AS (SELECT score, count(*) AS runs FROM runs
               WHERE status = 'verified' AND hidden_reason IS NULL GROUP BY score),
bands AS (SELECT score / 1000 AS band, sum(runs) AS runs FROM fresh GROUP BY 1)
SELECT 'score ' || coalesce(f.score, c.score) || ': counted ' || coalesce(c.runs, 0) || ', fresh ' || coalesce(f.runs, 0)
FROM fresh f FULL JOIN score_counts c ON c.score = f.score WHERE coalesce(c.runs, 0) <> coalesce(f.runs, 0)
UNION ALL
SELECT 'band ' || coalesce(f.band, c.band) || ': counted ' || coalesce(c.runs, 0) || ', fresh ' || coalesce(f.runs, 0)
FROM bands f FULL JOIN score_band_counts c ON c.band = f.band WHERE coalesce(c.runs, 0) <> coalesce(f.runs, 0))"};
    const board::db::Result wrong = db.exec(counts);
    for (int row = 0; row < wrong.rows(); ++row)
        drift += wrong.text(row, 0) + "; ";
    const board::db::Result order = db.exec({"drift_order", R"(
SELECT id FROM runs WHERE status = 'verified' AND hidden_reason IS NULL ORDER BY score DESC, id)"});
    const long long total = board::db::boardPage(db, 1, 0).total;
    if (total != order.rows())
        drift += "total " + std::to_string(total) + ", fresh " + std::to_string(order.rows()) + "; ";
    for (int row = 0; row < order.rows(); ++row) {
        const auto rank = board::db::findRun(db, order.integer(row, 0))->rank;
        if (rank != row + 1)
            drift += "run " + order.text(row, 0) + " ranked " + (rank ? std::to_string(*rank) : "nothing") +
                     ", fresh " + std::to_string(row + 1) + "; ";
    }
    return drift;
}

BoardProcess::BoardProcess(const std::vector<std::string>& args, const std::string& databaseUrl,
                           const std::string& folder, const std::vector<std::string>& env) {
    static int counter = 0;
    outputFile_ = "/tmp/board-test-" + std::to_string(getpid()) + "-" + std::to_string(++counter) + ".out";
    const std::string program = buildDir() + "/vexlo-board";
    pid_ = fork();
    if (pid_ == 0) {
        const int out = open(outputFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, STDOUT_FILENO);
        dup2(out, STDERR_FILENO);
        setenv("DATABASE_URL", databaseUrl.c_str(), 1);
        for (const std::string& setting : env)
            putenv(const_cast<char*>(setting.c_str()));
        if (chdir(folder.c_str()) != 0)
            _exit(126);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
}

BoardProcess::~BoardProcess() {
    if (!waited_) {
        kill(pid_, SIGKILL);
        wait();
    }
    unlink(outputFile_.c_str());
}

std::string BoardProcess::output() const {
    std::ifstream in(outputFile_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int BoardProcess::port(std::chrono::seconds limit) {
    int found = 0;
    eventually(
        [&] {
            const std::string text = output();
            const std::size_t at = text.find("serving http://127.0.0.1:");
            if (at != std::string::npos)
                found = std::atoi(text.c_str() + at + 25);
            return found != 0;
        },
        limit);
    return found;
}

void BoardProcess::signal(int sig) { kill(pid_, sig); }

int BoardProcess::wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    waited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Reply exchange(int port, const std::string& raw, std::chrono::milliseconds timeout, bool untilClosed,
               const std::string& from) {
    Reply reply;
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in source{};
    source.sin_family = AF_INET;
    if (inet_pton(AF_INET, from.c_str(), &source.sin_addr) != 1 ||
        bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0) {
        close(fd);
        return reply;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return reply;
    }
    for (std::size_t sent = 0; sent < raw.size();) {
        const ssize_t n = send(fd, raw.data() + sent, raw.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break; // the server may answer and close before taking it all
        sent += static_cast<std::size_t>(n);
    }
    std::string text;
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
            break;
        char buffer[65536];
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
        const std::size_t head = text.find("\r\n\r\n");
        if (head == std::string::npos || untilClosed)
            continue;
        const std::size_t length = text.find("Content-Length: ");
        if (length != std::string::npos && length < head &&
            text.size() >= head + 4 + std::stoul(text.substr(length + 16)))
            break;
    }
    close(fd);
    std::istringstream in(text);
    std::string version, line;
    in >> version >> reply.status;
    std::getline(in, line);
    while (std::getline(in, line) && line != "\r") {
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::string name = line.substr(0, colon);
        for (char& c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        reply.headers[name] = line.substr(colon + 2, line.size() - colon - 3);
    }
    const std::size_t head = text.find("\r\n\r\n");
    if (head != std::string::npos)
        reply.body = text.substr(head + 4);
    return reply;
}

Reply request(int port, const std::string& method, const std::string& target, const std::string& body,
              const std::string& contentType, const std::string& headers, const std::string& from) {
    std::string raw = method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + headers;
    if (!body.empty() || method == "POST")
        raw += "Content-Type: " + contentType + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
    return exchange(port, raw + "\r\n" + body, std::chrono::seconds(20), false, from);
}

int submit(int port, const std::string& name, const std::string& keys, const std::string& from) {
    const Reply reply = request(port, "POST", "/api/runs",
                                "{\"name\": " + jsonString(name) + ", \"keys\": " + jsonString(keys) + "}",
                                "application/json", "", from);
    const auto answer = nlohmann::json::parse(reply.body, nullptr, false);
    return reply.status == 202 && answer.value("status", "") == "queued" ? answer.value("id", 0) : 0;
}

nlohmann::json run(int port, int id) {
    return nlohmann::json::parse(request(port, "GET", "/api/runs/" + std::to_string(id)).body, nullptr, false);
}

nlohmann::json finished(int port, int id, std::chrono::milliseconds limit) {
    nlohmann::json answer;
    eventually(
        [&] {
            answer = run(port, id);
            const std::string status = answer.value("status", "");
            return status == "verified" || status == "rejected";
        },
        limit);
    return answer;
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\', out += c;
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out + "\"";
}

namespace {

// A process's state and parent, from /proc/PID/stat; false when it is gone.
bool readStat(const std::string& pid, char& state, pid_t& parent) {
    std::string text;
    try {
        std::ifstream stat("/proc/" + pid + "/stat");
        text.assign(std::istreambuf_iterator<char>(stat), {});
    } catch (const std::ios_base::failure&) {
        return false; // it ended while it was read (ESRCH)
    }
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos)
        return false;
    std::istringstream rest(text.substr(close + 2));
    return static_cast<bool>(rest >> state >> parent);
}

} // namespace

std::vector<pid_t> childrenOf(pid_t pid) {
    std::vector<pid_t> children;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        char state = 0;
        pid_t parent = 0;
        if (name.find_first_not_of("0123456789") == std::string::npos && readStat(name, state, parent) &&
            parent == pid && state != 'Z')
            children.push_back(static_cast<pid_t>(std::stol(name)));
    }
    return children;
}

int threadsOf(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("Threads:", 0) == 0)
            return std::atoi(line.c_str() + 8);
    return 0;
}

char stateOf(pid_t pid) {
    char state = 0;
    pid_t parent = 0;
    return readStat(std::to_string(pid), state, parent) ? state : '?';
}

} // namespace board_test
