#include "remote/api.h"

#include <chrono>
#include <limits>
#include <system_error>

#include <httplib.h>
#include <spdlog/spdlog.h>

#include "core/atomic_file.h"
#include "core/utf8_path.h"
#include "remote/payload.h"
#include "remote/service_address.h"
#include "remote/time_limits.h"

namespace quorvane {
namespace {

std::atomic<NetworkState> currentNetworkState{NetworkState::UNKNOWN};
// Steady-clock ticks of the last request that set the state; NEVER_SET before the first.
constexpr std::chrono::steady_clock::rep NEVER_SET = std::numeric_limits<std::chrono::steady_clock::rep>::min();
std::atomic<std::chrono::steady_clock::rep> networkStateSetTicks{NEVER_SET};

void setNetworkState(NetworkState state) {
    currentNetworkState = state;
    networkStateSetTicks = std::chrono::steady_clock::now().time_since_epoch().count();
}

std::string transportFailureText(httplib::Error error, const std::string& origin, const TimeLimits& limits) {
    switch (error) {
        case httplib::Error::Connection: return "Could not connect to " + origin;
        case httplib::Error::ConnectionTimeout: return "Connecting to " + origin + " timed out";
        case httplib::Error::Read: return "Failed to read the answer of " + origin;
        case httplib::Error::Write: return "Failed to send the request to " + origin;
        case httplib::Error::Canceled:
            return fmt::format("The answer of {} did not arrive within {:g} seconds", origin,
                               std::chrono::duration<double>(limits.connect + limits.read).count());
        case httplib::Error::SSLConnection: return "Could not open a secure connection to " + origin;
        case httplib::Error::SSLLoadingCerts: return "Could not load the system's certificates";
        case httplib::Error::SSLServerVerification: return "The certificate of " + origin + " could not be verified";
        default: return "The request to " + origin + " failed: " + httplib::to_string(error);
    }
}

// A request's result, and whether the service answered at all (an error status is an answer).
struct Exchange {
    ApiResult result;
    bool answered = false;
};

Exchange unreachable(const std::string& message) {
    setNetworkState(NetworkState::ERROR);
    spdlog::warn("Internet is unreachable");
    return {ApiResult::Err(Payload(std::in_place_type<std::string>, message)), false};
}

Exchange request(const QueryParams& params, const TimeLimits& limits) {
    try {
        const ServiceAddress address = splitServiceUrl(Api::baseUrl());
        httplib::Client client(address.origin);
        if (!client.is_valid()) return unreachable("Not a usable service address: " + address.origin);
        client.set_connection_timeout(limits.connect);
        client.set_read_timeout(limits.read);
        client.set_write_timeout(limits.connect);
        client.enable_server_certificate_verification(true);

        // The read limit bounds each wait for data; this bounds the whole answer, so a service that
        // trickles bytes cannot hold the caller either.
        const auto deadline = std::chrono::steady_clock::now() + limits.connect + limits.read;
        const auto withinDeadline = [deadline](uint64_t, uint64_t) { return std::chrono::steady_clock::now() < deadline; };
        httplib::Result response = client.Get(address.pathPrefix + SERVICE_API_PATH + "?" + encodeQuery(params), withinDeadline);
        if (!response) return unreachable(transportFailureText(response.error(), address.origin, limits));

        const int status = response->status;
        Payload payload = payloadFromResponse(response->get_header_value("Content-Type"), std::move(response->body));
        spdlog::debug("RESP {} {}", status, describe(payload));
        setNetworkState(NetworkState::OK);
        if (status == 200) return {ApiResult::Ok(std::move(payload)), true};
        return {ApiResult::Err(std::move(payload)), true};
    } catch (const std::exception& error) {
        return unreachable(error.what());
    }
}

DownloadResult writeFailure(const std::string& reason) {
    return DownloadResult::Err({DownloadProblem::NOT_WRITTEN, Payload(std::in_place_type<std::string>, "Failed to write file: " + reason)});
}

}  // namespace

std::string describe(const DownloadFailure& failure) { return describe(failure.payload); }

std::string Api::baseUrl() { return serviceBaseUrl(); }

NetworkState Api::networkState() { return currentNetworkState.load(); }

std::optional<std::chrono::steady_clock::duration> Api::networkStateAge(std::chrono::steady_clock::time_point now) {
    const auto ticks = networkStateSetTicks.load();
    if (ticks == NEVER_SET) return std::nullopt;
    return now - std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(ticks));
}

void Api::forgetNetworkStateForTesting() {
    currentNetworkState = NetworkState::UNKNOWN;
    networkStateSetTicks = NEVER_SET;
}

ApiResult Api::get(const QueryParams& params) { return request(params, requestTimeLimits()).result; }

ApiResult Api::ping() { return get({{"c", "ping"}}); }

ApiResult Api::getCalendarRegistry() { return get({{"c", "getCalendarRegistry"}}); }

ApiResult Api::listAnnouncements() { return get({{"c", "listAnnouncements"}}); }

DownloadResult Api::downloadAnnouncement(const std::string& id, const std::string& path) {
    const Exchange exchange = request({{"c", "downloadAnnouncement"}, {"id", id}}, downloadTimeLimits());
    const ApiResult& answer = exchange.result;
    if (!answer.isOk())
        return DownloadResult::Err({exchange.answered ? DownloadProblem::SERVICE_REFUSED : DownloadProblem::UNREACHABLE, answer.getError()});

    const auto* audio = std::get_if<RawBody>(&*answer.getValue());
    if (!audio)
        return writeFailure(std::holds_alternative<Json>(*answer.getValue()) ? "the answer is JSON, not audio data"
                                                                             : "the answer is text, not audio data");
    // An earlier announcement may still be playing from the file: the new one is written beside it and
    // renamed over it once complete, so the player keeps reading the old bytes to their end.
    try {
        writeFileAtomically(pathFromUtf8(path), audio->bytes);
    } catch (const std::system_error& error) {
        return writeFailure(error.what());
    }
    return DownloadResult::Ok(std::monostate{});
}

}  // namespace quorvane
