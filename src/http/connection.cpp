#include "http/connection.h"

#include <array>
#include <exception>

#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>

#include "http/http_error.h"
#include "http/request_target.h"

namespace quorvane::http {
namespace asio = boost::asio;

namespace {

constexpr size_t HEADER_READ_BYTES = 16 * 1024;
constexpr size_t BODY_READ_BYTES = 64 * 1024;
constexpr size_t FILE_PIECE_BYTES = 64 * 1024;
constexpr size_t IDLE_BUFFER_BYTES = 16 * 1024;
// After a closing answer the client may still be sending (a refused body): what arrives meanwhile is
// read and dropped for a moment, so that closing does not reset the connection before the client has
// our answer, and no more than this is read.
constexpr size_t LINGER_BYTES = 256 * 1024;
constexpr std::chrono::milliseconds LINGER_TIME{2000};

constexpr std::string_view CONTINUE = "HTTP/1.1 100 Continue\r\n\r\n";

bool isIdentity(std::string_view encoding) {
    encoding = trimmedSpace(encoding);
    return encoding.empty() || equalsIgnoringCase(encoding, "identity");
}

}  // namespace

Connection::Connection(ServerCore& core, asio::ip::tcp::socket socket, std::string address, std::shared_ptr<asio::ssl::context> tls)
    : _core(core),
      _limits(core.limits),
      _socket(std::move(socket)),
      _strand(_socket.get_executor()),
      _tlsContext(std::move(tls)),
      _timer(_strand),
      _address(std::move(address)) {}

Connection::~Connection() {
    closeNow();
    _core.unregisterConnection(this);
}

void Connection::start() {
    if (_tlsContext) return handshake();
    beginRequest();
}

template <typename Buffers, typename Handler>
void Connection::readFromClient(const Buffers& buffers, Handler&& handler) {
    if (_tls) _tls->async_read_some(buffers, std::forward<Handler>(handler));
    else _socket.async_read_some(buffers, std::forward<Handler>(handler));
}

template <typename Buffers, typename Handler>
void Connection::writeToClient(const Buffers& buffers, Handler&& handler) {
    if (_tls) asio::async_write(*_tls, buffers, std::forward<Handler>(handler));
    else asio::async_write(_socket, buffers, std::forward<Handler>(handler));
}

// A handshake has the header block's time: a client that stalls in it, or sends anything but a
// ClientHello, is closed without an answer (there is no channel to answer on). The TLS stream and its
// buffers (some 90 KiB) are made once the client's first bytes arrive, so a client that connects and
// stays silent costs no more than a plain one.
void Connection::handshake() {
    _phase = Phase::handshake;
    arm(Clock::now() + _limits.headerTimeout);
    _socket.async_wait(asio::socket_base::wait_read, [self = shared_from_this()](boost::system::error_code error) {
        if (self->_phase != Phase::handshake) return;
        if (error) return self->closeNow();
        self->_tls.emplace(self->_socket, *self->_tlsContext);
        self->_tls->async_handshake(asio::ssl::stream_base::server, [self](boost::system::error_code failure) {
            if (self->_phase != Phase::handshake) return;
            if (failure) {
                self->_core.application.log(LogLevel::debug, "TLS handshake with " + self->_address + " failed: " + failure.message());
                return self->closeNow();
            }
            self->disarm();
            self->beginRequest();
        });
    });
}

void Connection::closeNow() {
    if (_phase == Phase::closed) return;
    _phase = Phase::closed;
    ++_timerGeneration;
    _timer.cancel();
    boost::system::error_code ignored;
    _socket.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    _socket.close(ignored);
    if (_slotHeld) _core.slots.release(_address);
    _slotHeld = false;
}

void Connection::abandon() {
    closeNow();
    _parser.reset();
    _multipart.reset();
    _spool.reset();
    _request.reset();
    _plan = BodyPlan();
    _answer.reset();
}

void Connection::arm(Clock::time_point deadline) {
    const uint64_t generation = ++_timerGeneration;
    _timer.expires_at(deadline);
    _timer.async_wait([self = shared_from_this(), generation](boost::system::error_code error) {
        if (!error && generation == self->_timerGeneration) self->onTimeout();
    });
}

void Connection::disarm() {
    ++_timerGeneration;
    _timer.cancel();
}

void Connection::onTimeout() {
    switch (_phase) {
        case Phase::header: return fail(408, "its header block came too slowly");
        case Phase::body: return fail(408, "its body came too slowly");
        case Phase::writing:
        case Phase::continuing: _core.application.log(LogLevel::debug, "dropped " + _address + ": it stopped reading our answer"); return closeNow();
        case Phase::handshake:
            _core.application.log(LogLevel::debug, "dropped " + _address + ": its TLS handshake came too slowly");
            return closeNow();
        case Phase::idle:
        case Phase::lingering: return closeNow();
        default: return;
    }
}

void Connection::beginRequest() {
    _request = std::make_unique<Request>();
    _request->remoteAddress = _address;
    _request->secure = _tls.has_value();
    _parser.emplace(*_request);
    _scanner.emplace(_limits);
    _scannedBytes = 0;
    _context = AnswerContext();
    _rate.reset();
    _answer.reset();
    std::string().swap(_filePiece);
    if (_buffer.size() > 0) {  // a pipelined request is already here
        _phase = Phase::header;
        arm(Clock::now() + _limits.headerTimeout);
        return processHeader();
    }
    if (_buffer.capacity() > IDLE_BUFFER_BYTES) _buffer.shrink_to_fit();
    waitForRequest();
}

// An idle connection waits without a buffer: it costs its socket and little more. Over TLS it reads at
// once instead: decrypted bytes may wait inside the TLS stream, where readiness of the socket says
// nothing of them.
void Connection::waitForRequest() {
    _phase = Phase::idle;
    arm(Clock::now() + _limits.keepAliveIdle);
    if (_tls) return readSome(HEADER_READ_BYTES);
    _readPending = true;
    _socket.async_wait(asio::socket_base::wait_read, [self = shared_from_this()](boost::system::error_code error) {
        self->_readPending = false;
        if (self->_phase != Phase::idle) return;
        if (error) return self->closeNow();
        self->_phase = Phase::header;
        self->arm(Clock::now() + self->_limits.headerTimeout);
        self->readSome(HEADER_READ_BYTES);
    });
}

void Connection::readSome(size_t bytes) {
    _readPending = true;
    readFromClient(_buffer.prepare(bytes),
                   [self = shared_from_this()](boost::system::error_code error, size_t count) { self->onRead(error, count); });
}

void Connection::onRead(boost::system::error_code error, size_t bytes) {
    _readPending = false;
    _buffer.commit(bytes);
    switch (_phase) {
        case Phase::idle:  // over TLS only
            if (error) return closeNow();
            _phase = Phase::header;
            arm(Clock::now() + _limits.headerTimeout);
            return processHeader();
        case Phase::header:
            if (error) return closeNow();  // the client went away
            return processHeader();
        case Phase::body:
            if (error) return closeNow();
            return processBody();
        case Phase::lingering:
            _lingerBytes += _buffer.size();
            _buffer.consume(_buffer.size());
            if (error || _lingerBytes > LINGER_BYTES) return closeNow();
            return readSome(HEADER_READ_BYTES);
        default: return;  // an answer is on its way after a timeout; the bytes are never looked at
    }
}

void Connection::processHeader() {
    const std::string_view data(static_cast<const char*>(_buffer.data().data()), _buffer.size());
    const HeaderScanner::Result result = _scanner->scan(data.substr(_scannedBytes));
    switch (result) {
        case HeaderScanner::Result::needMore: _scannedBytes = data.size(); return readSome(HEADER_READ_BYTES);
        case HeaderScanner::Result::requestLineTooLong: return fail(414, "its request line is too long");
        case HeaderScanner::Result::headerLineTooLong: return fail(431, "a header line is too long");
        case HeaderScanner::Result::tooManyHeaderLines: return fail(431, "it sent too many header lines");
        case HeaderScanner::Result::complete: break;
    }
    // Nothing of a request with Transfer-Encoding is trusted, the rest of its header block included.
    if (_scanner->sawTransferEncoding()) return fail(411, "it sent Transfer-Encoding");
    std::string_view block = data.substr(0, _scanner->blockSize());
    const size_t leadingEmptyLines = block.find_first_not_of("\r\n");
    _buffer.consume(leadingEmptyLines);
    block.remove_prefix(leadingEmptyLines);
    boost::beast::error_code error;
    const size_t parsed = _parser->put(asio::buffer(block.data(), block.size()), error);
    if (error || !_parser->is_header_done()) return fail(400, "its header block does not parse: " + error.message());
    _buffer.consume(parsed);
    afterHeader();
}

void Connection::afterHeader() {
    disarm();
    Request& request = *_request;
    const int version = _parser->version();  // 10 or 11: the parser refuses any other
    auto target = parseRequestTarget(request.target);
    if (!target) return fail(400, "its request target is not a path");
    request.path = std::move(target->path);
    request.query = std::move(target->query);
    request.contentLength = _parser->content_length().value_or(0);
    _context.head = request.method == "HEAD";
    _context.keepAlive = version == 11 && _parser->keep_alive();
    _context.range = request.headers.value("Range");
    _context.ifRange = request.headers.has("If-Range");
    if (request.contentLength > _limits.maxBodyBytes) return fail(413, "its body is too large");
    if (!isIdentity(request.headers.value("Content-Encoding"))) {
        Response refusal = errorResponse(415);
        refusal.close = request.announcedBody();
        return answerNow(std::move(refusal));
    }
    if (!applyPlan()) return;
    if (_parser->is_done()) return dispatchRequest();
    _phase = Phase::body;
    _rate.emplace(_limits.minBodyBytesPerSecond, _limits.bodyRateWindow, Clock::now());
    const bool expectsContinue = version == 11 && equalsIgnoringCase(trimmedSpace(request.headers.value("Expect")), "100-continue");
    if (!expectsContinue || _buffer.size() > 0) return continueBody();
    _phase = Phase::continuing;
    _rate->pause(Clock::now());
    arm(Clock::now() + _limits.writeStall);
    writeToClient(asio::buffer(CONTINUE.data(), CONTINUE.size()), [self = shared_from_this()](boost::system::error_code error, size_t) {
        if (self->_phase != Phase::continuing) return;
        if (error) return self->closeNow();
        self->_phase = Phase::body;
        self->_rate->resume(Clock::now());  // the window starts once the client may send
        self->continueBody();
    });
}

// Asks the application what to do with the body. False when the request has been answered already.
bool Connection::applyPlan() {
    Request& request = *_request;
    try {
        _plan = _core.application.planBody(request);
    } catch (const std::exception& error) {
        _core.application.log(LogLevel::error, "planning the body of " + request.method + " " + request.path + " failed: " + error.what());
        Response failure = errorResponse(500);
        failure.close = request.announcedBody();
        answerNow(std::move(failure));
        return false;
    }
    switch (_plan.kind) {
        case BodyPlan::Kind::refuse: {
            Response refusal = std::move(_plan.refusal);
            refusal.close = refusal.close || request.announcedBody();
            answerNow(std::move(refusal));
            return false;
        }
        case BodyPlan::Kind::none:
            if (request.contentLength > _limits.maxInMemoryBody) {
                fail(413, "it sent a body where none was expected");
                return false;
            }
            _parser->bodySink = nullptr;
            return true;
        case BodyPlan::Kind::inMemory:
            if (request.contentLength > _limits.maxInMemoryBody) {
                fail(413, "its body is too large to hold");
                return false;
            }
            request.body.reserve(request.contentLength);
            _parser->bodySink = [&body = request.body](std::string_view bytes) { body.append(bytes); };
            return true;
        case BodyPlan::Kind::multipart: {
            if (!request.announcedBody()) return true;
            const auto boundary = MultipartParser::boundaryOf(request.headers.value("Content-Type"));
            if (!boundary) {
                fail(415, "its body is not multipart/form-data");
                return false;
            }
            _spool = std::make_unique<MultipartSpool>(_plan, _limits.maxFieldBytes);
            _multipart = std::make_unique<MultipartParser>(*boundary, _limits.maxParts, _limits.maxPartHeaderBytes, *_spool);
            _parser->bodySink = [this](std::string_view bytes) { _bodyPiece.append(bytes); };
            return true;
        }
    }
    return true;
}

void Connection::continueBody() {
    if (_buffer.size() > 0) return processBody();
    arm(_rate->deadline());
    readSome(BODY_READ_BYTES);
}

void Connection::processBody() {
    boost::beast::error_code error;
    const size_t parsed = _parser->put(asio::buffer(_buffer.data().data(), _buffer.size()), error);
    if (error) return fail(400, "its body does not parse: " + error.message());
    _buffer.consume(parsed);
    _rate->received(parsed, Clock::now());
    const bool done = _parser->is_done();
    if (_multipart && (!_bodyPiece.empty() || done)) return spoolPending(done);
    if (done) return dispatchRequest();
    continueBody();
}

// Multipart bytes are taken apart and written on a worker. The connection reads nothing more until
// they are on disk, so a slow disk slows its own uploads and never an I/O thread.
void Connection::spoolPending(bool last) {
    _phase = Phase::spooling;
    disarm();
    _rate->pause(Clock::now());
    _core.workers.submitFileWork([self = shared_from_this(), last] {
        int errorStatus = 0;
        std::string reason;
        try {
            self->_multipart->feed(self->_bodyPiece);
            self->_bodyPiece.clear();
            if (last) {
                self->_multipart->finish();
                self->_request->parts = self->_spool->takeParts();
            }
        } catch (const HttpError& error) {
            errorStatus = error.status();
            reason = error.what();
        } catch (const std::exception& error) {
            errorStatus = 500;
            reason = error.what();
        }
        asio::post(self->_strand, [self, errorStatus, reason] { self->afterSpool(errorStatus, reason); });
    });
}

void Connection::afterSpool(int errorStatus, const std::string& reason) {
    if (_phase != Phase::spooling) return;
    if (errorStatus >= 500) _core.application.log(LogLevel::error, "an upload from " + _address + " failed: " + reason);
    if (errorStatus != 0) return fail(errorStatus, reason);
    if (_parser->is_done()) return dispatchRequest();
    _phase = Phase::body;
    _rate->resume(Clock::now());
    continueBody();
}

void Connection::dispatchRequest() {
    _phase = Phase::handling;
    disarm();
    _parser.reset();
    _multipart.reset();
    _spool.reset();
    std::string().swap(_bodyPiece);
    _request->planContext = std::move(_plan.context);
    const bool handleInline = _plan.handleInline && _plan.kind != BodyPlan::Kind::multipart;
    _plan = BodyPlan();
    std::shared_ptr<Request> request = std::move(_request);
    if (handleInline) {
        if (auto answer = answerRequest(std::move(request), _context)) return writeAnswer(std::move(answer));
        return closeNow();
    }
    const bool taken = _core.workers.submitRequest([self = shared_from_this(), request, context = _context]() mutable {
        auto answer = self->answerRequest(std::move(request), context);
        asio::post(self->_strand, [self, answer] { answer ? self->writeAnswer(answer) : self->closeNow(); });
    });
    if (!taken) fail(503, "the worker queue is full");
}

std::shared_ptr<OutgoingAnswer> Connection::answerRequest(std::shared_ptr<Request> request, const AnswerContext& context) {
    Application& application = _core.application;
    Response response;
    try {
        response = application.handle(*request);
    } catch (const std::exception& error) {
        application.log(LogLevel::error, "handling " + request->method + " " + request->path + " failed: " + error.what());
        response = errorResponse(500);
    } catch (...) {
        application.log(LogLevel::error, "handling " + request->method + " " + request->path + " failed");
        response = errorResponse(500);
    }
    request.reset();  // its spooled files, unless the handler kept them, go here, off the I/O threads
    auto answer = std::make_shared<OutgoingAnswer>(prepareAnswer(std::move(response), context, application));
    if (answer->file && !readNextPiece(*answer, _filePiece, FILE_PIECE_BYTES)) {
        application.log(LogLevel::error, "a file to send could not be read");
        return nullptr;
    }
    return answer;
}

void Connection::fail(int status, const std::string& why) {
    _core.application.log(LogLevel::debug, std::to_string(status) + " for " + _address + ": " + why);
    Response response = errorResponse(status);
    response.close = true;
    answerNow(std::move(response));
}

// Answers from the I/O thread, before or instead of a handler: always from memory.
void Connection::answerNow(Response response) {
    disarm();
    _parser.reset();
    _multipart.reset();
    _spool.reset();
    response.file.reset();
    writeAnswer(std::make_shared<OutgoingAnswer>(prepareAnswer(std::move(response), _context, _core.application)));
}

void Connection::writeAnswer(std::shared_ptr<OutgoingAnswer> answer) {
    if (_phase == Phase::closed) return;
    _phase = Phase::writing;
    _answer = std::move(answer);
    arm(Clock::now() + _limits.writeStall);
    const std::string& body = _answer->file ? _filePiece : _answer->body;
    const std::array<asio::const_buffer, 2> buffers{asio::buffer(_answer->head), asio::buffer(body)};
    writeToClient(buffers, [self = shared_from_this()](boost::system::error_code error, size_t) { self->onWritten(error); });
}

void Connection::onWritten(boost::system::error_code error) {
    if (_phase != Phase::writing) return;
    if (error) return closeNow();
    if (_answer->file && _answer->fileRemaining > 0) return sendNextPiece();
    disarm();
    if (_answer->close) return startLinger();
    beginRequest();
}

// The next piece of a file is read on a worker; the connection writes it when it comes.
void Connection::sendNextPiece() {
    disarm();
    _core.workers.submitFileWork([self = shared_from_this()] {
        const bool read = readNextPiece(*self->_answer, self->_filePiece, FILE_PIECE_BYTES);
        asio::post(self->_strand, [self, read] {
            if (self->_phase != Phase::writing) return;
            if (!read) {
                self->_core.application.log(LogLevel::error, "a file being sent could not be read to its end");
                return self->closeNow();
            }
            self->arm(Clock::now() + self->_limits.writeStall);
            self->writeToClient(asio::buffer(self->_filePiece), [self](boost::system::error_code error, size_t) { self->onWritten(error); });
        });
    });
}

void Connection::startLinger() {
    _phase = Phase::lingering;
    _answer.reset();
    boost::system::error_code ignored;
    _socket.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
    arm(Clock::now() + std::min(LINGER_TIME, _limits.keepAliveIdle));
    if (_readPending) return;  // the read already waiting drops what comes
    _buffer.consume(_buffer.size());
    readSome(HEADER_READ_BYTES);
}

}  // namespace quorvane::http
