#include "test_application.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

#include "support/process_memory.h"

namespace quorvane::http::testing {
namespace {

std::string queryValue(const Request& request, const std::string& name) {
    for (const auto& [key, value] : request.query)
        if (key == name) return value;
    return "";
}

Response text(int status, std::string body) {
    Response response;
    response.status = status;
    response.headers.push_back({"Content-Type", "text/plain"});
    response.body = std::move(body);
    return response;
}

// What the observers of one upload found, per part, in the order the parts came.
struct Observed {
    std::mutex mutex;
    std::vector<std::pair<uint64_t, Fnv>> parts;
};

}  // namespace

size_t peakResidentKiB() { return quorvane::testing::ownStatusKiB("VmHWM"); }
size_t residentKiB() { return quorvane::testing::ownStatusKiB("VmRSS"); }

void Fnv::add(std::string_view bytes) {
    for (const char c : bytes) _hash = (_hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
}

std::string Fnv::hex() const {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(_hash));
    return text;
}

BodyPlan TestApplication::planBody(const Request& request) {
    BodyPlan plan;
    if (request.path == "/refuse") {
        plan.kind = BodyPlan::Kind::refuse;
        plan.refusal = text(403, "refused");
    } else if (request.path == "/upload") {
        plan.kind = BodyPlan::Kind::multipart;
        plan.spoolFolder = _folder;
        auto observed = std::make_shared<Observed>();
        plan.context = observed;
        plan.observeFilePart = [observed](const Part&) {
            std::lock_guard lock(observed->mutex);
            observed->parts.emplace_back();
            const size_t index = observed->parts.size() - 1;
            return [observed, index](std::string_view bytes) {
                std::lock_guard partLock(observed->mutex);
                observed->parts[index].first += bytes.size();
                observed->parts[index].second.add(bytes);
            };
        };
    } else if (request.method == "POST" || request.method == "PUT") {
        plan.kind = BodyPlan::Kind::inMemory;
    }
    plan.handleInline = request.path == "/inline";
    return plan;
}

Response TestApplication::handle(Request& request) {
    if (request.path == "/secure") return text(200, request.secure ? "yes" : "no");
    if (request.path.rfind("/echo", 0) == 0) {
        std::string body = "method=" + request.method + "\npath=" + request.path + "\nquery=";
        for (const auto& [key, value] : request.query) body += "[" + key + "=" + value + "]";
        return text(200, body + "\nbody=" + request.body);
    }
    if (request.path == "/file") {
        Response response = text(200, "");
        response.headers = {{"Content-Type", "application/octet-stream"}};
        response.file = FileBody{_folder / queryValue(request, "name")};
        response.rangesAllowed = queryValue(request, "ranges") != "no";
        return response;
    }
    if (request.path == "/upload") {
        const auto observed = std::any_cast<std::shared_ptr<Observed>>(request.planContext);
        std::string summary;
        size_t fileIndex = 0;
        for (const Part& part : request.parts) {
            summary += part.name + "|" + part.filename + "|";
            if (!part.file) {
                summary += "value=" + part.value + "\n";
                continue;
            }
            std::lock_guard lock(observed->mutex);
            const auto& [bytes, digest] = observed->parts.at(fileIndex++);
            summary += "size=" + std::to_string(part.file->size) + "|observed=" + std::to_string(bytes) + "|" + digest.hex() + "|" +
                       (std::filesystem::exists(part.file->temporaryPath) ? "spooled" : "missing") + "\n";
            const std::string keep = queryValue(request, "keep");
            if (!keep.empty()) part.file->keepAs(_folder / keep);
        }
        return text(200, summary);
    }
    if (request.path == "/hold") {
        std::unique_lock lock(_mutex);
        ++_holding;
        _released.wait(lock, [this] { return _open; });
        --_holding;
        return text(200, "held");
    }
    if (request.path == "/throw") throw std::runtime_error("the handler failed");
    if (request.path == "/memory") return text(200, std::to_string(peakResidentKiB()) + " " + std::to_string(residentKiB()));
    return text(200, "ok");
}

void TestApplication::finish(Response& response) {
    response.setHeader("Cache-Control", "no-store, no-cache, must-revalidate, max-age=0");
    response.setHeader("Pragma", "no-cache");
    response.setHeader("Expires", "0");
    std::lock_guard lock(_mutex);
    ++_finished;
}

void TestApplication::log(LogLevel level, const std::string& message) {
    if (std::getenv("HTTP_TEST_LOG")) std::fprintf(stderr, "%s\n", message.c_str());
    if (level != LogLevel::error) return;
    std::lock_guard lock(_mutex);
    _errors.push_back(message);
}

void TestApplication::release() {
    {
        std::lock_guard lock(_mutex);
        _open = true;
    }
    _released.notify_all();
}

size_t TestApplication::holding() const {
    std::lock_guard lock(_mutex);
    return _holding;
}

std::vector<std::string> TestApplication::takeErrors() {
    std::lock_guard lock(_mutex);
    return std::exchange(_errors, {});
}

size_t TestApplication::finished() const {
    std::lock_guard lock(_mutex);
    return _finished;
}

}  // namespace quorvane::http::testing
