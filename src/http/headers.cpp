#include "http/headers.h"

#include <algorithm>

namespace quorvane::http {
namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

const std::string EMPTY;

}  // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

std::string_view trimmedSpace(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

void Headers::add(std::string name, std::string value) { _fields.push_back({std::move(name), std::move(value)}); }

bool Headers::has(std::string_view name) const {
    return std::any_of(_fields.begin(), _fields.end(), [&](const Header& h) { return equalsIgnoringCase(h.name, name); });
}

const std::string& firstValue(const std::vector<Header>& fields, std::string_view name) {
    for (const Header& h : fields)
        if (equalsIgnoringCase(h.name, name)) return h.value;
    return EMPTY;
}

const std::string& Headers::value(std::string_view name) const { return firstValue(_fields, name); }

std::vector<std::string> Headers::all(std::string_view name) const {
    std::vector<std::string> values;
    for (const Header& h : _fields)
        if (equalsIgnoringCase(h.name, name)) values.push_back(h.value);
    return values;
}

}  // namespace quorvane::http
