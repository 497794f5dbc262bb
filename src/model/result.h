#pragma once
// Result: either a success value or an error value, returned by every request to the remote service.
#include <optional>
#include <string>
#include <utility>

#include "model/errors.h"

namespace quorvane {

// The text form of an error value, for the message of getValue() on an error result. Types other than
// text provide describe(const E&) next to their definition.
inline std::string describe(const std::string& text) { return text; }

template <class T, class E>
class Result {
public:
    static Result Ok(T value) { return Result(std::optional<T>(std::move(value)), std::nullopt); }
    static Result Err(E error) { return Result(std::nullopt, std::optional<E>(std::move(error))); }

    Result(std::optional<T> ok = std::nullopt, std::optional<E> err = std::nullopt) : _ok(std::move(ok)), _err(std::move(err)) {}

    // A result is ok exactly when it holds no error.
    bool isOk() const { return !_err.has_value(); }

    const std::optional<T>& getValue() const {
        if (!isOk()) throw ValueError("Called getValue() on an error Result: " + describe(*_err));
        return _ok;
    }

    const E& getError() const {
        if (isOk()) throw ValueError("Called getError() on an ok Result");
        return *_err;
    }

private:
    std::optional<T> _ok;
    std::optional<E> _err;
};

}  // namespace quorvane
