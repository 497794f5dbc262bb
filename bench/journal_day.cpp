// GET /api/get/journal for a full day (the daily cap of 10,000 entries) through the in-process web
// server over a keep-alive loopback connection, and the same answer built without HTTP.
//   bench_journal_day [benchmark options]
#include <filesystem>
#include <memory>
#include <thread>

#include <benchmark/benchmark.h>
#include <httplib.h>

#include "core/paths.h"
#include "scheduling/bell_journal.h"
#include "storage/journal_writer.h"
#include "storage/stored_records.h"
#include "web/journal_endpoints.h"
#include "web/web_server.h"

namespace quorvane {
namespace {

constexpr const char* DAY = "2024-09-02";

// A day of the cap's size with entries as long as real ones: names, a start moment, some failures.
void writeFullDay(const std::filesystem::path& folder) {
    JournalWriter writer(folder);
    for (int64_t i = 0; i < JournalWriter::MAX_ENTRIES_PER_DAY; ++i) {
        JournalEntry entry;
        const int64_t second = 7 * 3600 + i * 3;
        char due[32];
        std::snprintf(due, sizeof due, "%sT%02d:%02d:%02d", DAY, static_cast<int>(second / 3600), static_cast<int>(second / 60 % 60),
                      static_cast<int>(second % 60));
        entry.due = due;
        entry.started = entry.due + ".012";
        entry.kind = i % 5 == 4 ? PlayKind::EXTRA_PLAY : PlayKind::LESSON_START;
        entry.outcome = i % 50 == 0 ? PlayOutcome::FAILED : PlayOutcome::RANG;
        if (entry.outcome == PlayOutcome::FAILED) {
            entry.reason = OutcomeReason::EXIT_STATUS;
            entry.code = 1;
            entry.detail = "The player exited with status 1";
        }
        entry.plays = 1;
        entry.signalId = "ID_melody";
        entry.signalName = "Westminster chime (melody)";
        entry.timetableId = "ID_factory_default_timetable";
        entry.timetableName = "Default timetable of the school";
        entry.lesson = i % 8;
        writer.submit(std::move(entry));
        if (i % 1000 == 999) writer.flush();
    }
}

class FullDay : public benchmark::Fixture {
public:
    void SetUp(const benchmark::State&) override {
        _root = std::filesystem::temp_directory_path() / ("quorvane-bench-journal-" + std::to_string(::getpid()));
        std::filesystem::create_directories(_root / "build");
        overrideExecutableDirForTesting(_root / "build");
        writeFullDay(journalFolder());
        loadStoredRecords();  // a fresh installation: no password, so the route is open
        // A server runs once: every run of the fixture gets its own.
        _server = std::make_unique<web::WebServer>(web::applicationRoutes());
        _port = _server->bindAnyPort("127.0.0.1");
        _serving = std::thread([this] { _server->serve(); });
        while (!_server->isRunning()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    void TearDown(const benchmark::State&) override {
        _server->stop();
        _serving.join();
        _server.reset();
        overrideExecutableDirForTesting({});
        std::filesystem::remove_all(_root);
    }

protected:
    std::filesystem::path _root;
    std::unique_ptr<web::WebServer> _server;
    std::thread _serving;
    int _port = 0;
};

BENCHMARK_DEFINE_F(FullDay, GetJournalOverHttp)(benchmark::State& state) {
    httplib::Client client("127.0.0.1", _port);
    client.set_keep_alive(true);
    size_t bytes = 0;
    for (auto _ : state) {
        const auto result = client.Get(std::string("/api/get/journal?date=") + DAY);
        if (!result || result->status != 200) {
            state.SkipWithError("the journal did not answer 200");
            break;
        }
        bytes = result->body.size();
    }
    state.counters["answerBytes"] = static_cast<double>(bytes);
}
BENCHMARK_REGISTER_F(FullDay, GetJournalOverHttp)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly();

BENCHMARK_DEFINE_F(FullDay, BuildAnswerOnly)(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(web::journalDayText(journalFolder(), DAY));
}
BENCHMARK_REGISTER_F(FullDay, BuildAnswerOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace quorvane

BENCHMARK_MAIN();
