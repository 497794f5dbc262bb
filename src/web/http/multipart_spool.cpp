#include "web/http/multipart_spool.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "web/http/http_error.h"

namespace quorvane::web::http {
namespace {

[[noreturn]] void spoolFailure(const std::string& what, const std::filesystem::path& path) {
    throw HttpError(500, what + " " + path.string() + ": " + std::strerror(errno));
}

}  // namespace

void MultipartSpool::partBegin(Part part) {
    if (part.hasFilename) {
        std::string pattern = (_plan.spoolFolder / ".upload-XXXXXX").string();
        const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0) spoolFailure("cannot create an upload file in", _plan.spoolFolder);
        _file = FileDescriptor(fd);
        part.file = std::make_shared<UploadedFile>(pattern);
        _observer = _plan.observeFilePart ? _plan.observeFilePart(part) : nullptr;
    }
    _parts.push_back(std::move(part));
}

void MultipartSpool::partData(std::string_view bytes) {
    Part& part = _parts.back();
    if (!part.file) {
        if (part.value.size() + bytes.size() > _maxFieldBytes) throw HttpError(413, "a form field is too large");
        part.value.append(bytes);
        return;
    }
    for (std::string_view rest = bytes; !rest.empty();) {
        const ssize_t written = ::write(_file.get(), rest.data(), rest.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) spoolFailure("cannot write", part.file->temporaryPath);
        rest.remove_prefix(static_cast<size_t>(written));
    }
    part.file->size += bytes.size();
    if (_observer) _observer(bytes);
}

void MultipartSpool::partEnd() {
    _file.reset();
    _observer = nullptr;
}

}  // namespace quorvane::web::http
