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

void toLog() {
    char* folder = SDL_GetPrefPath("", "vexlo-race");
    if (folder == nullptr)
        return; // nowhere to write: the boxes still show what matters
    const std::wstring log = utf16(folder) + L"vexlo-race.log";
    SDL_free(folder);
    std::error_code error;
    const auto size = std::filesystem::file_size(log, error);
    const wchar_t* mode = !error && size > LogLimit ? L"w" : L"a";
    if (!hasHandle(STD_ERROR_HANDLE) && _wfreopen(log.c_str(), mode, stderr) != nullptr) {
        std::setvbuf(stderr, nullptr, _IONBF, 0);
        const std::time_t now = std::time(nullptr);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
        std::fprintf(stderr, "-- vexlo-race %s, started %s\n", VEXLO_VERSION, stamp);
    }
    if (!hasHandle(STD_OUTPUT_HANDLE))
        _wfreopen(log.c_str(), L"a", stdout);
}

void placeMessages() {
    if (hasHandle(STD_ERROR_HANDLE) && hasHandle(STD_OUTPUT_HANDLE))
        return;
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        if (!hasHandle(STD_ERROR_HANDLE))
            _wfreopen(L"CONOUT$", L"w", stderr);
        if (!hasHandle(STD_OUTPUT_HANDLE))
            _wfreopen(L"CONOUT$", L"w", stdout);
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
