#pragma once
// One client connection, from its first byte to its close. Everything here runs on the connection's
// strand, except the jobs it hands to the worker pool (handlers, spooling, file pieces); while such a
// job runs the connection waits for it, so the two never touch the same state at once.
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/ssl/stream.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/flat_buffer.hpp>

#include "http/body_rate.h"
#include "http/header_scanner.h"
#include "http/message.h"
#include "http/multipart_parser.h"
#include "http/multipart_spool.h"
#include "http/outgoing_answer.h"
#include "http/request_parser.h"
#include "http/server_core.h"

namespace quorvane::http {

class Connection : public std::enable_shared_from_this<Connection> {
public:
    // The socket must have been accepted onto a strand. With a TLS context the connection begins with
    // the TLS handshake and speaks HTTP inside it.
    Connection(ServerCore& core, boost::asio::ip::tcp::socket socket, std::string address, std::shared_ptr<boost::asio::ssl::context> tls = nullptr);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // On the connection's strand.
    void start();
    // Closes the socket at once. On the strand, or while no I/O thread runs.
    void closeNow();
    // Closes, and lets go of the request and answer under way (spooled files are removed). Only while
    // no I/O thread and no worker runs.
    void abandon();
    const boost::asio::any_io_executor& strand() const { return _strand; }

private:
    enum class Phase { handshake, idle, header, body, spooling, handling, continuing, writing, lingering, closed };
    using Clock = std::chrono::steady_clock;

    void handshake();
    void beginRequest();
    // Through TLS when the connection has it, else straight on the socket.
    template <typename Buffers, typename Handler>
    void readFromClient(const Buffers& buffers, Handler&& handler);
    template <typename Buffers, typename Handler>
    void writeToClient(const Buffers& buffers, Handler&& handler);
    void waitForRequest();
    void readSome(size_t bytes);
    void onRead(boost::system::error_code error, size_t bytes);
    void processHeader();
    void afterHeader();
    bool applyPlan();
    void continueBody();
    void processBody();
    void spoolPending(bool last);
    void afterSpool(int errorStatus, const std::string& reason);
    void dispatchRequest();
    // The handler's answer, ready to write; null when its file cannot be read.
    std::shared_ptr<OutgoingAnswer> answerRequest(std::shared_ptr<Request> request, const AnswerContext& context);
    void fail(int status, const std::string& why);
    void answerNow(Response response);
    void writeAnswer(std::shared_ptr<OutgoingAnswer> answer);
    void onWritten(boost::system::error_code error);
    void sendNextPiece();
    void startLinger();
    void arm(Clock::time_point deadline);
    void disarm();
    void onTimeout();

    ServerCore& _core;
    const Limits& _limits;
    boost::asio::ip::tcp::socket _socket;  // accepted onto a strand of its own
    boost::asio::any_io_executor _strand;  // the socket's: its handlers and ours never run at once
    std::shared_ptr<boost::asio::ssl::context> _tlsContext;
    std::optional<boost::asio::ssl::stream<boost::asio::ip::tcp::socket&>> _tls;  // over _socket, from the first bytes on
    boost::asio::steady_timer _timer;
    uint64_t _timerGeneration = 0;
    std::string _address;
    Phase _phase = Phase::idle;
    bool _readPending = false;
    bool _slotHeld = true;
    boost::beast::flat_buffer _buffer;
    size_t _scannedBytes = 0;
    size_t _lingerBytes = 0;

    // The request being read.
    std::unique_ptr<Request> _request;
    std::optional<RequestParser> _parser;
    std::optional<HeaderScanner> _scanner;
    AnswerContext _context;
    BodyPlan _plan;
    std::optional<BodyRate> _rate;
    std::unique_ptr<MultipartSpool> _spool;
    std::unique_ptr<MultipartParser> _multipart;
    std::string _bodyPiece;  // multipart bytes waiting for the spool

    // The answer being written.
    std::shared_ptr<OutgoingAnswer> _answer;
    std::string _filePiece;
};

}  // namespace quorvane::http
