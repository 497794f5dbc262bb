#include "app/start_app.h"

#include <filesystem>
#include <memory>
#include <optional>

#include <spdlog/spdlog.h>

#include "app/command_line.h"
#include "app/logging.h"
#include "app/service_notifier.h"
#include "app/shutdown.h"
#include "app/termination_signals.h"
#include "audio/audio_device.h"
#include "core/clock.h"
#include "core/paths.h"
#include "core/version.h"
#include "http/self_signed_pair.h"
#include "http/tls_context.h"
#include "scheduling/alert_worker.h"
#include "scheduling/bell_journal.h"
#include "scheduling/next_bell.h"
#include "scheduling/scheduler.h"
#include "storage/stored_records.h"
#include "web/journal_endpoints.h"
#include "web/web_server.h"

namespace quorvane {
namespace {

std::string statusLine() {
    StateLock lock;
    return nextBellStatus(lock, getClock());
}

// The scheduler's pass feeds the watchdog, and once a second refreshes the status line.
SchedulerSteps stepsReportingTo(std::shared_ptr<ServiceNotifier> notifier) {
    SchedulerSteps steps = defaultSchedulerSteps();
    steps.afterPass = [notifier, lastSecond = std::optional<struct_time>()]() mutable {
        notifier->passCompleted();
        const struct_time now = getClock();
        if (!notifier->active() || now == lastSecond) return;
        lastSecond = now;
        notifier->status(statusLine());
    };
    return steps;
}

// A machine without a pair of its own (Windows has no ssl-cert) gets one on its first start; a pair
// with one file missing is left for loading to report.
void makeSelfSignedPairIfNone(const std::filesystem::path& certificate, const std::filesystem::path& key) {
    std::error_code error;
    if (std::filesystem::exists(certificate, error) || std::filesystem::exists(key, error)) return;
    for (const auto& file : {certificate, key})
        if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path());
    const std::string hostName = http::thisHostName();
    http::writeSelfSignedPair({certificate, key, hostName});
    spdlog::info("Made a self-signed TLS certificate for {} in {}", hostName, certificate.string());
}

}  // namespace

int start_app(int argc, const char* const* argv) {
    // Before any thread exists, so that every thread inherits the mask and only the signal thread takes them.
    blockTerminationSignals();

    const std::string banner = "Quorvane Player v" + getVersion();

    const ParsedCommandLine parsed = parseCommandLine(banner, argc, argv);
    if (!parsed.options) return parsed.exitStatus;
    const CommandLine options = *parsed.options;

    // A service's log file lies in the user data folder, beside the records.
    configureLogging(options.verbose, options.windowsService ? getUserFilePath("player.log") : "");

    spdlog::info("");
    spdlog::info("{}", banner);
    const bool https = !options.tlsCertificate.empty();
    if (https) spdlog::info("Open a browser and navigate to ----> https://localhost:{}/ <----", options.tlsPort);
    else spdlog::info("Open a browser and navigate to ----> http://localhost:{}/ <----", options.port);
    spdlog::info("");
    const std::string userDataPath = getUserFilePath();
    spdlog::debug("User data path: {}", userDataPath);

    setAudioDevice(options.audioDevice);
    if (!options.audioDevice.empty()) spdlog::info("The bells play through the sound device {}", options.audioDevice);

    loadStoredRecords();

    // Alerts watch the health as the health view shows it; bells reach them through the journal. Ready
    // before the scheduler's first pass, which journals the bells missed while the player was off.
    AlertWorkerParts alertParts = AlertWorkerParts::ofThisProcess();
    alertParts.healthChecks = [] { return runHealthChecks(web::healthSources()); };
    const auto alerts = std::make_shared<AlertWorker>(std::move(alertParts));
    installAlertWorker(alerts);
    // Also when binding a port throws: the worker must not outlive the records it reads.
    const struct AlertWorkerUninstall {
        ~AlertWorkerUninstall() { installAlertWorker(nullptr); }
    } uninstallAlerts;
    alerts->start();

    const auto notifier = std::make_shared<ServiceNotifier>();
    const auto scheduler = std::make_shared<Scheduler>(stepsReportingTo(notifier));
    openJournalOfThisProcess(*scheduler);
    scheduler->start();

    web::app.setSigningKey(sessionSigningKey());

    // A port that cannot be bound, or a certificate that does not load, throws, and main reports it.
    web::app.bind("0.0.0.0", options.port);
    if (https) {
        if (options.tlsSelfSigned) makeSelfSignedPairIfNone(options.tlsCertificate, options.tlsKey);
        web::app.bindTls("0.0.0.0", options.tlsPort, http::loadTlsContext(options.tlsCertificate, options.tlsKey));
        spdlog::info("HTTPS on port {}; plain HTTP on port {} redirects there (but /healthz)", options.tlsPort, options.port);
        spdlog::info("TLS certificate SHA-256 fingerprint: {}", http::certificateFingerprint(options.tlsCertificate));
    }
    const auto stop = std::make_shared<StopRequest>();
    startTerminationSignalThread([stop](const std::string& name) { stop->request(name + " received", 0); });
    ServingThread serving(stop);
    notifier->ready(statusLine());

    const StopReason reason = stop->wait();
    spdlog::info("Stopping: {}", reason.text);
    notifier->stopping();
    shutDown(serving, *scheduler);
    spdlog::info("Stopped");
    return reason.exitStatus;
}

}  // namespace quorvane
