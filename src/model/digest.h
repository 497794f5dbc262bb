#pragma once
#include <memory>
#include <string>
#include <string_view>

namespace quorvane {

// SHA-256 of the UTF-8 bytes of a text, as 64 lowercase hexadecimal digits.
std::string getHash(std::string_view text);

// MD5 of bytes, as 32 lowercase hexadecimal digits (uploads are keyed by it).
std::string md5Hex(std::string_view bytes);

// MD5 of bytes that arrive piece by piece (an upload on its way to disk).
class Md5 {
public:
    Md5();
    ~Md5();
    Md5(const Md5&) = delete;
    Md5& operator=(const Md5&) = delete;

    void add(std::string_view bytes);
    // The digest of everything added, as md5Hex gives it; nothing may be added afterwards.
    std::string finishHex();

private:
    struct State;
    std::unique_ptr<State> _state;
};

// HMAC-SHA256 of a message under a key, as raw bytes (32 of them).
std::string hmacSha256(std::string_view key, std::string_view message);

// Compares two texts in time that does not depend on where they differ.
bool constantTimeEquals(std::string_view a, std::string_view b);

}  // namespace quorvane
