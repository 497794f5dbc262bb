#pragma once
// An answer as it goes on the wire: its head, then its body from memory or from a file in pieces.
#include <cstdint>
#include <string>

#include "http/application.h"
#include "http/file_descriptor.h"
#include "http/message.h"

namespace quorvane::http {

// What of the request shapes its answer.
struct AnswerContext {
    bool head = false;       // HEAD: everything but the body
    bool keepAlive = false;  // the client lets the connection stay open
    std::string range;       // the Range header, "" when absent
    bool ifRange = false;    // an If-Range came: we have no validators, so the whole file goes
};

struct OutgoingAnswer {
    int status = 0;
    std::string head;
    std::string body;
    FileDescriptor file;  // for file answers (not for HEAD)
    uint64_t fileOffset = 0, fileRemaining = 0;
    bool close = false;
};

// One of the transport's own answers: the status with its reason as plain text.
Response errorResponse(int status);

// Opens a file answer's file and applies the Range, lets the application finish the answer, and
// writes its head. Blocks on the file system for file answers: call it from a worker.
OutgoingAnswer prepareAnswer(Response response, const AnswerContext& context, Application& application);

// Reads the next piece of a file answer (at most maxPiece bytes) into buffer. False when the file
// ended early or cannot be read: the answer cannot be completed.
bool readNextPiece(OutgoingAnswer& answer, std::string& buffer, size_t maxPiece);

}  // namespace quorvane::http
