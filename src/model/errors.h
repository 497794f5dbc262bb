#pragma once
// The error kinds of the system. Their what() texts are what the web interface shows in 400 answers,
// so they are worded for people.
#include <stdexcept>
#include <string>

namespace quorvane {

// A key that is missing or already present. Like the keys it names, the text is shown enclosed in
// single quotes: a missing key abc reads 'abc'.
class KeyError : public std::runtime_error {
public:
    explicit KeyError(const std::string& keyOrMessage) : std::runtime_error("'" + keyOrMessage + "'"), _bare(keyOrMessage) {}
    // The key or message without the quotes.
    const std::string& bare() const noexcept { return _bare; }

private:
    std::string _bare;
};

class IndexError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};

// A value of the wrong kind where a particular kind is required.
class TypeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A value of the right kind that is not acceptable (a time 24:00, an unknown enumeration number...).
class ValueError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A JSON value that does not decode into a record. The text names the member path that failed.
class DecodeError : public ValueError {
public:
    using ValueError::ValueError;
};

// A number outside the bounds declared for its field (or not finite). Its text names the member path;
// reason() is the text without it.
class BoundsError : public DecodeError {
public:
    BoundsError(const std::string& path, const std::string& reason) : DecodeError(path + ": " + reason), _reason(reason) {}
    const std::string& reason() const noexcept { return _reason; }

private:
    std::string _reason;
};

}  // namespace quorvane
