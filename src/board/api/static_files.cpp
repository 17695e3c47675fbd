#include "board/api/static_files.h"

#include <algorithm>
#include <cctype>
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
                                                             {".webmanifest", "application/manifest+json"},
                                                             {".map", "application/json"},
                                                             {".wasm", "application/wasm"},
                                                             {".png", "image/png"},
                                                             {".svg", "image/svg+xml"},
                                                             {".ico", "image/x-icon"},
                                                             {".jpg", "image/jpeg"},
                                                             {".woff2", "font/woff2"},
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

// A validator of one file's bytes, changed by any new build: its size and
// the time it was written, and whether it is the gzip copy.
std::string entityTag(std::uintmax_t size, fs::file_time_type written, bool gzipped) {
    std::ostringstream tag;
    tag << '"' << std::hex << size << '-' << written.time_since_epoch().count() << (gzipped ? "-gz" : "") << '"';
    return tag.str();
}

// If-None-Match names this tag (weakly compared), or is "*".
bool tagListed(const std::string& ifNoneMatch, const std::string& tag) {
    std::istringstream parts(ifNoneMatch);
    for (std::string part; std::getline(parts, part, ',');) {
        const std::size_t first = part.find_first_not_of(" \t"), last = part.find_last_not_of(" \t");
        if (first == std::string::npos)
            continue;
        std::string candidate = part.substr(first, last - first + 1);
        if (candidate == "*")
            return true;
        if (candidate.rfind("W/", 0) == 0)
            candidate.erase(0, 2);
        if (candidate == tag)
            return true;
    }
    return false;
}

bool acceptsGzip(const std::string& acceptEncoding) {
    bool gzip = false, star = false, gzipNamed = false;
    std::istringstream parts(acceptEncoding);
    for (std::string part; std::getline(parts, part, ',');) {
        std::string coding, lower;
        for (char c : part)
            lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        lower.erase(std::remove_if(lower.begin(), lower.end(), [](char c) { return c == ' ' || c == '\t'; }),
                    lower.end());
        const std::size_t semicolon = lower.find(';');
        coding = lower.substr(0, semicolon);
        // q=0 (or 0.0, 0.00, ...) refuses the coding.
        bool refused = false;
        if (semicolon != std::string::npos) {
            const std::string q = lower.substr(semicolon + 1);
            refused = q.rfind("q=0", 0) == 0 && q.find_first_not_of("0.", 2) == std::string::npos;
        }
        if (coding == "gzip" || coding == "x-gzip")
            gzipNamed = true, gzip = gzip || !refused;
        else if (coding == "*")
            star = !refused;
    }
    return gzip || (star && !gzipNamed);
}

StaticFiles::StaticFiles(const fs::path& root) : root_(root) {}

Response StaticFiles::serve(const Request& request, const std::string& requestPath) const {
    const auto file = staticPath(root_, requestPath);
    std::error_code error;
    if (!file || fs::file_size(*file, error) > MaxFileBytes || error)
        return errorResponse(404, "no such file");
    Response response;
    response.contentType = contentTypeOf(*file);
    response.headOnly = request.method == "HEAD";
    response.headers.emplace_back("Cache-Control", "no-cache");
    response.headers.emplace_back("Vary", "Accept-Encoding");
    // The copy gzip made at build time, if it is there and not older.
    fs::path chosen = *file;
    bool gzipped = false;
    if (acceptsGzip(request.acceptEncoding)) {
        fs::path copy = *file;
        copy += ".gz";
        std::error_code e1, e2;
        if (fs::is_regular_file(copy, e1) && fs::last_write_time(copy, e1) >= fs::last_write_time(*file, e2) &&
            !e1 && !e2)
            chosen = copy, gzipped = true;
    }
    const std::uintmax_t size = fs::file_size(chosen, error);
    const auto written = fs::last_write_time(chosen, error);
    if (error)
        return errorResponse(404, "no such file");
    const std::string tag = entityTag(size, written, gzipped);
    response.headers.emplace_back("ETag", tag);
    if (gzipped)
        response.headers.emplace_back("Content-Encoding", "gzip");
    if (!request.ifNoneMatch.empty() && tagListed(request.ifNoneMatch, tag)) {
        response.status = 304;
        response.contentType.clear();
        return response;
    }
    std::ifstream in(chosen, std::ios::binary);
    if (!in)
        return errorResponse(404, "no such file");
    response.body.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return response;
}

} // namespace board::api
