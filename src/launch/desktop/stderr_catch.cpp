#include "launch/desktop/stderr_catch.h"

#include <cstdio>
#include <cstdlib>

namespace vexlo {

// In glibc stderr is a variable a program may set, so the line is caught
// without touching the one who writes it.
bool catchStderr(const std::function<bool()>& run, std::string& caught) {
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* catcher = open_memstream(&text, &size);
    if (catcher == nullptr)
        return run();
    std::FILE* saved = stderr;
    stderr = catcher;
    const bool result = run();
    stderr = saved;
    std::fclose(catcher);
    caught.assign(text, size);
    std::free(text);
    return result;
}

} // namespace vexlo
