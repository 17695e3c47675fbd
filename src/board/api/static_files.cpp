#include "board/api/static_files.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

namespace board::api {

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t MaxFileBytes = 64u * 1024 * 1024;

std::string contentTypeOf(const fs::path& file) {
    static const std::map<std::string, std::string> types = {{".html", "text/html; charset=utf-8"},
                                                             {".js", "text/javascript; charset=utf-8"},
                                                             {".mjs", "text/javascript; charset=utf-8"},
                                                             {".css", "text/css; charset=utf-8"},
                                                             {".json", "application/json"},
                                                             {".wasm", "application/wasm"},
                                                             {".png", "image/png"},
                                                             {".svg", "image/svg+xml"},
                                                             {".ico", "image/x-icon"},
                                                             {".txt", "text/plain; charset=utf-8"},
                                                             {".mp3", "audio/mpeg"},
                                                             {".wav", "audio/wav"},
                                                             {".xm", "audio/xm"}};
    const auto found = types.find(file.extension().string());
    return found != types.end() ? found->second : "application/octet-stream";
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::optional<std::string> percentDecode(const std::string& text, bool plusIsSpace) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%') {
            if (i + 2 >= text.size())
                return std::nullopt;
            const int high = hexValue(text[i + 1]), low = hexValue(text[i + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += plusIsSpace && text[i] == '+' ? ' ' : text[i];
        }
    }
    return out;
}

std::optional<fs::path> staticPath(const fs::path& root, const std::string& requestPath) {
    const auto decoded = percentDecode(requestPath, false);
    if (!decoded || decoded->empty() || decoded->front() != '/')
        return std::nullopt;
    fs::path relative;
    std::istringstream parts(decoded->substr(1));
    for (std::string part; std::getline(parts, part, '/');) {
        if (part.empty() || part == "." || part == ".." || part.find('\0') != std::string::npos ||
            part.find('\\') != std::string::npos)
            return std::nullopt;
        relative /= part;
    }
    if (decoded->back() == '/' && decoded->size() > 1)
        return std::nullopt;
    if (relative.empty())
        relative = "index.html";
    std::error_code error;
    const fs::path base = fs::canonical(root, error);
    if (error)
        return std::nullopt;
    const fs::path file = fs::canonical(base / relative, error);
    if (error || !fs::is_regular_file(file, error))
        return std::nullopt;
    // Inside the folder once every link is followed.
    const auto [end, at] = std::mismatch(base.begin(), base.end(), file.begin(), file.end());
    if (end != base.end())
        return std::nullopt;
    return file;
}

StaticFiles::StaticFiles(const fs::path& root) : root_(root) {}

Response StaticFiles::serve(const std::string& requestPath, bool headOnly) const {
    const auto file = staticPath(root_, requestPath);
    std::error_code error;
    if (!file || fs::file_size(*file, error) > MaxFileBytes || error)
        return errorResponse(404, "no such file");
    std::ifstream in(*file, std::ios::binary);
    if (!in)
        return errorResponse(404, "no such file");
    Response response;
    response.contentType = contentTypeOf(*file);
    response.body.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    response.headOnly = headOnly;
    response.headers.emplace_back("Cache-Control", "no-cache");
    return response;
}

} // namespace board::api
