#pragma once
// The MD5 digests of a request's uploaded files, computed while their bytes go to disk, so that no
// upload is read a second time to find its key.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "http/message.h"
#include "model/digest.h"

namespace quorvane::web {

class UploadDigests {
public:
    // For BodyPlan::observeFilePart: sees every byte of one file part, in order.
    std::function<void(std::string_view)> observe(const http::Part& part);
    // The digest of a file part that was observed whole; std::out_of_range for any other part.
    std::string md5Of(const http::Part& part);

private:
    struct Digest {
        Md5 md5;
        std::string hex;  // once finished
    };
    // By the part's temporary file, which identifies it from its first byte to the handler.
    std::map<const http::UploadedFile*, std::shared_ptr<Digest>> _digests;
};

}  // namespace quorvane::web
