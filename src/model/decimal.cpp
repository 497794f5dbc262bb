#include "model/decimal.h"

#include <charconv>

#include "model/text.h"

namespace quorvane {
namespace {

template <class Number>
std::optional<Number> parseDecimal(std::string_view text) {
    text = trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<int64_t> parseDecimalInteger(std::string_view text) { return parseDecimal<int64_t>(text); }

std::optional<double> parseDecimalReal(std::string_view text) { return parseDecimal<double>(text); }

}  // namespace quorvane
