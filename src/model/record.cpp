#include "model/record.h"

#include <limits>

#include "model/decimal.h"

namespace quorvane {
namespace {

int64_t truncatedInteger(double value, const std::string& path) {
    if (!std::isfinite(value) || value >= 9.2e18 || value <= -9.2e18) failDecode(path, "number out of range");
    return static_cast<int64_t>(std::trunc(value));
}

}  // namespace

std::string numberText(double value) {
    const std::string text = realText(value);
    return text.ends_with(".0") ? text.substr(0, text.size() - 2) : text;
}

std::string numberText(int64_t value) { return std::to_string(value); }

std::string expectedWithin(int64_t min, int64_t max) { return "expected an integer from " + numberText(min) + " to " + numberText(max); }

std::string expectedWithin(double min, double max) { return "expected a number from " + numberText(min) + " to " + numberText(max); }

std::string kindName(const Json& value) {
    switch (value.type()) {
        case Json::value_t::null: return "null";
        case Json::value_t::boolean: return "a truth value";
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned: return "an integer";
        case Json::value_t::number_float: return "a real number";
        case Json::value_t::string: return "a text";
        case Json::value_t::array: return "an array";
        case Json::value_t::object: return "an object";
        default: return "an unknown value";
    }
}

void failDecode(const std::string& path, const std::string& reason) {
    throw DecodeError((path.empty() ? std::string("record") : path) + ": " + reason);
}

const std::string& requireString(const Json& value, const std::string& path) {
    if (!value.is_string()) failDecode(path, "expected a text, found " + kindName(value));
    return value.get_ref<const std::string&>();
}

int64_t decodeInteger(const Json& value, const std::string& path) {
    if (value.is_number_integer()) {
        if (!isInt64(value)) failDecode(path, "number out of range");
        return value.get<int64_t>();
    }
    if (value.is_number_float()) return truncatedInteger(value.get<double>(), path);
    if (value.is_boolean()) return value.get<bool>() ? 1 : 0;
    if (value.is_string()) {
        if (const auto number = parseDecimalInteger(value.get_ref<const std::string&>())) return *number;
        failDecode(path, "the text '" + value.get<std::string>() + "' is not an integer");
    }
    failDecode(path, "expected an integer, found " + kindName(value));
}

double decodeReal(const Json& value, const std::string& path) {
    if (value.is_number()) return value.get<double>();
    if (value.is_boolean()) return value.get<bool>() ? 1.0 : 0.0;
    if (value.is_string()) {
        if (const auto number = parseDecimalReal(value.get_ref<const std::string&>())) return *number;
        failDecode(path, "the text '" + value.get<std::string>() + "' is not a number");
    }
    failDecode(path, "expected a number, found " + kindName(value));
}

bool decodeTruth(const Json& value, const std::string& path) {
    if (value.is_boolean()) return value.get<bool>();
    if (value.is_number()) return value.get<double>() != 0.0;
    if (value.is_string()) return !value.get_ref<const std::string&>().empty();
    failDecode(path, "expected a truth value, found " + kindName(value));
}

std::string decodeText(const Json& value, const std::string& path) {
    if (value.is_string()) return value.get<std::string>();
    if (value.is_number_integer()) return value.is_number_unsigned() ? std::to_string(value.get<uint64_t>()) : std::to_string(value.get<int64_t>());
    if (value.is_number_float()) return realText(value.get<double>());
    if (value.is_boolean()) return value.get<bool>() ? "True" : "False";
    failDecode(path, "expected a text, found " + kindName(value));
}

int64_t decodeEnumNumber(const Json& value, const std::string& path) {
    if (value.is_number_integer()) return decodeInteger(value, path);
    if (value.is_number_float() && std::trunc(value.get<double>()) == value.get<double>()) return truncatedInteger(value.get<double>(), path);
    failDecode(path, "expected a number, found " + kindName(value));
}

}  // namespace quorvane
