#include "board/ops/log.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace board::ops {

namespace {

// Paths are cut here: a line stays one line of a sensible length.
constexpr std::size_t MaxPath = 256;

// UTC, to the millisecond.
std::string now() {
    const auto time = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count() % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    std::array<char, 40> text{};
    const std::size_t n = std::strftime(text.data(), text.size(), "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text.data() + n, text.size() - n, ".%03dZ", static_cast<int>(millis));
    return text.data();
}

std::string milliseconds(double ms) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.2f", ms);
    return text.data();
}

// What a client sent, safe in either format: printable ASCII stays (less
// the quote and backslash, for JSON), anything else becomes %XX, as in a URL.
std::string clean(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size() && out.size() < MaxPath; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c > 0x20 && c < 0x7f && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            std::array<char, 4> hex{};
            std::snprintf(hex.data(), hex.size(), "%%%02X", c);
            out += hex.data();
        }
    }
    return out;
}

// The worker's own words, one line, quotes and backslashes escaped for JSON.
std::string sentence(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    }
    return out;
}

} // namespace

std::string formatLine(LogFormat format, const RunLine& line) {
    if (format == LogFormat::Json)
        return R"({"time":")" + now() + R"(","event":"note","run":)" + std::to_string(line.run) + R"(,"what":")" +
               sentence(line.what) + "\"}";
    return now() + " note run=" + std::to_string(line.run) + " " + sentence(line.what);
}

std::string formatLine(LogFormat format, const RequestLine& line) {
    const std::string method = clean(line.method), path = clean(line.path), client = clean(line.client);
    if (format == LogFormat::Json)
        return R"({"time":")" + now() + R"(","event":"request","method":")" + method + R"(","path":")" + path +
               R"(","status":)" + std::to_string(line.status) + R"(,"ms":)" + milliseconds(line.milliseconds) +
               R"(,"bytes":)" + std::to_string(line.bytes) + R"(,"client":")" + client + "\"}";
    return now() + " request method=" + method + " path=" + path + " status=" + std::to_string(line.status) +
           " ms=" + milliseconds(line.milliseconds) + " bytes=" + std::to_string(line.bytes) + " client=" + client;
}

std::string formatLine(LogFormat format, const VerdictLine& line) {
    const std::string outcome = clean(line.outcome), reason = clean(line.reason);
    if (format == LogFormat::Json)
        return R"({"time":")" + now() + R"(","event":"verdict","run":)" + std::to_string(line.run) +
               R"(,"outcome":")" + outcome + (reason.empty() ? "" : R"(","reason":")" + reason) + R"(","ms":)" +
               milliseconds(line.milliseconds) + R"(,"updates":)" + std::to_string(line.updates) +
               (line.outcome == "verified" ? R"(,"score":)" + std::to_string(line.score) : "") + "}";
    return now() + " verdict run=" + std::to_string(line.run) + " outcome=" + outcome +
           (reason.empty() ? "" : " reason=" + reason) + " ms=" + milliseconds(line.milliseconds) +
           " updates=" + std::to_string(line.updates) +
           (line.outcome == "verified" ? " score=" + std::to_string(line.score) : "");
}

void writeLine(const std::string& line) {
    const std::string whole = line + "\n";
    for (std::size_t done = 0; done < whole.size();) {
        const ssize_t n = ::write(STDOUT_FILENO, whole.data() + done, whole.size() - done);
        if (n <= 0)
            return; // a closed or full log must not stop the board
        done += static_cast<std::size_t>(n);
    }
}

std::string verdictKind(const std::string& reason) {
    static const std::array<std::pair<const char*, const char*>, 8> kinds = {{
        {"Escape ended the game", "escape"},
        {"the key script ended", "unfinished"},
        {"the game passed", "too_long"},
        {"the game took longer than the time limit", "time_limit"},
        {"the same game as", "same_game"},
        {"not a key script", "not_a_key_script"},
        {"the game needed more than the memory limit", "memory_limit"},
        {"this name belongs to another player", "name_taken"},
    }};
    for (const auto& [start, kind] : kinds)
        if (reason.rfind(start, 0) == 0)
            return kind;
    return "other";
}

} // namespace board::ops
