#pragma once
// Beast's parser with our callbacks: the request line and fields go into a Request, the body goes to a
// sink piece by piece, never into a buffer of the parser's own.
#include <functional>
#include <string_view>

#include <boost/beast/http/basic_parser.hpp>

#include "http/message.h"

namespace quorvane::http {

class RequestParser : public boost::beast::http::basic_parser<true> {
public:
    explicit RequestParser(Request& request);

    // 10 for HTTP/1.0, 11 for HTTP/1.1.
    int version() const { return _version; }
    // Receives the body as it is parsed; set once the plan for the body is known.
    std::function<void(std::string_view)> bodySink;

private:
    using error_code = boost::beast::error_code;
    using string_view = boost::beast::string_view;

    void on_request_impl(boost::beast::http::verb, string_view method, string_view target, int version, error_code&) override;
    void on_response_impl(int, string_view, int, error_code& ec) override;
    void on_field_impl(boost::beast::http::field, string_view name, string_view value, error_code&) override;
    void on_header_impl(error_code&) override {}
    void on_body_init_impl(const boost::optional<std::uint64_t>&, error_code&) override {}
    std::size_t on_body_impl(string_view body, error_code&) override;
    void on_chunk_header_impl(std::uint64_t, string_view, error_code& ec) override;
    std::size_t on_chunk_body_impl(std::uint64_t, string_view, error_code& ec) override;
    void on_finish_impl(error_code&) override {}

    Request& _request;
    int _version = 0;
};

}  // namespace quorvane::http
