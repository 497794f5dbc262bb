#pragma once
// The client of the maker's remote service: GET <base>/api/player/v1?c=<command>&...
#include <atomic>
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
using DownloadResult = Result<std::monostate, Payload>;

using QueryParams = std::vector<std::pair<std::string, std::string>>;

class Api {
public:
    static NetworkState networkState();
    static ApiResult get(const QueryParams& params);
    static ApiResult ping();
    static ApiResult getCalendarRegistry();
    // Writes the announcement's bytes to path; Ok without a value when written.
    static DownloadResult downloadAnnouncement(const std::string& id, const std::string& path);

    // The base address in force: QUORVANE_SERVICE_URL when set, else the build's address for this layout.
    static std::string baseUrl();
};

}  // namespace quorvane
