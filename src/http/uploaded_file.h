#pragma once
// A file part of an upload, in a temporary file beside its destination. Removed unless kept.
#include <cstdint>
#include <filesystem>

namespace quorvane::http {

struct UploadedFile {
    std::filesystem::path temporaryPath;
    uint64_t size = 0;

    explicit UploadedFile(std::filesystem::path path) : temporaryPath(std::move(path)) {}
    UploadedFile(const UploadedFile&) = delete;
    UploadedFile& operator=(const UploadedFile&) = delete;
    // Removes the temporary file when it was not kept.
    ~UploadedFile();

    // Renames the temporary file to `destination`, which must be on the same file system (the folder
    // it was spooled to), with the file and then the folder flushed to disk, so the name never points
    // at a partial file after a power cut. Afterwards the object removes nothing.
    // std::system_error when any step fails.
    void keepAs(const std::filesystem::path& destination);
    bool kept() const { return _kept; }

private:
    bool _kept = false;
};

}  // namespace quorvane::http
