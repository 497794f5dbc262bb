#include "web/http/uploaded_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "web/http/file_descriptor.h"

namespace quorvane::web::http {
namespace {

void flushToDisk(const std::filesystem::path& path, int flags, const char* what) {
    FileDescriptor fd(::open(path.c_str(), flags | O_CLOEXEC));
    if (!fd || ::fsync(fd.get()) != 0)
        throw std::system_error(errno, std::generic_category(), std::string("cannot flush ") + what + " " + path.string());
}

}  // namespace

UploadedFile::~UploadedFile() {
    if (!_kept) ::unlink(temporaryPath.c_str());
}

void UploadedFile::keepAs(const std::filesystem::path& destination) {
    if (_kept) throw std::system_error(std::make_error_code(std::errc::invalid_argument), "upload already kept");
    flushToDisk(temporaryPath, O_RDONLY, "upload");
    if (::rename(temporaryPath.c_str(), destination.c_str()) != 0)
        throw std::system_error(errno, std::generic_category(), "cannot rename upload to " + destination.string());
    _kept = true;
    const std::filesystem::path folder = destination.has_parent_path() ? destination.parent_path() : ".";
    flushToDisk(folder, O_RDONLY | O_DIRECTORY, "folder");
}

}  // namespace quorvane::web::http
