// One scrape's text as a district's Prometheus asks for it every 30 seconds: every series with a busy
// day's counts (each kind and outcome, every status class, a dozen health checks), written with
// prometheus-cpp. The reading itself is a handful of lock-held copies and the health checks, which
// bench_journal_day and the health tests cover.
//   bench_metrics_text [benchmark options]
#include <benchmark/benchmark.h>

#include "model/journal_entry.h"
#include "web/metrics_endpoint.h"

namespace quorvane {
namespace {

MetricsReading busyDay() {
    MetricsReading reading;
    for (const auto& [kind, kindText] : EnumTexts<PlayKind>::values)
        for (const auto& [outcome, outcomeText] : EnumTexts<PlayOutcome>::values)
            if (outcome != PlayOutcome::NOTE) reading.counts.bells[{kindText, outcomeText}] = 40;
    for (size_t statusClass = 1; statusClass < reading.counts.httpAnswers.size(); ++statusClass) reading.counts.httpAnswers[statusClass] = 12345;
    reading.counts.failedLogins = 17;
    reading.secondsSinceLastPass = 0.4;
    reading.secondsToNextBell = 1200;
    reading.daysSinceCalendarSync = 1;
    reading.calendarDaysLeft = 180;
    for (int i = 0; i < 12; ++i) reading.checks.push_back({"check" + std::to_string(i), i == 3 ? HealthStatus::WARNING : HealthStatus::OK});
    reading.activePlays = 1;
    reading.playerName = "North building";
    reading.version = "1.4.0";
    return reading;
}

void BM_MetricsText(benchmark::State& state) {
    const MetricsReading reading = busyDay();
    size_t bytes = 0;
    for (auto _ : state) {
        const std::string text = web::metricsText(reading, 2);
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_MetricsText)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quorvane

BENCHMARK_MAIN();
