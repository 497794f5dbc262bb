#pragma once
#include <string>

namespace quorvane {

// A random version 4 UUID in canonical lowercase form (36 characters), from OpenSSL's strong source.
std::string newUuid();

// n random bytes from OpenSSL's strong source, as 2n lowercase hexadecimal characters.
std::string randomHex(size_t byteCount);

// The lowercase hexadecimal form of bytes.
std::string toHex(const unsigned char* bytes, size_t count);

}  // namespace quorvane
