#include "http/uploaded_file.h"

#include <cerrno>
#include <system_error>

#include "core/file_io.h"
#include "core/utf8_path.h"

namespace quorvane::http {
namespace {

[[noreturn]] void flushFailure(const std::filesystem::path& path, const char* what) {
    throw std::system_error(errno, std::generic_category(), std::string("cannot flush ") + what + " " + utf8Of(path));
}

}  // namespace

UploadedFile::~UploadedFile() {
    if (!_kept) removeFile(temporaryPath);
}

void UploadedFile::keepAs(const std::filesystem::path& destination) {
    if (_kept) throw std::system_error(std::make_error_code(std::errc::invalid_argument), "upload already kept");
    if (!syncPath(temporaryPath)) flushFailure(temporaryPath, "upload");
    if (!replaceFile(temporaryPath, destination))
        throw std::system_error(errno, std::generic_category(), "cannot rename upload to " + utf8Of(destination));
    _kept = true;
    const std::filesystem::path folder = destination.has_parent_path() ? destination.parent_path() : ".";
    if (!syncFolder(folder)) flushFailure(folder, "folder");
}

}  // namespace quorvane::http
