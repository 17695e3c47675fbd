// How far the game has got, for tests and measurements that follow it from
// outside: with VEXLO_PROGRESS_FILE set, the window keeps one line in that
// file, "UPDATES SHOWN" (how many updates the game has made and how many of
// their frames reached the screen), written over at every update.
#pragma once

namespace ptc::window {

class ProgressFile {
public:
    ProgressFile();
    ~ProgressFile();
    ProgressFile(const ProgressFile&) = delete;
    ProgressFile& operator=(const ProgressFile&) = delete;

    void note(long updates, long shown);

private:
    int fd_ = -1;
};

} // namespace ptc::window
