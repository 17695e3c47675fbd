// The server's and the workers' lines for the operator: one a request and
// one a verdict, as "key=value" text or as one JSON object a line
// (--log-format json). They carry what a line needs and nothing a client
// keeps secret: the path without its query, never a body, a key script, a
// player key or a header.
#pragma once

#include <string>

namespace board::ops {

enum class LogFormat { Text, Json };

struct RequestLine {
    std::string method, path, client; // path: the target before '?'
    int status = 0;
    double milliseconds = 0;
    std::size_t bytes = 0; // the body sent
};

struct VerdictLine {
    long long run = 0;
    std::string outcome; // verified or rejected
    std::string reason;  // for a rejected run, the kind of its reason (see verdictKind)
    double milliseconds = 0;
    long updates = 0; // 0 when the game was not played to its end
    int score = 0;
};

// What else befell a run in a worker: put back after a failure on our
// side, stuck, stopped while another is verified, claimed again.
struct RunLine {
    long long run = 0;
    std::string what; // a sentence of the worker's own
};

std::string formatLine(LogFormat format, const RequestLine& line);
std::string formatLine(LogFormat format, const RunLine& line);
std::string formatLine(LogFormat format, const VerdictLine& line);
// The line with its newline to standard output, in one write.
void writeLine(const std::string& line);

// A rejected run's reason as one of a few words, for logs and metrics:
// escape, unfinished, too_long, time_limit, same_game, not_a_key_script,
// memory_limit, name_taken, or other.
std::string verdictKind(const std::string& reason);

} // namespace board::ops
