// Small files of our own on Windows, with the care plain_file.h asks for:
// a folder, a link (a reparse point) or a device at the name is told
// apart, and a file is written whole into a temporary file beside it and
// moved over it, through to the disk.
#include "launch/desktop/plain_file.h"

#include "launch/desktop/utf8_path.h"
#include "launch/windows/utf16.h"

#include <windows.h>

#include <cerrno>
#include <vector>

namespace vexlo {

namespace {

using windows::errorText;

class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { close(); }
    void reset(HANDLE handle) {
        close();
        handle_ = handle;
    }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }
    // False when closing reports a failure (a write that never reached the disk).
    bool close() {
        const bool closed = !valid() || CloseHandle(handle_) != 0;
        handle_ = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE handle_;
};

bool missingError(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// Reads what the file holds, up to one byte past the limit.
std::string readUpTo(HANDLE file, std::size_t limit, DWORD& error) {
    std::string text;
    std::vector<char> buffer(64 * 1024);
    DWORD got = 0;
    error = 0;
    while (text.size() <= limit) {
        const auto wanted = static_cast<DWORD>(std::min(buffer.size(), limit + 1 - text.size()));
        if (!ReadFile(file, buffer.data(), wanted, &got, nullptr)) {
            error = GetLastError();
            break;
        }
        if (got == 0)
            break;
        text.append(buffer.data(), got);
    }
    return text;
}

bool writeAll(HANDLE file, std::string_view text) {
    while (!text.empty()) {
        DWORD wrote = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1 << 20));
        if (!WriteFile(file, text.data(), chunk, &wrote, nullptr) || wrote == 0)
            return false;
        text.remove_prefix(wrote);
    }
    return true;
}

} // namespace

SmallFile readSmallFile(const std::filesystem::path& file, std::size_t limit, bool followLink) {
    SmallFile result;
    // Backup semantics open a folder too, so that it can be named as one.
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    Handle handle(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, flags, nullptr));
    if (!handle.valid()) {
        const DWORD error = GetLastError();
        if (missingError(error))
            result.missing = true;
        else
            result.problem = "cannot be read: " + errorText(error);
        return result;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const std::string tooLarge = "is larger than " + std::to_string(limit) + " bytes";
    if (!GetFileInformationByHandle(handle.get(), &info)) {
        result.problem = "cannot be read: " + errorText(GetLastError());
    } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        result.problem = "is a folder";
    } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        result.problem = "is a link";
    } else if (GetFileType(handle.get()) != FILE_TYPE_DISK) {
        result.problem = "is not a plain file";
    } else if ((std::uint64_t(info.nFileSizeHigh) << 32 | info.nFileSizeLow) > limit) {
        result.problem = tooLarge;
    } else {
        DWORD error = 0;
        result.text = readUpTo(handle.get(), limit, error);
        if (error != 0)
            result.problem = "cannot be read: " + errorText(error);
        else if (result.text.size() > limit)
            result.problem = tooLarge;
    }
    if (!result.problem.empty())
        result.text.clear();
    return result;
}

namespace {

// Written whole into a temporary file beside it, flushed, then moved over
// the file, or, when !replace, to its name only if nothing is there
// (`exists` set otherwise).
std::string writeThroughTemporary(const std::filesystem::path& file, std::string_view text, bool replace,
                                  bool& exists) {
    const std::filesystem::path folder = file.parent_path();
    // A dot first: a temporary is nobody's file, and listings pass it by.
    std::filesystem::path temporary;
    Handle handle(INVALID_HANDLE_VALUE);
    DWORD error = ERROR_FILE_EXISTS;
    for (unsigned tries = 0; !handle.valid() && error == ERROR_FILE_EXISTS && tries < 100; ++tries) {
        const unsigned tag = (GetCurrentProcessId() * 7919u + GetTickCount() + tries * 104729u) % 1000000u;
        temporary = folder / (L"." + file.filename().wstring() + L"." + std::to_wstring(tag));
        handle.reset(
            CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        error = handle.valid() ? 0 : GetLastError();
    }
    if (!handle.valid())
        return "cannot write in " + textOf(folder) + ": " + errorText(error);
    if (!writeAll(handle.get(), text) || !FlushFileBuffers(handle.get()))
        error = GetLastError();
    if (!handle.close() && error == 0)
        error = GetLastError();
    const DWORD move = (replace ? MOVEFILE_REPLACE_EXISTING : 0) | MOVEFILE_WRITE_THROUGH;
    if (error == 0 && !MoveFileExW(temporary.c_str(), file.c_str(), move))
        error = GetLastError();
    if (error == 0)
        return {};
    DeleteFileW(temporary.c_str());
    exists = error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
    return "cannot write " + textOf(file) + ": " + errorText(error);
}

} // namespace

std::string writeWholeFile(const std::filesystem::path& file, std::string_view text) {
    bool exists = false;
    return writeThroughTemporary(file, text, true, exists);
}

bool writeNewFile(const std::filesystem::path& file, std::string_view text, bool& exists, std::string& problem) {
    exists = false;
    problem = writeThroughTemporary(file, text, false, exists);
    return problem.empty();
}

bool createNewFile(const std::filesystem::path& file, bool& exists, std::string& problem) {
    Handle handle(
        CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    const DWORD error = handle.valid() ? 0 : GetLastError();
    exists = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
    if (!handle.valid() && !exists)
        problem = "cannot create " + textOf(file) + ": " + errorText(error);
    return handle.valid();
}

// N: not inherited by programs started meanwhile.
std::FILE* openForWriting(const std::string& file) { return _wfopen(windows::utf16(file).c_str(), L"wbN"); }

} // namespace vexlo
