#pragma once
// The browser application's files, from the web folder, and the single-page fallback to index.html.
#include <filesystem>
#include <optional>
#include <string>

#include "web/request_context.h"

namespace quorvane::web {

// GET "/" and "/<path:path>", no login gate.
Reply serve_static(RequestContext& context);

// The file below the folder that a request path (decoded, without its leading "/") names; absent when the
// path would leave the folder (dot segments, empty segments, backslashes, NUL, drive colons).
std::optional<std::filesystem::path> fileBelow(const std::filesystem::path& folder, const std::string& path);

// The content type implied by a file name's extension; application/octet-stream when unknown.
std::string contentTypeFor(const std::string& filename);

// The file as a file reply; 404 when it is missing or not a regular file.
Reply sendFile(const std::filesystem::path& file);
// A file of the browser app: revalidated by its ETag (304 when the browser has it), and its gzip copy
// beside it (file.gz, made at build time) for a browser that accepts gzip, while the copy is not older.
Reply sendAppFile(const std::filesystem::path& file, const http::Headers& headers);

}  // namespace quorvane::web
