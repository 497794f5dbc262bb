#pragma once
// The client of the maker's remote service: GET <base>/api/player/v1?c=<command>&...
#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "model/json_text.h"
#include "model/record.h"
#include "model/result.h"
#include "remote/payload.h"

namespace quorvane {

enum class NetworkState { UNKNOWN, OK, ERROR };
template <>
struct EnumTexts<NetworkState> {
    static constexpr std::pair<NetworkState, const char*> values[] = {
        {NetworkState::UNKNOWN, "unknown"}, {NetworkState::OK, "ok"}, {NetworkState::ERROR, "error"}};
};

using ApiResult = Result<Payload, Payload>;

// Why a download failed, so that "no such announcement" and "no internet" can be told apart.
enum class DownloadProblem {
    UNREACHABLE,      // no usable answer came: the payload is the failure's message text
    SERVICE_REFUSED,  // the service answered with an error status: the payload is its answer
    NOT_WRITTEN,      // the answer was not audio, or its file could not be written: "Failed to write file: ..."
};
struct DownloadFailure {
    DownloadProblem problem;
    Payload payload;
};
std::string describe(const DownloadFailure& failure);
using DownloadResult = Result<std::monostate, DownloadFailure>;

using QueryParams = std::vector<std::pair<std::string, std::string>>;

class Api {
public:
    static NetworkState networkState();
    // How long ago a request last set the network state, by the steady clock; none since start.
    static std::optional<std::chrono::steady_clock::duration> networkStateAge(
        std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now());
    // Back to the state at start: unknown, never checked.
    static void forgetNetworkStateForTesting();
    static ApiResult get(const QueryParams& params);
    static ApiResult ping();
    static ApiResult getCalendarRegistry();
    // The announcements the service offers (see remote/announcement_list.h for the answer's shape).
    static ApiResult listAnnouncements();
    // Writes the announcement's bytes to path; Ok without a value when written.
    static DownloadResult downloadAnnouncement(const std::string& id, const std::string& path);

    // The base address in force: QUORVANE_SERVICE_URL when set, else the build's address for this layout.
    static std::string baseUrl();
};

}  // namespace quorvane
