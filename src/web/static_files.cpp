#include "web/static_files.h"

#include <cstdio>
#include <cstdlib>
#include <map>

#include "core/paths.h"
#include "core/utf8_path.h"
#include "model/file_name.h"
#include "model/text.h"
#include "web/login_gate.h"

namespace quorvane::web {

std::optional<std::filesystem::path> fileBelow(const std::filesystem::path& folder, const std::string& path) {
    if (path.empty() || path.find_first_of(std::string("\\:\0", 3)) != std::string::npos) return std::nullopt;
    std::filesystem::path file = folder;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t slash = std::min(path.find('/', start), path.size());
        const std::string segment = path.substr(start, slash - start);
        if (segment.empty() || segment == "." || segment == "..") return std::nullopt;
        file /= segment;
        start = slash + 1;
    }
    return file;
}

std::string contentTypeFor(const std::string& filename) {
    static const std::map<std::string, std::string> types = {
        {"html", "text/html; charset=utf-8"},
        {"htm", "text/html; charset=utf-8"},
        {"js", "text/javascript; charset=utf-8"},
        {"mjs", "text/javascript; charset=utf-8"},
        {"css", "text/css; charset=utf-8"},
        {"txt", "text/plain; charset=utf-8"},
        {"json", "application/json"},
        {"map", "application/json"},
        {"webmanifest", "application/manifest+json"},
        {"xml", "application/xml"},
        {"svg", "image/svg+xml"},
        {"png", "image/png"},
        {"jpg", "image/jpeg"},
        {"jpeg", "image/jpeg"},
        {"gif", "image/gif"},
        {"webp", "image/webp"},
        {"ico", "image/vnd.microsoft.icon"},
        {"woff", "font/woff"},
        {"woff2", "font/woff2"},
        {"ttf", "font/ttf"},
        {"otf", "font/otf"},
        {"wasm", "application/wasm"},
        {"pdf", "application/pdf"},
        {"mp3", "audio/mpeg"},
        {"wav", "audio/wav"},
        {"ogg", "audio/ogg"},
        {"mp4", "video/mp4"},
        {"webm", "video/webm"},
    };
    const auto found = types.find(getFileNameAndExtension(filename).second);
    return found == types.end() ? "application/octet-stream" : found->second;
}

namespace {

// Whether the browser takes gzip: "gzip" among the codings of Accept-Encoding, unless its weight is 0.
bool acceptsGzip(const http::Headers& headers) {
    for (const std::string& field : headers.all("Accept-Encoding"))
        for (const std::string_view item : splitAt(field, ',')) {
            const auto parameters = splitAt(item, ';');
            if (toLower(trimmed(parameters[0])) != "gzip") continue;
            bool refused = false;
            for (size_t i = 1; i < parameters.size(); ++i) {
                const std::string parameter = toLower(trimmed(parameters[i]));
                if (parameter.rfind("q=", 0) == 0 && std::strtod(parameter.c_str() + 2, nullptr) <= 0) refused = true;
            }
            if (!refused) return true;
        }
    return false;
}

// Whether If-None-Match names the tag (or is "*"); weak tags compare as their strong selves.
bool tagMatches(const http::Headers& headers, const std::string& tag) {
    for (const std::string& field : headers.all("If-None-Match"))
        for (const std::string_view item : splitAt(field, ',')) {
            std::string_view candidate = trimmed(item);
            if (candidate == "*") return true;
            if (candidate.rfind("W/", 0) == 0) candidate.remove_prefix(2);
            if (candidate == tag) return true;
        }
    return false;
}

std::string hex(uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
    return text;
}

}  // namespace

Reply sendFile(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) return notFound();
    return fileReply(file, contentTypeFor(utf8Of(file.filename())));
}

Reply sendAppFile(const std::filesystem::path& file, const http::Headers& headers) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) return notFound();
    const auto modified = std::filesystem::last_write_time(file, error);
    const auto size = std::filesystem::file_size(file, error);
    if (error) return notFound();
    // The copy counts only while it is not older than the file: an edited file is sent as it is.
    std::filesystem::path sent = file;
    std::filesystem::path compressed = file;
    compressed += ".gz";
    std::error_code missing;
    const auto compressedModified = std::filesystem::last_write_time(compressed, missing);
    const bool gzip = !missing && compressedModified >= modified && acceptsGzip(headers);
    if (gzip) sent = compressed;
    const std::string tag = "\"" + hex(size) + "-" + hex(static_cast<uint64_t>(modified.time_since_epoch().count())) + (gzip ? "-gz" : "") + "\"";

    Reply reply = tagMatches(headers, tag) ? plainText(304, "") : fileReply(sent, contentTypeFor(utf8Of(file.filename())));
    if (reply.status == 304) reply.contentType.clear();
    // The app changes only with an update: kept by the browser, asked for again each time, 304 when unchanged.
    reply.headers.emplace_back("Cache-Control", "no-cache");
    reply.headers.emplace_back("ETag", tag);
    reply.headers.emplace_back("Vary", "Accept-Encoding");
    if (gzip) reply.headers.emplace_back("Content-Encoding", "gzip");
    return reply;
}

Reply serve_static(RequestContext& context) {
    const auto found = context.params.find("path");
    const std::string path = found == context.params.end() ? "" : found->second;
    const std::filesystem::path webFolder = getHtmlDir();
    if (path.find('.') != std::string::npos) {
        const auto file = fileBelow(webFolder, path);
        return file ? sendAppFile(*file, context.request.headers) : notFound();
    }
    const bool loginRequired = isLoginRequired(context.session);
    if (loginRequired && path != "login") return redirect("/login");
    if (!loginRequired && path == "login") return redirect("/");
    return sendAppFile(webFolder / "index.html", context.request.headers);
}

}  // namespace quorvane::web
