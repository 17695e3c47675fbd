// On Windows stderr is no variable to set: its descriptor is pointed at a
// temporary file for as long as the function runs, and then put back.
#include "launch/desktop/stderr_catch.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace vexlo {

bool catchStderr(const std::function<bool()>& run, std::string& caught) {
    wchar_t folder[MAX_PATH + 1];
    wchar_t name[MAX_PATH + 1];
    std::FILE* catcher = nullptr;
    if (GetTempPathW(MAX_PATH + 1, folder) != 0 && GetTempFileNameW(folder, L"vxr", 0, name) != 0)
        catcher = _wfopen(name, L"w+bD"); // D: gone once closed
    const int saved = catcher != nullptr ? _dup(2) : -1;
    std::fflush(stderr);
    if (saved < 0 || _dup2(_fileno(catcher), 2) != 0) {
        if (saved >= 0)
            _close(saved);
        if (catcher != nullptr)
            std::fclose(catcher);
        return run();
    }
    const bool result = run();
    std::fflush(stderr);
    _dup2(saved, 2);
    _close(saved);
    std::rewind(catcher);
    char text[4096];
    for (std::size_t n; (n = std::fread(text, 1, sizeof text, catcher)) > 0;)
        caught.append(text, n);
    std::fclose(catcher);
    return result;
}

} // namespace vexlo
