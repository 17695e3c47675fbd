// The built page's folder served as it is (--web DIR). Nothing outside the
// folder is ever read: the path is decoded once, and any part that is
// empty, "." or "..", or holds a NUL or a backslash, is refused before the
// file system is asked; what is found must still lie inside the folder
// once links are followed.
#pragma once

#include "board/api/message.h"

#include <filesystem>
#include <optional>
#include <string>

namespace board::api {

// The file path a request path names inside root, or nullopt.
std::optional<std::filesystem::path> staticPath(const std::filesystem::path& root, const std::string& requestPath);

class StaticFiles {
public:
    explicit StaticFiles(const std::filesystem::path& root);
    // GET or HEAD of a path outside /api/: with an ETag (304 for a request
    // whose If-None-Match names it), and the file's .gz copy, made at build
    // time, to a client that accepts gzip.
    Response serve(const Request& request, const std::string& requestPath) const;

private:
    std::filesystem::path root_;
};

// Whether an Accept-Encoding header takes gzip; If-None-Match names tag.
bool acceptsGzip(const std::string& acceptEncoding);
bool tagListed(const std::string& ifNoneMatch, const std::string& tag);

// Percent-decoding of a URL path or query part; nullopt for a bad escape.
// plusIsSpace for query values.
std::optional<std::string> percentDecode(const std::string& text, bool plusIsSpace);

} // namespace board::api
