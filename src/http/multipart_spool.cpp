#include "http/multipart_spool.h"

#include <cerrno>
#include <cstring>

#include "core/file_io.h"
#include "core/utf8_path.h"
#include "http/http_error.h"

namespace quorvane::http {
namespace {

[[noreturn]] void spoolFailure(const std::string& what, const std::filesystem::path& path) {
    throw HttpError(500, what + " " + utf8Of(path) + ": " + std::strerror(errno));
}

}  // namespace

void MultipartSpool::partBegin(Part part) {
    if (part.hasFilename) {
        std::filesystem::path pattern = _plan.spoolFolder / ".upload-XXXXXX";
        const int fd = createUniqueFile(pattern);
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
    if (!writeAll(_file.get(), bytes)) spoolFailure("cannot write", part.file->temporaryPath);
    part.file->size += bytes.size();
    if (_observer) _observer(bytes);
}

void MultipartSpool::partEnd() {
    _file.reset();
    _observer = nullptr;
}

}  // namespace quorvane::http
