#include "web/web_server.h"

#include <any>
#include <chrono>
#include <memory>
#include <utility>

#include <spdlog/spdlog.h>

#include "core/event_counts.h"
#include "core/paths.h"
#include "core/utf8_path.h"
#include "core/version.h"
#include "http/multipart_parser.h"
#include "model/errors.h"
#include "model/text.h"
#include "storage/durable_changes.h"
#include "web/header_checks.h"
#include "web/https_redirect.h"
#include "web/login_gate.h"
#include "web/upload_digests.h"

namespace quorvane::web {
namespace {

// In force only between loading and start-up, while no request is served.
constexpr const char* BUILT_IN_SIGNING_KEY = "5f1c0a7e9b3d42c8a6e07f19d2b4c6e8a0f3b5d7c9e1a2b4c6d8e0f1a3b5c7d9";

// What planBody found out from the headers, handed to handle with the request.
struct PlannedRequest {
    RouteTable::Match match;
    std::shared_ptr<UploadDigests> uploads;
};

int64_t systemClockSeconds() { return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count(); }

http::Response toResponse(Reply reply) {
    http::Response response;
    response.status = reply.status;
    if (!reply.contentType.empty()) response.setHeader("Content-Type", std::move(reply.contentType));
    for (auto& [name, value] : reply.headers) response.headers.push_back({std::move(name), std::move(value)});
    if (reply.file) {
        response.file = http::FileBody{std::move(*reply.file)};
        response.rangesAllowed = true;
    } else {
        response.body = std::move(reply.body);
    }
    return response;
}

http::BodyPlan refusedPlan(Reply refusal) {
    http::BodyPlan plan;
    plan.kind = http::BodyPlan::Kind::refuse;
    plan.refusal = toResponse(std::move(refusal));
    return plan;
}

Json parseJsonBody(const Route& route, const std::string& body) {
    try {
        return parseJson(body);
    } catch (const DecodeError&) {
        throw RefusedRequest(BadRequest(route.invalidJsonAnswer));
    }
}

// The handler's answer, with the session cookie to send when the handler changed the session.
Reply answer(PlannedRequest& planned, const http::Request& request, const std::string& signingKey, int64_t now, std::string& setCookie) {
    const Route& route = *planned.match.route;
    // The session is taken again, and the gate checked again: while the body arrived a first password
    // may have been set, or this session ended by a logout or a password change.
    RequestContext context{
        request, std::move(planned.match.params), acceptedSession(request.headers.value("Cookie"), signingKey, now), {}, request.remoteAddress,
        now,     std::move(planned.uploads)};
    if (route.loginRequired)
        if (auto refusal = require_login(context)) return *refusal;
    if (route.body == RequestBody::JSON) context.json = parseJsonBody(route, request.body);
    // Acknowledged means durable: whatever the handler changed is on disk before the answer leaves. An
    // error answer leaves the records as they were, at once and for the auto-save.
    DurableChanges changes;
    Reply reply;
    try {
        reply = route.handler(context);
        if (reply.status >= 400) changes.undo();
        else changes.persist();
    } catch (const SaveError& error) {
        changes.undo();
        spdlog::error("Error on {} {}: the change could not be saved: {}", escapedForLog(request.method), escapedForLog(request.path),
                      escapedForLog(error.what()));
        return saveFailed();  // the browser keeps its session too
    } catch (...) {
        changes.undo();
        throw;
    }
    if (context.session.modified() && reply.status < 400) setCookie = context.session.setCookieHeader(signingKey, request.secure);
    return reply;
}

void logFailure(const http::Request& request, const char* what) {
    spdlog::error("Error on {} {}{}{}", escapedForLog(request.method), escapedForLog(request.path), what ? ": " : "",
                  what ? escapedForLog(what) : "");
}

}  // namespace

void after_request(http::Response& response) {
    EventCounts::httpAnswer(response.status);
    // The browser app's files say for themselves how they are kept (static_files.cpp); nothing else is.
    if (!response.header("Cache-Control").empty()) return;
    response.setHeader("Cache-Control", "no-store, no-cache, must-revalidate, max-age=0");
    response.setHeader("Pragma", "no-cache");
    response.setHeader("Expires", "0");
}

WebServer::WebServer(std::vector<Route> routes)
    : _routes(std::move(routes)), _signingKey(BUILT_IN_SIGNING_KEY), _clock(systemClockSeconds), _server(*this, [this] {
          http::Limits limits;
          limits.workerThreads = WORKER_THREADS;
          // A reverse proxy on this machine, or its own browser, brings every client under one address.
          limits.uncappedAddresses = {"127.0.0.1", "::1"};
          // The transport refuses anything above the largest route's limit; each route its own.
          limits.maxBodyBytes = _routes.largestBody();
          return limits;
      }()) {}

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

std::pair<std::string, int64_t> WebServer::keyAndTime() const {
    std::lock_guard lock(_keyMutex);
    return {_signingKey, _clock()};
}

// The version is answered from memory by the I/O threads; in a development tree finding it starts git,
// which must not hold up the first request that asks for it.
void WebServer::bind(const std::string& host, int port) {
    versionText();
    _server.bind(host, port);
}

int WebServer::bindAnyPort(const std::string& host) {
    versionText();
    return _server.bind(host, 0);
}

int WebServer::bindTls(const std::string& host, int port, std::shared_ptr<boost::asio::ssl::context> tls) {
    const int bound = _server.bindTls(host, port, std::move(tls));
    _tlsPort = bound;
    return bound;
}

bool WebServer::serve() {
    _server.run();
    return true;
}

bool WebServer::run(const std::string& host, int port) {
    bind(host, port);
    return serve();
}

void WebServer::stop() { _server.stop(); }

bool WebServer::isRunning() const { return _server.isRunning(); }

http::BodyPlan WebServer::planBody(const http::Request& request) {
    if (const int tlsPort = _tlsPort; tlsPort > 0 && !request.secure)
        if (auto redirect = httpsRedirect(request, tlsPort)) return refusedPlan(std::move(*redirect));
    PlannedRequest planned{_routes.find(request.method, request.path), nullptr};
    const auto [key, now] = keyAndTime();
    const Session session = acceptedSession(request.headers.value("Cookie"), key, now);
    if (auto refusal = refusalFromHeaders(planned.match, request, session)) return refusedPlan(std::move(*refusal));
    http::BodyPlan plan;
    plan.handleInline = planned.match.route->effect == Effect::READS_MEMORY;
    switch (planned.match.route->body) {
        case RequestBody::NONE: plan.kind = http::BodyPlan::Kind::none; break;
        case RequestBody::JSON: plan.kind = http::BodyPlan::Kind::inMemory; break;
        case RequestBody::MULTIPART:
            // Anything but a form reaches the handler without parts, which it answers itself.
            if (!http::MultipartParser::boundaryOf(request.headers.value("Content-Type"))) break;
            plan.kind = http::BodyPlan::Kind::multipart;
            plan.spoolFolder = pathFromUtf8(getUserFilePath());  // where the handler keeps the files: a rename away
            planned.uploads = std::make_shared<UploadDigests>();
            plan.observeFilePart = [uploads = planned.uploads](const http::Part& part) { return uploads->observe(part); };
            break;
    }
    plan.context = std::move(planned);
    return plan;
}

http::Response WebServer::handle(http::Request& request) {
    auto& planned = std::any_cast<PlannedRequest&>(request.planContext);
    std::string setCookie;
    Reply reply;
    try {
        const auto [key, now] = keyAndTime();
        reply = answer(planned, request, key, now, setCookie);
    } catch (const RefusedRequest& refused) {
        reply = refused.reply();
    } catch (const std::exception& error) {
        logFailure(request, error.what());
        reply = internalError();
    } catch (...) {
        logFailure(request, nullptr);
        reply = internalError();
    }
    http::Response response = toResponse(std::move(reply));
    if (!setCookie.empty()) response.headers.push_back({"Set-Cookie", std::move(setCookie)});
    return response;
}

void WebServer::finish(http::Response& response) { after_request(response); }

// The transport's lines name paths and reasons that come from clients.
void WebServer::log(http::LogLevel level, const std::string& message) {
    if (level == http::LogLevel::error) spdlog::error("{}", escapedForLog(message));
    else spdlog::debug("{}", escapedForLog(message));
}

WebServer app(applicationRoutes());

}  // namespace quorvane::web
