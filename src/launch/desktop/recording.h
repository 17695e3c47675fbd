// A game's keys written down as it is played, in the key-script form the
// replay tool reads (replay/key_script.h), so that it can be watched in
// the window or replayed frame by frame later. Each key is written and
// flushed as it comes: a game that is killed keeps every key it took.
#pragma once

#include "replay/key_script.h"

#include <cstdio>
#include <memory>
#include <string>

namespace vexlo {

class Recording {
public:
    // Makes the file (or empties it) and writes its header, a recording's
    // two lines and then `moreHeader`; nothing, with `error` set, when it
    // cannot.
    static std::unique_ptr<Recording> create(const std::string& path, std::string& error,
                                             const std::string& moreHeader = {});
    ~Recording();
    Recording(const Recording&) = delete;
    Recording& operator=(const Recording&) = delete;

    // A failure to write is said once on stderr; the game goes on.
    void write(const replay::ScriptedKey& key);
    // A write has failed (and was said).
    bool failed() const { return failed_; }

    // The lines that open every recording.
    static const char* const Intro;

private:
    Recording(std::FILE* file, std::string path) : file_(file), path_(std::move(path)) {}
    bool put(const std::string& text);

    std::FILE* file_;
    std::string path_;
    bool failed_ = false;
};

} // namespace vexlo
