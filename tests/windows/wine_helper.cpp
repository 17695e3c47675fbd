// A test's hands and eyes inside Wine, for what only a Windows program can
// do there:
//   wine_helper.exe text TITLE
//       prints the texts a top-level window of that title shows, its title
//       and then every control's text, one a line (in UTF-8); status 1 when
//       there is none
//   wine_helper.exe hold
//       keeps Wine's desktop open until it is ended: the desktop's process
//       starts with the first program that looks for a window and ends
//       soon after the last one has gone, so that without a holder each
//       game would start one of its own (and leave it behind); says
//       "holding" once the desktop is up
//   wine_helper.exe start PROGRAM [ARG...]
//       starts the program as the desktop does, with no standard handles
//       and no console, waits for it and ends with its status (127 when it
//       cannot be started)
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string utf8(const wchar_t* text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(length > 0 ? length - 1 : 0), '\0');
    if (length > 1)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), length, nullptr, nullptr);
    return out;
}

std::wstring utf16(const char* text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(length > 0 ? length - 1 : 0), L'\0');
    if (length > 1)
        MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), length);
    return out;
}

void printText(HWND window) {
    wchar_t text[4096];
    if (GetWindowTextW(window, text, 4096) > 0)
        std::printf("%s\n", utf8(text).c_str());
}

BOOL CALLBACK eachChild(HWND child, LPARAM) {
    printText(child);
    return TRUE;
}

int text(const char* title) {
    const HWND window = FindWindowW(nullptr, utf16(title).c_str());
    if (window == nullptr)
        return 1;
    printText(window);
    EnumChildWindows(window, eachChild, 0);
    return 0;
}

int start(int argc, char** argv) {
    std::wstring line;
    for (int i = 0; i < argc; ++i)
        line += (i > 0 ? L" \"" : L"\"") + utf16(argv[i]) + L"\"";
    // The desktop has no console for the program to find, either.
    FreeConsole();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES; // all three none
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 127;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 127;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(status);
}

} // namespace

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "";
    if (what == "text" && argc == 3)
        return text(argv[2]);
    if (what == "hold" && argc == 2) {
        GetDesktopWindow(); // returns once the desktop is up
        std::printf("holding\n");
        std::fflush(stdout);
        Sleep(INFINITE);
    }
    if (what == "start" && argc >= 3)
        return start(argc - 2, argv + 2);
    std::fprintf(stderr,
                 "usage: wine_helper text TITLE | wine_helper hold | wine_helper start PROGRAM [ARG...]\n");
    return 2;
}
