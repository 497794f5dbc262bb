#include "web/static_files.h"

#include <map>

#include "core/paths.h"
#include "core/utf8_path.h"
#include "model/file_name.h"
#include "web/auth_handlers.h"

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

Reply sendFile(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) return notFound();
    return fileReply(file, contentTypeFor(utf8Of(file.filename())));
}

Reply serve_static(RequestContext& context) {
    const auto found = context.params.find("path");
    const std::string path = found == context.params.end() ? "" : found->second;
    const std::filesystem::path webFolder = getHtmlDir();
    if (path.find('.') != std::string::npos) {
        const auto file = fileBelow(webFolder, path);
        return file ? sendFile(*file) : notFound();
    }
    const bool loginRequired = isLoginRequired(context.session);
    if (loginRequired && path != "login") return redirect("/login");
    if (!loginRequired && path == "login") return redirect("/");
    return sendFile(webFolder / "index.html");
}

}  // namespace quorvane::web
