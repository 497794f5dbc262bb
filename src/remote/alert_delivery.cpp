#include "remote/alert_delivery.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

#include <curl/curl.h>

namespace quorvane {
namespace {

constexpr size_t MAX_ANSWER_BYTES = 64 * 1024;

void initialiseOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyHandle {
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> handle{curl_easy_init(), &curl_easy_cleanup};
    char error[CURL_ERROR_SIZE] = {};
};

// Options every alert request shares: bounded in time, no signals (other threads run), only the given
// protocols, no redirects.
void commonOptions(EasyHandle& easy, const std::string& url, const char* protocols, std::chrono::milliseconds timeLimit) {
    CURL* curl = easy.handle.get();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, easy.error);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, protocols);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(timeLimit.count()));
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(std::min<std::chrono::milliseconds::rep>(timeLimit.count(), 10000)));
#ifdef _WIN32
    // Windows keeps its trusted certificates in its own store, not in a file OpenSSL would find.
    curl_easy_setopt(curl, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_NATIVE_CA));
#endif
}

std::string failureText(const EasyHandle& easy, CURLcode code) {
    return easy.error[0] != '\0' ? std::string(easy.error) : std::string(curl_easy_strerror(code));
}

size_t discardAnswer(char*, size_t size, size_t count, void* received) {
    auto& total = *static_cast<size_t*>(received);
    total += size * count;
    // Returning less than offered ends the transfer: a receiver that talks on is not listened to.
    return total > MAX_ANSWER_BYTES ? 0 : size * count;
}

struct MessageReader {
    const std::string& text;
    size_t offset = 0;
};

size_t readMessage(char* buffer, size_t size, size_t count, void* source) {
    auto& reader = *static_cast<MessageReader*>(source);
    const size_t length = std::min(size * count, reader.text.size() - reader.offset);
    std::memcpy(buffer, reader.text.data() + reader.offset, length);
    reader.offset += length;
    return length;
}

}  // namespace

DeliveryOutcome postJsonToWebhook(const std::string& url, const std::string& json, std::chrono::milliseconds timeLimit) {
    initialiseOnce();
    EasyHandle easy;
    if (!easy.handle) return {false, "The web client could not be started"};
    commonOptions(easy, url, "http,https", timeLimit);
    CURL* curl = easy.handle.get();
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers(curl_slist_append(nullptr, "Content-Type: application/json"),
                                                                        &curl_slist_free_all);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, json.c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(json.size()));
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Quorvane Player");
    size_t received = 0;
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, discardAnswer);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &received);
    const CURLcode code = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    // An answer cut short after its status still tells whether the message was taken.
    if (code != CURLE_OK && !(code == CURLE_WRITE_ERROR && status != 0)) return {false, failureText(easy, code)};
    if (status < 200 || status > 299) return {false, "The webhook answered " + std::to_string(status)};
    return {true, ""};
}

DeliveryOutcome sendMail(const MailDelivery& mail, std::chrono::milliseconds timeLimit) {
    initialiseOnce();
    EasyHandle easy;
    if (!easy.handle) return {false, "The mail client could not be started"};
    commonOptions(easy, mail.server, "smtp,smtps", timeLimit);
    CURL* curl = easy.handle.get();
    const std::string from = "<" + mail.from + ">";
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.c_str());
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> recipients(curl_slist_append(nullptr, ("<" + mail.to + ">").c_str()),
                                                                           &curl_slist_free_all);
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients.get());
    // STARTTLS whenever the server offers it; smtps:// is TLS from the first byte.
    curl_easy_setopt(curl, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY));
    MessageReader reader{mail.message};
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, readMessage);
    curl_easy_setopt(curl, CURLOPT_READDATA, &reader);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    const CURLcode code = curl_easy_perform(curl);
    if (code != CURLE_OK) return {false, failureText(easy, code)};
    return {true, ""};
}

}  // namespace quorvane
