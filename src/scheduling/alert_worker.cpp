#include "scheduling/alert_worker.h"

#include <exception>

#include <spdlog/spdlog.h>

#include "audio/journal_sink.h"
#include "core/installed.h"
#include "model/time_reading.h"
#include "storage/stored_records.h"

namespace quorvane {
namespace {

Installed<std::shared_ptr<AlertWorker>> installed;

bool channelSet(const AlertSettings& alerts, AlertChannel channel) {
    return channel == AlertChannel::WEBHOOK ? alerts.webhookSet() : alerts.mailSet() && !alerts.smtpServer.empty();
}

std::string channelWords(const AlertSettings& alerts, AlertChannel channel) {
    return channel == AlertChannel::WEBHOOK ? "Alert by webhook" : "Alert by mail to " + alerts.mailTo;
}

DeliveryOutcome deliverForReal(const AlertWorkerParts::Addresses& addresses, AlertChannel channel, const AlertMessage& message) {
    const AlertSettings& alerts = addresses.alerts;
    // The settings page checks them, but a restored backup or an edited file may hold anything: no line
    // break reaches a mail header or an SMTP command.
    if (const auto problem = alertSettingsProblem(alerts)) return {false, "The alert settings are not usable (" + *problem + ")"};
    if (channel == AlertChannel::WEBHOOK) return postJsonToWebhook(alerts.webhookUrl, webhookJson(message, addresses.player));
    const auto now = std::chrono::system_clock::now();
    const int64_t seconds = std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
    const int64_t offset = wallSeconds(localStructTime(now)) - seconds;
    const std::string from = alerts.mailFrom.empty() ? DEFAULT_ALERT_SENDER : alerts.mailFrom;
    return sendMail({alerts.smtpServer, from, alerts.mailTo, alertMail(message, addresses.player, {from, alerts.mailTo, mailDate(seconds, offset)})});
}

JournalEntry attemptNote(const std::string& when, const std::string& words, int attempts, const DeliveryOutcome& outcome, const AlertMessage& message,
                         const std::string& afterwards) {
    JournalEntry note;
    note.due = when;
    note.kind = PlayKind::ALERT;
    note.outcome = PlayOutcome::NOTE;
    note.code = attempts;
    note.detail = outcome.sent ? words + " sent: " + message.message
                               : words + " not sent (" + afterwards + "): " + outcome.error + ". The alert: " + message.message;
    return note;
}

std::string minutesText(std::chrono::minutes minutes) { return std::to_string(minutes.count()) + " min"; }

}  // namespace

const char* channelName(AlertChannel channel) { return channel == AlertChannel::WEBHOOK ? "webhook" : "mail"; }

AlertWorkerParts AlertWorkerParts::ofThisProcess() {
    AlertWorkerParts parts;
    parts.addresses = [] {
        StateLock lock;
        const Settings& settings = db.view(lock).settings;
        return Addresses{settings.alerts, settings.playerName};
    };
    parts.deliver = deliverForReal;
    parts.journal = toJournal;
    parts.wallNow = journalMomentNow;
    return parts;
}

std::vector<TestAlertResult> sendTestAlert(const AlertWorkerParts& parts) {
    const auto addresses = parts.addresses();
    const AlertMessage message = testAlert(parts.wallNow());
    std::vector<TestAlertResult> results;
    for (const AlertChannel channel : {AlertChannel::WEBHOOK, AlertChannel::MAIL}) {
        if (!channelSet(addresses.alerts, channel)) continue;
        const DeliveryOutcome outcome = parts.deliver(addresses, channel, message);
        parts.journal(attemptNote(parts.wallNow(), channelWords(addresses.alerts, channel), 1, outcome, message, "a test, not tried again"));
        results.push_back({channel, outcome});
    }
    return results;
}

AlertWorker::AlertWorker(AlertWorkerParts parts) : _parts(std::move(parts)) {}

AlertWorker::~AlertWorker() {
    // The last owner may be the worker's own thread (a note it journals holds the worker), which cannot
    // join itself; it is ending anyway.
    if (_thread.joinable() && _thread.get_id() == std::this_thread::get_id()) {
        _thread.request_stop();
        _thread.detach();
    } else if (_thread.joinable()) {
        _thread.request_stop();
        _thread.join();
    }
}

void AlertWorker::start() {
    _thread = std::jthread([this](std::stop_token stop) { run(std::move(stop)); });
}

void AlertWorker::notice(const JournalEntry& entry, Time now) {
    if (const auto message = bellAlert(entry)) queue(*message, now);
}

void AlertWorker::queue(const AlertMessage& message, Time now) {
    bool dropped = false;
    {
        std::lock_guard lock(_mutex);
        for (const AlertChannel channel : {AlertChannel::WEBHOOK, AlertChannel::MAIL}) {
            const bool added = _queue.add(message, channel, now);
            if (!added && !_dropping) dropped = true;
            _dropping = !added;
        }
    }
    _wake.notify_all();
    if (dropped) spdlog::warn("Too many alerts waiting; later ones are dropped until the queue has room");
}

size_t AlertWorker::waiting() const {
    std::lock_guard lock(_mutex);
    return _queue.size();
}

void AlertWorker::step(Time now, std::stop_token stop) {
    bool lookNow = false;
    {
        std::lock_guard lock(_mutex);
        if (!_nextHealthLook) _nextHealthLook = now + FIRST_HEALTH_LOOK_AFTER;
        if (_parts.healthChecks && now >= *_nextHealthLook) {
            lookNow = true;
            _nextHealthLook = now + HEALTH_LOOK_INTERVAL;
        }
    }
    if (lookNow)
        for (const AlertMessage& change : _watch.look(_parts.healthChecks(), _parts.wallNow())) queue(change, now);

    std::vector<AlertQueue::Delivery> due;
    {
        std::lock_guard lock(_mutex);
        due = _queue.takeDue(now);
    }
    if (due.empty()) return;
    const auto addresses = _parts.addresses();
    for (AlertQueue::Delivery& delivery : due) {
        // Each send may take its whole time limit: a stop does not wait for the rest, which the ending
        // process could not keep anyway.
        if (stop.stop_requested()) return;
        attempt(std::move(delivery), addresses, now);
    }
}

void AlertWorker::attempt(AlertQueue::Delivery delivery, const AlertWorkerParts::Addresses& addresses, Time now) {
    // A way that is not set drops its deliveries without a word: alerts are off for it.
    if (!channelSet(addresses.alerts, delivery.channel)) return;
    const auto sendStart = std::chrono::steady_clock::now();
    const DeliveryOutcome outcome = _parts.deliver(addresses, delivery.channel, delivery.message);
    // The retry counts from the end of this send, not from the start of the round: the sends before it
    // may have taken their whole time limits.
    now += std::chrono::floor<std::chrono::seconds>(std::chrono::steady_clock::now() - sendStart);
    delivery.attempts += 1;
    const std::string words = channelWords(addresses.alerts, delivery.channel);
    const std::string attemptText = "attempt " + std::to_string(delivery.attempts) + " of " + std::to_string(AlertQueue::MAX_ATTEMPTS);
    const std::string afterwards = delivery.attempts < AlertQueue::MAX_ATTEMPTS
                                       ? attemptText + ", next in " + minutesText(AlertQueue::RETRY_AFTER[static_cast<size_t>(delivery.attempts - 1)])
                                       : attemptText + ", given up";
    _parts.journal(attemptNote(_parts.wallNow(), words, delivery.attempts, outcome, delivery.message, afterwards));
    if (outcome.sent) return;
    std::lock_guard lock(_mutex);
    _queue.retry(std::move(delivery), now);
}

void AlertWorker::run(std::stop_token stop) {
    while (!stop.stop_requested()) {
        // An alert that cannot be made or sent must not end the process that rings the bells.
        try {
            step(std::chrono::steady_clock::now(), stop);
        } catch (const std::exception& error) {
            spdlog::error("Sending the alerts failed: {}", error.what());
        }
        std::unique_lock lock(_mutex);
        Time wakeAt = std::chrono::steady_clock::now() + HEALTH_LOOK_INTERVAL;
        if (_parts.healthChecks && _nextHealthLook) wakeAt = std::min(wakeAt, *_nextHealthLook);
        if (const auto next = _queue.nextDue()) wakeAt = std::min(wakeAt, *next);
        // Woken early by a new alert (it is due at once) or by the stop.
        _wake.wait_until(lock, stop, wakeAt, [&] {
            const auto next = _queue.nextDue();
            return next && *next <= std::chrono::steady_clock::now();
        });
    }
}

void installAlertWorker(std::shared_ptr<AlertWorker> worker) { installed.replace(std::move(worker)); }

void noticeForAlerts(const JournalEntry& entry) {
    if (const auto worker = installed.get()) worker->notice(entry, std::chrono::steady_clock::now());
}

}  // namespace quorvane
