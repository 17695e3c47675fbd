// What the Windows program does before main: it is a window program with
// no console of its own, so its messages need a place, and it starts in its
// own folder, where data/ is, as the Linux launcher does.
//
// Messages (stderr, and stdout for --help and the like) go where the program
// was started from when that gave it somewhere to write: a file or pipe, or
// the console of a command prompt. Started from the desktop, they go to
// vexlo-race.log in the settings folder, %APPDATA%\vexlo-race\, besides the
// boxes the game shows. The log starts anew once it has grown past 256 KiB.
#include "launch/windows/utf16.h"

#include <SDL.h>
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace {

using vexlo::windows::utf16;
using vexlo::windows::utf8;

constexpr std::uintmax_t LogLimit = 256 * 1024;

bool hasHandle(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

// Points the C runtime's descriptor `target` (1 or 2) and its stream at
// what fd has open. The runtime leaves a stream it found no handle for
// unconnected (descriptor -2), and freopen will not take such a stream, so
// the stream is connected to its descriptor here.
void connect(int fd, int target, std::FILE* stream) {
    if (_dup2(fd, target) != 0)
        return;
    if (_fileno(stream) < 0) {
        stream->_file = target;
        stream->_flag = _IOWRT;
    }
    if (target == 2)
        std::setvbuf(stream, nullptr, _IONBF, 0);
}

void connectMissing(int fd) {
    if (!hasHandle(STD_ERROR_HANDLE))
        connect(fd, 2, stderr);
    if (!hasHandle(STD_OUTPUT_HANDLE))
        connect(fd, 1, stdout);
}

void toLog() {
    char* folder = SDL_GetPrefPath("", "vexlo-race");
    if (folder == nullptr)
        return; // nowhere to write: the boxes still show what matters
    const std::wstring log = utf16(folder) + L"vexlo-race.log";
    SDL_free(folder);
    std::error_code error;
    const auto size = std::filesystem::file_size(log, error);
    const int anew = !error && size > LogLimit ? _O_TRUNC : 0;
    const int fd = _wopen(log.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY | _O_NOINHERIT | anew,
                          _S_IREAD | _S_IWRITE);
    if (fd < 0)
        return;
    connectMissing(fd);
    _close(fd);
    const std::time_t now = std::time(nullptr);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
    std::fprintf(stderr, "-- vexlo-race %s, started %s\n", VEXLO_VERSION, stamp);
}

void placeMessages() {
    if (hasHandle(STD_ERROR_HANDLE) && hasHandle(STD_OUTPUT_HANDLE))
        return;
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        const int fd = _wopen(L"CONOUT$", _O_WRONLY | _O_BINARY | _O_NOINHERIT);
        if (fd >= 0) {
            connectMissing(fd);
            _close(fd);
        }
        return;
    }
    toLog();
}

// The program's own folder becomes the working folder; where it was
// started from is passed on in VEXLO_CALLER_DIR, against which files named
// on the command line are read and written.
void startInOwnFolder() {
    std::wstring program(MAX_PATH, L'\0');
    DWORD length = 0;
    while ((length = GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size()))) ==
           program.size())
        program.resize(program.size() * 2);
    if (length == 0)
        return;
    program.resize(length);
    const std::filesystem::path own = std::filesystem::path(program).parent_path();
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    if (error || std::filesystem::equivalent(current, own, error))
        return;
    if (SetCurrentDirectoryW(own.c_str()))
        _putenv_s("VEXLO_CALLER_DIR", utf8(current.wstring()).c_str());
}

struct WindowsStart {
    WindowsStart() {
        startInOwnFolder();
        placeMessages();
    }
} windowsStart;

} // namespace
