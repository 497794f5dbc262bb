#include "web/upload_digests.h"

namespace quorvane::web {

// The transport spools one part after the other and hands the request to its handler only after the
// last byte, so the observers and md5Of never run at the same time.
std::function<void(std::string_view)> UploadDigests::observe(const http::Part& part) {
    auto digest = std::make_shared<Digest>();
    _digests[part.file.get()] = digest;
    return [digest](std::string_view bytes) { digest->md5.add(bytes); };
}

std::string UploadDigests::md5Of(const http::Part& part) {
    Digest& digest = *_digests.at(part.file.get());
    if (digest.hex.empty()) digest.hex = digest.md5.finishHex();
    return digest.hex;
}

}  // namespace quorvane::web
