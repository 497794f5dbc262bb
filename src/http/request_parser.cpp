#include "http/request_parser.h"

#include <limits>

#include <boost/beast/http/error.hpp>

namespace quorvane::http {

RequestParser::RequestParser(Request& request) : _request(request) {
    // Our own scanner bounds the header block as it arrives, and bodies are checked against our limits
    // before they are read; the parser's own limits would only get in the way. (Boost 1.74 compares a
    // length with boost::none as larger, so "no limit" is the largest one instead.)
    header_limit(std::numeric_limits<std::uint32_t>::max());
    body_limit(std::numeric_limits<std::uint64_t>::max());
}

void RequestParser::on_request_impl(boost::beast::http::verb, string_view method, string_view target, int version, error_code&) {
    _request.method.assign(method.data(), method.size());
    _request.target.assign(target.data(), target.size());
    _version = version;
}

void RequestParser::on_response_impl(int, string_view, int, error_code& ec) { ec = boost::beast::http::error::bad_method; }

void RequestParser::on_field_impl(boost::beast::http::field, string_view name, string_view value, error_code&) {
    _request.headers.add(std::string(name.data(), name.size()), std::string(value.data(), value.size()));
}

std::size_t RequestParser::on_body_impl(string_view body, error_code&) {
    if (bodySink) bodySink(std::string_view(body.data(), body.size()));
    return body.size();
}

// Chunked bodies are refused before their first byte is read.
void RequestParser::on_chunk_header_impl(std::uint64_t, string_view, error_code& ec) { ec = boost::beast::http::error::bad_transfer_encoding; }

std::size_t RequestParser::on_chunk_body_impl(std::uint64_t, string_view, error_code& ec) {
    ec = boost::beast::http::error::bad_transfer_encoding;
    return 0;
}

}  // namespace quorvane::http
