#pragma once
// The far ends of alerts inside a test, on 127.0.0.1 at free ports: a webhook receiver that keeps what
// it was sent, and an SMTP server that speaks just enough of the protocol to take one mail after another.
#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorvane::testing {

// A socket listening on 127.0.0.1 at a free port, and that port.
inline int listenOnLoopback(int& port, const char* who) {
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (socket < 0 || ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(socket, 8) != 0)
        throw std::runtime_error(std::string(who) + " cannot listen");
    socklen_t length = sizeof address;
    ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return socket;
}

class WebhookReceiver {
public:
    struct Received {
        std::string body;
        std::string contentType;
    };

    explicit WebhookReceiver(int status = 200) : _status(status) {
        _server.Post("/hook", [this](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard lock(_mutex);
            _received.push_back({request.body, request.get_header_value("Content-Type")});
            response.status = _status;
            if (_status == 302) response.set_header("Location", "/elsewhere");
            response.set_content("thanks", "text/plain");
        });
        _server.Post("/elsewhere", [this](const httplib::Request&, httplib::Response& response) {
            std::lock_guard lock(_mutex);
            _redirectsFollowed += 1;
            response.set_content("followed", "text/plain");
        });
        _port = _server.bind_to_any_port("127.0.0.1");
        if (_port <= 0) throw std::runtime_error("the webhook receiver cannot listen");
        _thread = std::thread([this] { _server.listen_after_bind(); });
        while (!_server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~WebhookReceiver() {
        _server.stop();
        _thread.join();
    }
    WebhookReceiver(const WebhookReceiver&) = delete;
    WebhookReceiver& operator=(const WebhookReceiver&) = delete;

    std::string url() const { return "http://127.0.0.1:" + std::to_string(_port) + "/hook"; }
    void answerWith(int status) {
        std::lock_guard lock(_mutex);
        _status = status;
    }
    std::vector<Received> received() const {
        std::lock_guard lock(_mutex);
        return _received;
    }
    int redirectsFollowed() const {
        std::lock_guard lock(_mutex);
        return _redirectsFollowed;
    }

private:
    httplib::Server _server;
    int _port = 0;
    mutable std::mutex _mutex;
    int _status;
    int _redirectsFollowed = 0;
    std::vector<Received> _received;
    std::thread _thread;
};

// A listening socket that takes connections and never says a word: a receiver that hangs.
class SilentListener {
public:
    SilentListener() : _socket(listenOnLoopback(_port, "the silent listener")) {}
    ~SilentListener() { ::close(_socket); }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;
    int port() const { return _port; }

private:
    int _port = 0;  // before the socket: the socket's making sets it
    int _socket = -1;
};

class SmtpStandIn {
public:
    struct Mail {
        std::string from;
        std::vector<std::string> to;
        std::string data;  // as sent between DATA and the lone ".", dot-stuffing undone
    };

    // refuseRecipients: every RCPT TO is answered 550.
    explicit SmtpStandIn(bool refuseRecipients = false) : _socket(listenOnLoopback(_port, "the SMTP stand-in")), _refuse(refuseRecipients) {
        _thread = std::thread([this] { serve(); });
    }
    ~SmtpStandIn() {
        _stop = true;
        _thread.join();
        ::close(_socket);
    }
    SmtpStandIn(const SmtpStandIn&) = delete;
    SmtpStandIn& operator=(const SmtpStandIn&) = delete;

    std::string url() const { return "smtp://127.0.0.1:" + std::to_string(_port); }
    std::vector<Mail> mails() const {
        std::lock_guard lock(_mutex);
        return _mails;
    }

private:
    void serve() {
        while (!_stop) {
            pollfd waiting{_socket, POLLIN, 0};
            if (::poll(&waiting, 1, 50) <= 0) continue;
            const int client = ::accept(_socket, nullptr, nullptr);
            if (client < 0) continue;
            converse(client);
            ::close(client);
        }
    }

    // One line without its CRLF; false when the client went away or the stand-in is stopping.
    bool readLine(int client, std::string& buffer, std::string& line) {
        while (true) {
            const size_t end = buffer.find("\r\n");
            if (end != std::string::npos) {
                line = buffer.substr(0, end);
                buffer.erase(0, end + 2);
                return true;
            }
            pollfd waiting{client, POLLIN, 0};
            if (_stop || ::poll(&waiting, 1, 5000) <= 0) return false;
            char bytes[4096];
            const ssize_t got = ::recv(client, bytes, sizeof bytes, 0);
            if (got <= 0) return false;
            buffer.append(bytes, static_cast<size_t>(got));
        }
    }

    static void say(int client, const std::string& line) {
        const std::string text = line + "\r\n";
        (void)!::send(client, text.data(), text.size(), MSG_NOSIGNAL);
    }

    void converse(int client) {
        std::string buffer, line;
        Mail mail;
        say(client, "220 stand-in ESMTP");
        while (readLine(client, buffer, line)) {
            const std::string verb = line.substr(0, 4);
            if (verb == "EHLO" || verb == "HELO") {
                say(client, "250 stand-in");
            } else if (line.rfind("MAIL FROM:", 0) == 0) {
                mail.from = line.substr(10);
                say(client, "250 OK");
            } else if (line.rfind("RCPT TO:", 0) == 0) {
                if (_refuse) {
                    say(client, "550 No such user here");
                } else {
                    mail.to.push_back(line.substr(8));
                    say(client, "250 OK");
                }
            } else if (verb == "DATA") {
                say(client, "354 End data with <CR><LF>.<CR><LF>");
                while (readLine(client, buffer, line) && line != ".") mail.data += (line.rfind("..", 0) == 0 ? line.substr(1) : line) + "\r\n";
                {
                    std::lock_guard lock(_mutex);
                    _mails.push_back(mail);
                }
                mail = {};
                say(client, "250 OK: queued");
            } else if (verb == "QUIT") {
                say(client, "221 Bye");
                return;
            } else {
                say(client, "250 OK");
            }
        }
    }

    int _port = 0;  // before the socket: the socket's making sets it
    int _socket = -1;
    const bool _refuse;
    std::atomic<bool> _stop{false};
    mutable std::mutex _mutex;
    std::vector<Mail> _mails;
    std::thread _thread;
};

}  // namespace quorvane::testing
