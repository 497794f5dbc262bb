#pragma once
// Where the parts of a multipart body go: fields into memory (bounded), files into temporary files in
// the plan's spool folder, each byte shown to the plan's observer as it is written.
#include <functional>
#include <string_view>
#include <vector>

#include "http/file_descriptor.h"
#include "http/limits.h"
#include "http/message.h"
#include "http/multipart_parser.h"

namespace quorvane::http {

class MultipartSpool : public MultipartParser::Events {
public:
    // The plan is kept by reference and must outlive the spool.
    MultipartSpool(const BodyPlan& plan, size_t maxFieldBytes) : _plan(plan), _maxFieldBytes(maxFieldBytes) {}

    // HttpError 413 for a field over its limit, 500 when a file cannot be created or written.
    void partBegin(Part part) override;
    void partData(std::string_view bytes) override;
    void partEnd() override;

    std::vector<Part> takeParts() { return std::move(_parts); }

private:
    const BodyPlan& _plan;
    size_t _maxFieldBytes;
    std::vector<Part> _parts;
    FileDescriptor _file;
    std::function<void(std::string_view)> _observer;
};

}  // namespace quorvane::http
