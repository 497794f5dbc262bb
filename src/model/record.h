#pragma once
// Records: plain structs that list their fields once, in order, in a static fields() function. JSON
// writing and reading, equality and the content fingerprint are all derived from that one list:
//
//     struct PlayDesc {
//         std::string id = "NULL";
//         bool doRepeat = false;
//         static constexpr auto fields() {
//             return std::tuple{field("id", &PlayDesc::id), field("doRepeat", &PlayDesc::doRepeat)};
//         }
//     };
//
// Defaults are the members' initialisers, so every new record gets fresh nested records, lists and tables.
#include <cmath>
#include <concepts>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <vector>

#include "model/errors.h"
#include "model/json_text.h"
#include "model/time_values.h"

namespace quorvane {

struct NoBounds {};

// Inclusive bounds of a number field. Declared with the field, so that the one decoding path checks them
// wherever a record comes from.
template <class T>
struct Bounds {
    T min;
    T max;
};

template <class R, class T, class B = NoBounds>
struct Field {
    std::string_view name;
    T R::*member;
    B bounds{};
};

template <class R, class T>
constexpr Field<R, T> field(std::string_view name, T R::*member) {
    return {name, member};
}

// A number field with bounds: field("iterations", &PlayDesc::iterations, {1, 100}).
template <class R, class T>
constexpr Field<R, T, Bounds<T>> field(std::string_view name, T R::*member, Bounds<T> bounds) {
    return {name, member, bounds};
}

// Where decoded values come from decides what becomes of a number outside its field's bounds. A client's
// value is refused (BoundsError). A stored file may hold one written by an older version: decoding then
// brings it into the bounds and notes the repair here, so that an upgrade never stops the bells. A null
// Repairs* means client input.
using Repairs = std::vector<std::string>;

template <class R>
concept Record = requires {
    R::fields();
};

// Integer-valued enumerations list their members in EnumMembers<E>::values, so that a stored number that
// names no member is refused.
template <class E>
struct EnumMembers;

template <class E>
concept ListedEnum = std::is_enum_v<E> && requires {
    EnumMembers<E>::values;
};

// Text-valued enumerations (TypeOfDay, TimetableSource, NetworkState) list (member, text) pairs in
// EnumTexts<E>::values; their JSON form is the text.
template <class E>
struct EnumTexts;

template <class E>
concept TextEnum = std::is_enum_v<E> && requires {
    EnumTexts<E>::values;
};

template <TextEnum E>
const char* enumText(E value) {
    for (const auto& [member, text] : EnumTexts<E>::values)
        if (member == value) return text;
    return "";
}

// ---- fingerprints ----

using Fingerprint = uint64_t;

inline Fingerprint mixBits(uint64_t x) {
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ULL;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}
// Order-sensitive: combine(a, b) != combine(b, a).
inline Fingerprint combine(Fingerprint a, Fingerprint b) { return mixBits(a * 0x9e3779b97f4a7c15ULL + b + 0x632be59bd9b4e019ULL); }
inline Fingerprint hashInt(int64_t value) { return mixBits(static_cast<uint64_t>(value) + 0x2545f4914f6cdd1dULL); }
inline Fingerprint hashText(std::string_view text) { return std::hash<std::string_view>{}(text); }
inline constexpr Fingerprint ABSENT_FINGERPRINT = 0x5bd1e9955bd1e995ULL;

// ---- per-kind codecs: JSON form, decoding with conversions, fingerprint ----

template <class T>
struct Codec;

std::string kindName(const Json& value);
[[noreturn]] void failDecode(const std::string& path, const std::string& reason);

int64_t decodeInteger(const Json& value, const std::string& path);
// May give a value that is not finite (from a text such as "nan"); admitted() refuses or repairs it.
double decodeReal(const Json& value, const std::string& path);
bool decodeTruth(const Json& value, const std::string& path);
std::string decodeText(const Json& value, const std::string& path);
int64_t decodeEnumNumber(const Json& value, const std::string& path);
const std::string& requireString(const Json& value, const std::string& path);

template <>
struct Codec<int64_t> {
    static Json encode(int64_t v) { return v; }
    static int64_t decode(const Json& j, const std::string& path, Repairs*) { return decodeInteger(j, path); }
    static Fingerprint hash(int64_t v) { return hashInt(v); }
};

template <>
struct Codec<double> {
    static Json encode(double v) { return v; }
    static double decode(const Json& j, const std::string& path, Repairs*) { return decodeReal(j, path); }
    static Fingerprint hash(double v) {
        if (v == 0.0) v = 0.0;  // -0.0 equals 0.0, so it must hash alike
        uint64_t bits;
        static_assert(sizeof bits == sizeof v);
        std::memcpy(&bits, &v, sizeof bits);
        return mixBits(bits ^ 0x7f4a7c159e3779b9ULL);
    }
};

template <>
struct Codec<bool> {
    static Json encode(bool v) { return v; }
    static bool decode(const Json& j, const std::string& path, Repairs*) { return decodeTruth(j, path); }
    static Fingerprint hash(bool v) { return hashInt(v ? 1 : 0) ^ 0xb01ULL; }
};

template <>
struct Codec<std::string> {
    static Json encode(const std::string& v) { return v; }
    static std::string decode(const Json& j, const std::string& path, Repairs*) { return decodeText(j, path); }
    static Fingerprint hash(const std::string& v) { return hashText(v); }
};

template <>
struct Codec<std::optional<std::string>> {
    static Json encode(const std::optional<std::string>& v) { return v ? Json(*v) : Json(nullptr); }
    static std::optional<std::string> decode(const Json& j, const std::string& path, Repairs*) {
        if (j.is_null()) return std::nullopt;
        return decodeText(j, path);
    }
    static Fingerprint hash(const std::optional<std::string>& v) { return v ? hashText(*v) : ABSENT_FINGERPRINT; }
};

template <ListedEnum E>
struct Codec<E> {
    static Json encode(E v) { return static_cast<int64_t>(v); }
    static E decode(const Json& j, const std::string& path, Repairs*) {
        const int64_t number = decodeEnumNumber(j, path);
        for (E member : EnumMembers<E>::values)
            if (static_cast<int64_t>(member) == number) return member;
        failDecode(path, std::to_string(number) + " is not a valid value");
    }
    static Fingerprint hash(E v) { return hashInt(static_cast<int64_t>(v)); }
};

template <TextEnum E>
struct Codec<E> {
    static Json encode(E v) { return enumText(v); }
    static E decode(const Json& j, const std::string& path, Repairs*) {
        const std::string& text = requireString(j, path);
        for (const auto& [member, name] : EnumTexts<E>::values)
            if (text == name) return member;
        failDecode(path, "'" + text + "' is not a valid value");
    }
    static Fingerprint hash(E v) { return hashInt(static_cast<int64_t>(v)); }
};

// Values with a text form of their own (TimeOfDay, Lesson, MyDateTime).
template <class T>
concept TextValue = std::same_as<T, TimeOfDay> || std::same_as<T, Lesson> || std::same_as<T, MyDateTime>;

template <TextValue T>
struct Codec<T> {
    static Json encode(const T& v) { return T::encode(v); }
    static T decode(const Json& j, const std::string& path, Repairs*) {
        try {
            return T::decode(requireString(j, path));
        } catch (const DecodeError&) {
            throw;
        } catch (const ValueError& error) {
            failDecode(path, error.what());
        }
    }
    static Fingerprint hash(const T& v) {
        if constexpr (std::same_as<T, TimeOfDay>) return combine(combine(hashInt(v.h), hashInt(v.m)), hashInt(v.s));
        else if constexpr (std::same_as<T, Lesson>) return combine(Codec<TimeOfDay>::hash(v.start), Codec<TimeOfDay>::hash(v.end));
        else return hashText(v.text());
    }
};

template <class T>
struct Codec<std::vector<T>> {
    static Json encode(const std::vector<T>& items) {
        Json array = Json::array();
        for (const T& item : items) array.push_back(Codec<T>::encode(item));
        return array;
    }
    static std::vector<T> decode(const Json& j, const std::string& path, Repairs* repairs) {
        if (!j.is_array()) failDecode(path, "expected an array, found " + kindName(j));
        std::vector<T> items;
        items.reserve(j.size());
        for (size_t i = 0; i < j.size(); ++i) {
            const std::string itemPath = path + "[" + std::to_string(i) + "]";
            // A list of texts (dates of a calendar region) takes texts only: a number is no date.
            if constexpr (std::is_same_v<T, std::string>) items.push_back(requireString(j[i], itemPath));
            else items.push_back(Codec<T>::decode(j[i], itemPath, repairs));
        }
        return items;
    }
};

template <class T>
struct IsList : std::false_type {};
template <class T>
struct IsList<std::vector<T>> : std::true_type {};

// ---- records ----

template <Record R, class Visit>
void forEachField(Visit&& visit) {
    std::apply([&](const auto&... fields) { (visit(fields), ...); }, R::fields());
}

template <Record R>
constexpr size_t fieldCount() {
    return std::tuple_size_v<decltype(R::fields())>;
}

inline std::string memberPath(const std::string& parent, std::string_view name) {
    return parent.empty() ? std::string(name) : parent + "." + std::string(name);
}

// The text of a bound or a number in messages: 3600, 2.5, NaN.
std::string numberText(double value);
std::string numberText(int64_t value);
// What a bounded field expects: "expected an integer from 1 to 100", "expected a number from 0 to 3600".
std::string expectedWithin(int64_t min, int64_t max);
std::string expectedWithin(double min, double max);

// A decoded field value as the record may keep it: a real must be finite, and a number with declared bounds
// must lie within them. Otherwise a client's value is refused with BoundsError; a stored one is replaced
// (by the nearest bound, or by the fallback, the field's default, where there is none) and the repair noted.
template <class R, class T, class B>
T admitted(const Field<R, T, B>& f, T value, const T& fallback, const std::string& path, Repairs* repairs) {
    constexpr bool bounded = !std::is_same_v<B, NoBounds>;
    if constexpr (std::is_same_v<T, double> || (bounded && std::is_same_v<T, int64_t>)) {
        bool inside = true;
        if constexpr (std::is_same_v<T, double>) inside = std::isfinite(value);
        std::string expected = "expected a finite number";
        if constexpr (bounded) {
            inside = inside && value >= f.bounds.min && value <= f.bounds.max;
            expected = expectedWithin(f.bounds.min, f.bounds.max);
        }
        if (inside) return value;
        if (!repairs) throw BoundsError(path, expected);
        T repaired = fallback;
        if constexpr (bounded) {
            if (value < f.bounds.min) repaired = f.bounds.min;
            else if (value > f.bounds.max) repaired = f.bounds.max;
        }
        repairs->push_back(path + ": " + numberText(value) + " replaced by " + numberText(repaired) + " (" + expected + ")");
        return repaired;
    } else {
        return value;
    }
}

template <Record R>
struct Codec<R> {
    static Json encode(const R& record) {
        Json object = Json::object();
        forEachField<R>([&](const auto& f) {
            using T = std::remove_cvref_t<decltype(record.*(f.member))>;
            object[std::string(f.name)] = Codec<T>::encode(record.*(f.member));
        });
        return object;
    }

    static R decode(const Json& j, const std::string& path, Repairs* repairs) {
        if (!j.is_object()) failDecode(path, "expected an object, found " + kindName(j));
        R record;
        forEachField<R>([&](const auto& f) {
            const auto member = j.find(f.name);
            if (member == j.end()) return;  // a missing member keeps its default
            auto& value = record.*(f.member);
            using T = std::remove_cvref_t<decltype(value)>;
            const std::string fieldPath = memberPath(path, f.name);
            if (member->is_null() && !std::is_same_v<T, std::optional<std::string>>) failDecode(fieldPath, "null is not allowed here");
            value = admitted(f, Codec<T>::decode(*member, fieldPath, repairs), value, fieldPath, repairs);
        });
        return record;
    }

    static Fingerprint hash(const R& record) {
        Fingerprint h = hashInt(static_cast<int64_t>(fieldCount<R>()));
        forEachField<R>([&](const auto& f) {
            const auto& value = record.*(f.member);
            using T = std::remove_cvref_t<decltype(value)>;
            if constexpr (IsList<T>::value) {
                h = combine(h, hashInt(static_cast<int64_t>(value.size())));
                for (const auto& item : value) h = combine(h, Codec<typename T::value_type>::hash(item));
            } else {
                h = combine(h, Codec<T>::hash(value));
            }
        });
        return h;
    }
};

template <Record R>
bool operator==(const R& a, const R& b) {
    bool equal = true;
    forEachField<R>([&](const auto& f) { equal = equal && a.*(f.member) == b.*(f.member); });
    return equal;
}

// The record operations under the names the rest of the system uses.
template <Record R>
Json to_dict(const R& record) {
    return Codec<R>::encode(record);
}
template <Record R>
std::string to_json(const R& record) {
    return toJsonText(Codec<R>::encode(record));
}
// Client input unless repairs is given (see Repairs).
template <Record R>
R from_dict(const Json& value, Repairs* repairs = nullptr) {
    return Codec<R>::decode(value, "", repairs);
}
template <Record R>
R from_json(const std::string& text) {
    return from_dict<R>(parseJson(text));
}
template <Record R>
Fingerprint fingerprint(const R& record) {
    return Codec<R>::hash(record);
}

}  // namespace quorvane
