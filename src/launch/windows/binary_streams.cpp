// Each Windows program's standard streams written as they are given, as
// binmode.o makes every file the program opens (cmake/windows): a line ends
// in "\n" as on Linux, so that the replay tool's output and every message
// are the same bytes on both. Linked into each program (not a library,
// whose linker could leave it out), it runs before main.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace {

void binary(std::FILE* stream, DWORD handle) {
    const HANDLE given = GetStdHandle(handle);
    if (given != nullptr && given != INVALID_HANDLE_VALUE)
        _setmode(_fileno(stream), _O_BINARY);
}

const bool binaryStreams = [] {
    binary(stdin, STD_INPUT_HANDLE);
    binary(stdout, STD_OUTPUT_HANDLE);
    binary(stderr, STD_ERROR_HANDLE);
    return true;
}();

} // namespace
