#pragma once
// Header fields in the order they came, looked up without regard to case.
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::http {

struct Header {
    std::string name, value;
};

// ASCII case-insensitive equality, as header names and tokens compare.
bool equalsIgnoringCase(std::string_view a, std::string_view b);
// Without leading and trailing spaces and tabs.
std::string_view trimmedSpace(std::string_view text);
// The first value of the named field, "" when absent.
const std::string& firstValue(const std::vector<Header>& fields, std::string_view name);

class Headers {
public:
    void add(std::string name, std::string value);
    bool has(std::string_view name) const;
    // The first value of the field, "" when absent.
    const std::string& value(std::string_view name) const;
    std::vector<std::string> all(std::string_view name) const;

    std::vector<Header>::const_iterator begin() const { return _fields.begin(); }
    std::vector<Header>::const_iterator end() const { return _fields.end(); }
    size_t size() const { return _fields.size(); }

private:
    std::vector<Header> _fields;
};

}  // namespace quorvane::http
