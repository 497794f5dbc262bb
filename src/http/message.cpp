#include "http/message.h"

#include <algorithm>

namespace quorvane::http {

void Response::setHeader(std::string_view name, std::string value) {
    std::erase_if(headers, [&](const Header& h) { return equalsIgnoringCase(h.name, name); });
    headers.push_back({std::string(name), std::move(value)});
}

const std::string& Response::header(std::string_view name) const { return firstValue(headers, name); }

}  // namespace quorvane::http
