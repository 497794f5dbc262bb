#include "web/settings_update.h"

#include <type_traits>

#include "model/text.h"

namespace quorvane::web {
namespace {

std::vector<std::string> splitPath(const std::string& path) {
    const auto parts = splitAt(path, '.');
    return {parts.begin(), parts.end()};
}

template <class T>
struct IsOptionalText : std::false_type {};
template <>
struct IsOptionalText<std::optional<std::string>> : std::true_type {};

// Whether a JSON value is of the kind of a field of type T: no conversions between kinds.
template <class T>
bool isOfKind(const Json& value) {
    if constexpr (std::is_same_v<T, bool>) {
        return value.is_boolean();
    } else if constexpr (std::is_same_v<T, int64_t>) {
        return isInt64(value);
    } else if constexpr (std::is_same_v<T, double>) {
        return value.is_number();
    } else if constexpr (std::is_same_v<T, std::string>) {
        return value.is_string();
    } else if constexpr (IsOptionalText<T>::value) {
        return value.is_string() || value.is_null();
    } else if constexpr (ListedEnum<T>) {
        if (!value.is_number_integer()) return false;
        for (const T member : EnumMembers<T>::values)
            if (value == static_cast<int64_t>(member)) return true;
        return false;
    } else if constexpr (TextEnum<T>) {
        if (!value.is_string()) return false;
        for (const auto& [member, text] : EnumTexts<T>::values)
            if (value == text) return true;
        return false;
    } else {
        // Lists, tables and time values: whatever their own decoding accepts.
        try {
            Codec<T>::decode(value, "", nullptr);
            return true;
        } catch (const std::exception&) {
            return false;
        }
    }
}

template <class T>
std::string expectedKind() {
    if constexpr (std::is_same_v<T, bool>) {
        return "true or false";
    } else if constexpr (std::is_same_v<T, int64_t>) {
        return "an integer";
    } else if constexpr (std::is_same_v<T, double>) {
        return "a number";
    } else if constexpr (std::is_same_v<T, std::string>) {
        return "a text";
    } else if constexpr (IsOptionalText<T>::value) {
        return "a text or null";
    } else if constexpr (ListedEnum<T>) {
        std::string numbers;
        for (const T member : EnumMembers<T>::values) numbers += (numbers.empty() ? "" : ", ") + std::to_string(static_cast<int64_t>(member));
        return "one of " + numbers;
    } else if constexpr (TextEnum<T>) {
        std::string texts;
        for (const auto& [member, text] : EnumTexts<T>::values) texts += (texts.empty() ? "" : ", ") + std::string(text);
        return "one of " + texts;
    } else if constexpr (Record<T>) {
        std::string names;
        forEachField<T>([&](const auto& f) { names += (names.empty() ? "" : ", ") + std::string(f.name); });
        return "an object of the fields " + names;
    } else {
        return "a value of its kind";
    }
}

// Walks the path from a record; on the last step checks the value and, when apply is set, assigns it.
template <Record R>
void visitPath(R& record, const std::vector<std::string>& steps, size_t step, const Json& value, const std::string& path, bool apply) {
    bool found = false;
    forEachField<R>([&](const auto& f) {
        if (found || f.name != steps[step]) return;
        found = true;
        auto& field = record.*(f.member);
        using T = std::remove_cvref_t<decltype(field)>;
        if (step + 1 < steps.size()) {
            if constexpr (Record<T>) {
                visitPath(field, steps, step + 1, value, path, apply);
            } else {
                throw SettingsUpdateError("Invalid setting " + path + ": " + steps[step] + " holds no fields");
            }
            return;
        }
        const auto refuse = [&](const std::string& reason) { throw SettingsUpdateError("Invalid value for setting " + path + ": " + reason); };
        if constexpr (Record<T>) {
            // An object changes only the members it names, as one dotted path per member would.
            if (!value.is_object()) refuse("expected " + expectedKind<T>());
            try {
                for (const auto& [name, member] : value.items()) visitPath(field, {name}, 0, member, path + "." + name, apply);
            } catch (const SettingsUpdateError&) {
                refuse("expected " + expectedKind<T>());
            }
        } else {
            if (!isOfKind<T>(value)) refuse("expected " + expectedKind<T>());
            try {
                // The one decoding path of the records, with the bounds declared next to the field.
                T decoded = admitted(f, Codec<T>::decode(value, path, nullptr), field, path, nullptr);
                if (apply) field = std::move(decoded);
            } catch (const BoundsError& error) {
                refuse(error.reason());
            }
        }
    });
    if (!found) throw SettingsUpdateError("Unknown setting: " + path);
}

}  // namespace

void checkSettingsUpdate(const Json& update) {
    if (!update.is_object()) throw SettingsUpdateError("The settings update must be a JSON object");
    Settings scratch;
    for (const auto& [path, value] : update.items()) {
        // Plans name dates and timetables; only their own endpoints check those.
        static const std::pair<const char*, const char*> PLAN_MEMBERS[] = {
            {"plannedDays", "days"}, {"weekdayTimetables", "weekdays"}, {"dayAdjustments", "adjust"}};
        const std::string member = path.substr(0, path.find('.'));
        for (const auto& [name, endpoint] : PLAN_MEMBERS)
            if (member == name) throw SettingsUpdateError("Setting " + member + " is changed through /db/plan/" + endpoint);
    }
    for (const auto& [path, value] : update.items()) visitPath(scratch, splitPath(path), 0, value, path, false);
}

void applySettingsUpdate(Settings& settings, const Json& update) {
    for (const auto& [path, value] : update.items()) visitPath(settings, splitPath(path), 0, value, path, true);
}

}  // namespace quorvane::web
