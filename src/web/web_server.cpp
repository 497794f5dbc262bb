#include "web/web_server.h"

#include <spdlog/spdlog.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <system_error>

#include "model/text.h"
#include "storage/durable_changes.h"
#include "web/auth_handlers.h"

namespace quorvane::web {
namespace {

// In force only between loading and start-up, while no request is served.
constexpr const char* BUILT_IN_SIGNING_KEY = "5f1c0a7e9b3d42c8a6e07f19d2b4c6e8a0f3b5d7c9e1a2b4c6d8e0f1a3b5c7d9";

// Matches every path, line breaks included (a decoded path may hold any byte).
constexpr const char* ANY_PATH = "[\\s\\S]*";

// Refusals decided from the headers alone, before the body is read: the library reads a chunked body
// into memory whatever its size, and an oversized Content-Length would first be read and discarded.
std::optional<Reply> refusalBeforeBody(const httplib::Request& request) {
    if (!request.get_header_value("Transfer-Encoding").empty()) {
        Reply reply = BadRequest("Length Required");
        reply.status = 411;
        return reply;
    }
    if (request.has_header("Content-Length")) {
        errno = 0;
        const std::string text = request.get_header_value("Content-Length");
        const unsigned long long length = std::strtoull(text.c_str(), nullptr, 10);
        if (errno == ERANGE || length > WebServer::MAX_BODY_BYTES) {
            Reply reply = BadRequest("Payload Too Large");
            reply.status = 413;
            return reply;
        }
    }
    return std::nullopt;
}

// Answers a refusal and ends the connection: the unread body must never be taken for the next request.
// The library closes a connection only when writing fails, so the body provider reports a failure once
// it has written everything.
void writeRefusal(const httplib::Request& request, httplib::Response& response, const Reply& reply) {
    const_cast<httplib::Request&>(request).ranges.clear();  // the library's request object is not const
    response.status = reply.status;
    response.set_header("Connection", "close");
    auto body = std::make_shared<std::string>(reply.body);
    response.set_content_provider(body->size(), reply.contentType.c_str(),
                                  [body](size_t offset, size_t length, httplib::DataSink& sink) {
                                      sink.write(body->data() + offset, length);
                                      return false;
                                  });
}

void writeReply(const httplib::Request& request, Reply reply, httplib::Response& response) {
    auto& ranges = const_cast<httplib::Request&>(request).ranges;  // the library's request object is not const
    // A Range header is honoured for files only, and a single range only (many ranges would multiply the
    // answer); otherwise the whole body is sent.
    if (!reply.isFile || ranges.size() > 1 || reply.status != 200) ranges.clear();
    response.status = reply.status == 200 && !ranges.empty() ? 206 : reply.status;
    for (const auto& [name, value] : reply.headers) response.set_header(name, value);
    if (!reply.contentType.empty()) response.set_header("Content-Type", reply.contentType);
    response.body = std::move(reply.body);
}

int64_t systemClockSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

}  // namespace

void after_request(httplib::Response& response) {
    response.set_header("Cache-Control", "no-store, no-cache, must-revalidate, max-age=0");
    response.set_header("Pragma", "no-cache");
    response.set_header("Expires", "0");
}

Json requireJsonBody(const httplib::Request& request) {
    const std::string header = request.get_header_value("Content-Type");
    const std::string type = toLower(trimmed(std::string_view(header).substr(0, header.find(';'))));
    const bool jsonType = type == "application/json" ||
                          (type.rfind("application/", 0) == 0 && type.size() > 5 && type.compare(type.size() - 5, 5, "+json") == 0);
    if (!jsonType) throw RefusedRequest(BadRequest("The request body must be JSON (Content-Type: application/json)"));
    Json body = Json::parse(request.body, nullptr, false);
    if (body.is_discarded()) throw RefusedRequest(BadRequest("The request body is not valid JSON"));
    return body;
}

WebServer::WebServer(std::vector<Route> routes)
    : _routes(std::move(routes)), _signingKey(BUILT_IN_SIGNING_KEY), _clock(systemClockSeconds) {
    _server.new_task_queue = [] { return new httplib::ThreadPool(WORKER_THREADS); };
    _server.set_tcp_nodelay(true);
    _server.set_keep_alive_timeout(KEEP_ALIVE_SECONDS);
    _server.set_keep_alive_max_count(KEEP_ALIVE_MAX_REQUESTS);
    _server.set_payload_max_length(MAX_BODY_BYTES);
    // The library's default also sets SO_REUSEPORT, which would let a second server share the port
    // silently; address reuse alone keeps restarts quick.
    _server.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });

    _server.set_expect_100_continue_handler([](const httplib::Request& request, httplib::Response& response) {
        if (const auto refusal = refusalBeforeBody(request)) {
            writeRefusal(request, response, *refusal);
            return refusal->status;
        }
        return 100;
    });
    _server.set_pre_routing_handler([](const httplib::Request& request, httplib::Response& response) {
        if (const auto refusal = refusalBeforeBody(request)) {
            writeRefusal(request, response, *refusal);
            return httplib::Server::HandlerResponse::Handled;
        }
        // A request with neither Content-Length nor Transfer-Encoding has no body; the library would wait
        // for the connection to close instead and then answer 400.
        if (!request.has_header("Content-Length")) const_cast<httplib::Request&>(request).set_header("Content-Length", "0");
        return httplib::Server::HandlerResponse::Unhandled;
    });
    // Without it the library answers an escaped exception with its text in a response header.
    _server.set_exception_handler([](const httplib::Request& request, httplib::Response& response, std::exception_ptr error) {
        try {
            if (error) std::rethrow_exception(error);
        } catch (const std::exception& e) {
            spdlog::error("Error on {} {}: {}", request.method, request.path, e.what());
        } catch (...) {
            spdlog::error("Error on {} {}", request.method, request.path);
        }
        response.headers.clear();
        writeReply(request, internalError(), response);
    });
    // Runs as the last step of writing every response, whatever produced it.
    _server.set_post_routing_handler([](const httplib::Request&, httplib::Response& response) {
        if (response.get_header_value("Connection") == "close") response.headers.erase("Keep-Alive");
        after_request(response);
    });

    const auto handler = [this](const httplib::Request& request, httplib::Response& response) { dispatch(request, response); };
    _server.Get(ANY_PATH, handler);
    _server.Post(ANY_PATH, handler);
    _server.Put(ANY_PATH, handler);
    _server.Patch(ANY_PATH, handler);
    _server.Delete(ANY_PATH, handler);
    _server.Options(ANY_PATH, handler);
}

void WebServer::setSigningKey(std::string key) {
    std::lock_guard lock(_keyMutex);
    _signingKey = std::move(key);
}

std::string WebServer::signingKey() const {
    std::lock_guard lock(_keyMutex);
    return _signingKey;
}

void WebServer::setClock(Clock clock) {
    std::lock_guard lock(_keyMutex);
    _clock = clock ? std::move(clock) : Clock(systemClockSeconds);
}

void WebServer::bind(const std::string& host, int port) {
    errno = 0;
    if (!_server.bind_to_port(host, port)) {
        const int error = errno;
        std::string message = "cannot listen on " + host + ":" + std::to_string(port);
        if (error != 0) message += ": " + std::system_category().message(error);
        throw std::runtime_error(message);
    }
    listen(_server.listeningSocket(), SOMAXCONN);  // a second listen() only lengthens the backlog
}

int WebServer::bindAnyPort(const std::string& host) {
    const int port = _server.bind_to_any_port(host);
    if (port < 0) throw std::runtime_error("cannot listen on " + host);
    listen(_server.listeningSocket(), SOMAXCONN);
    return port;
}

bool WebServer::serve() { return _server.listen_after_bind(); }

bool WebServer::run(const std::string& host, int port) {
    bind(host, port);
    return serve();
}

void WebServer::stop() { _server.stop(); }

bool WebServer::isRunning() const { return _server.is_running(); }

void WebServer::dispatch(const httplib::Request& request, httplib::Response& response) {
    Reply reply;
    try {
        reply = answer(_routes.find(request.method, request.path), request, response);
    } catch (const RefusedRequest& refused) {
        reply = refused.reply();
    } catch (const std::exception& error) {
        spdlog::error("Error on {} {}: {}", request.method, request.path, error.what());
        reply = internalError();
    } catch (...) {
        spdlog::error("Error on {} {}", request.method, request.path);
        reply = internalError();
    }
    writeReply(request, std::move(reply), response);
}

Reply WebServer::answer(const RouteTable::Match& match, const httplib::Request& request, httplib::Response& response) {
    if (!match.route) return methodNotAllowed(match.allowedMethods);
    std::string key;
    int64_t now = 0;
    {
        std::lock_guard lock(_keyMutex);
        key = _signingKey;
        now = _clock();
    }
    RequestContext context{request, match.params, acceptedSession(request.get_header_value("Cookie"), key, now), {},
                           request.remote_addr, now};
    if (match.route->loginRequired)
        if (auto refusal = require_login(context)) return *refusal;
    if (match.route->jsonBody) context.json = requireJsonBody(request);
    // Acknowledged means durable: whatever the handler changed is on disk before the answer leaves.
    DurableChanges changes;
    Reply reply;
    try {
        reply = match.route->handler(context);
        changes.persist();
    } catch (const SaveError& error) {
        spdlog::error("Error on {} {}: the change could not be saved: {}", request.method, request.path, error.what());
        reply = saveFailed();
    }
    if (context.session.modified()) response.set_header("Set-Cookie", context.session.setCookieHeader(key));
    return reply;
}

WebServer app(applicationRoutes());

}  // namespace quorvane::web
