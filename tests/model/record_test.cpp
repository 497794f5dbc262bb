#include "model/record.h"

#include <gtest/gtest.h>

#include "model/map_db.h"

namespace quorvane {

// Sample records covering every kind of field the mechanism supports.
enum class Mood : int { CALM = 0, LOUD = 7 };
template <>
struct EnumMembers<Mood> {
    static constexpr Mood values[] = {Mood::CALM, Mood::LOUD};
};

// Records are found by the generic operations through their namespace, so the samples live in quorvane.
struct SampleInner {
    std::string label = "inner";
    int64_t count = 2;
    double ratio = 1.0;
    static constexpr auto fields() {
        return std::tuple{field("label", &SampleInner::label), field("count", &SampleInner::count), field("ratio", &SampleInner::ratio)};
    }
};

struct SampleOuter {
    std::string name = "outer";
    bool enabled = true;
    std::optional<std::string> choice;
    Mood mood = Mood::LOUD;
    SampleInner inner;
    std::vector<TimeOfDay> slots;
    std::vector<Lesson> lessons = Lesson::defaults();
    std::vector<SampleInner> items;
    std::vector<std::string> words;
    MapDb<SampleInner> table;
    int64_t _lastDay = -1;
    MyDateTime stamp{std::string("2024-09-02T07:45:00")};
    static constexpr auto fields() {
        return std::tuple{field("name", &SampleOuter::name),       field("enabled", &SampleOuter::enabled),   field("choice", &SampleOuter::choice),
                          field("mood", &SampleOuter::mood),       field("inner", &SampleOuter::inner),       field("slots", &SampleOuter::slots),
                          field("lessons", &SampleOuter::lessons), field("items", &SampleOuter::items),       field("words", &SampleOuter::words),
                          field("table", &SampleOuter::table),     field("_lastDay", &SampleOuter::_lastDay), field("stamp", &SampleOuter::stamp)};
    }
};

struct SampleBounded {
    int64_t times = 2;
    double pause = 1.0;
    double free = 0.5;
    static constexpr auto fields() {
        return std::tuple{field("times", &SampleBounded::times, {1, 100}), field("pause", &SampleBounded::pause, {0, 3600}),
                          field("free", &SampleBounded::free)};
    }
};

namespace {

TEST(RecordJson, DefaultRecordWritesEveryFieldInOrder) {
    EXPECT_EQ(to_json(SampleOuter{}),
              R"({"name": "outer", "enabled": true, "choice": null, "mood": 7, "inner": {"label": "inner", "count": 2, "ratio": 1.0}, )"
              R"("slots": [], "lessons": ["08:00 - 08:45", "09:00 - 09:45", "10:00 - 10:45", "11:00 - 11:45", "12:00 - 12:45", "13:00 - 13:45"], )"
              R"("items": [], "words": [], "table": {}, "_lastDay": -1, "stamp": "2024-09-02T07:45:00"})");
}

TEST(RecordJson, EmptyObjectReadsAsTheDefaultRecord) {
    EXPECT_EQ(from_json<SampleOuter>("{}"), SampleOuter{});
    EXPECT_EQ(from_json<SampleInner>(R"({"unknown": [1, 2], "count": 5})").count, 5);
}

TEST(RecordJson, RoundTripsEveryKind) {
    SampleOuter record;
    record.name = "caf\xC3\xA9";
    record.choice = "ID_x";
    record.mood = Mood::CALM;
    record.inner.ratio = 2.5;
    record.slots = {TimeOfDay(7, 5), TimeOfDay(12, 0, 30)};
    record.items = {SampleInner{"a", 1, 0.5}};
    record.words = {"2024-12-24"};
    record.table.add(SampleInner{"t", 3, 3.0}, "k1");
    record._lastDay = 200;
    const std::string text = to_json(record);
    EXPECT_NE(text.find(R"("caf\u00e9")"), std::string::npos);
    EXPECT_NE(text.find(R"("slots": ["07:05", "12:00:30"])"), std::string::npos);
    EXPECT_NE(text.find(R"("table": {"k1": {"label": "t", "count": 3, "ratio": 3.0}})"), std::string::npos);
    EXPECT_EQ(from_json<SampleOuter>(text), record);
    EXPECT_EQ(to_json(from_json<SampleOuter>(text)), text);
}

TEST(RecordJson, ConvertsValuesOfAnotherKind) {
    const SampleInner converted = from_json<SampleInner>(R"({"label": 12, "count": "  42 ", "ratio": 3})");
    EXPECT_EQ(converted.label, "12");
    EXPECT_EQ(converted.count, 42);
    EXPECT_EQ(converted.ratio, 3.0);
    EXPECT_EQ(from_json<SampleInner>(R"({"count": -2.9})").count, -2);
    EXPECT_EQ(from_json<SampleInner>(R"({"ratio": "2.25"})").ratio, 2.25);
    EXPECT_EQ(from_json<SampleInner>(R"({"label": 2.5})").label, "2.5");
    EXPECT_FALSE(from_json<SampleOuter>(R"({"enabled": 0})").enabled);
    EXPECT_TRUE(from_json<SampleOuter>(R"({"enabled": "no"})").enabled);
    EXPECT_FALSE(from_json<SampleOuter>(R"({"enabled": ""})").enabled);
    EXPECT_EQ(from_json<SampleOuter>(R"({"mood": 0})").mood, Mood::CALM);
}

TEST(RecordJson, RefusesValuesThatDoNotConvert) {
    EXPECT_THROW(from_json<SampleInner>(R"({"count": "ten"})"), DecodeError);
    EXPECT_THROW(from_json<SampleInner>(R"({"count": [1]})"), DecodeError);
    EXPECT_THROW(from_json<SampleInner>(R"({"label": {}})"), DecodeError);
    EXPECT_THROW(from_json<SampleOuter>(R"({"mood": 3})"), DecodeError);
    EXPECT_THROW(from_json<SampleOuter>(R"({"slots": ["25:00"]})"), DecodeError);
    EXPECT_THROW(from_json<SampleOuter>(R"({"slots": [800]})"), DecodeError);
    EXPECT_THROW(from_json<SampleOuter>(R"({"lessons": ["08:00"]})"), DecodeError);
    EXPECT_THROW(from_json<SampleOuter>(R"({"inner": []})"), DecodeError);
    EXPECT_THROW(from_json<SampleOuter>(R"({"stamp": "soon"})"), DecodeError);
    EXPECT_THROW(from_json<SampleOuter>("[]"), DecodeError);
    EXPECT_THROW(from_json<SampleOuter>("{"), DecodeError);
}

TEST(RecordJson, NullIsOnlyForOptionalFields) {
    EXPECT_FALSE(from_json<SampleOuter>(R"({"choice": null})").choice.has_value());
    for (const char* text : {R"({"enabled": null})", R"({"inner": {"count": null}})", R"({"slots": null})", R"({"name": null})"})
        EXPECT_THROW(from_json<SampleOuter>(text), DecodeError) << text;
}

TEST(RecordJson, DecodeErrorsNameThePath) {
    try {
        from_json<SampleOuter>(R"({"table": {"k": {"count": "x"}}})");
        FAIL() << "no error";
    } catch (const DecodeError& error) {
        EXPECT_NE(std::string(error.what()).find("table.k.count"), std::string::npos) << error.what();
    }
}

TEST(RecordJson, ListsOfTextsTakeOnlyTexts) {
    EXPECT_EQ(from_json<SampleOuter>(R"({"words": ["2024-12-24", ""]})").words, (std::vector<std::string>{"2024-12-24", ""}));
    for (const char* text : {R"({"words": [20241224]})", R"({"words": ["a", true]})", R"({"words": [null]})", R"({"words": [["a"]]})"})
        EXPECT_THROW(from_json<SampleOuter>(text), DecodeError) << text;
}

std::string boundsRefusal(const std::string& text) {
    try {
        from_json<SampleBounded>(text);
    } catch (const BoundsError& error) {
        return error.what();
    }
    return "";
}

TEST(RecordBounds, ClientValuesOutsideTheBoundsAreRefusedByName) {
    const SampleBounded edges = from_json<SampleBounded>(R"({"times": 100, "pause": 3600, "free": -1e300})");
    EXPECT_EQ(edges.times, 100);
    EXPECT_EQ(edges.pause, 3600.0);
    EXPECT_EQ(from_json<SampleBounded>(R"({"times": 1, "pause": 0})").times, 1);
    EXPECT_EQ(boundsRefusal(R"({"times": 0})"), "times: expected an integer from 1 to 100");
    EXPECT_EQ(boundsRefusal(R"({"times": -1})"), "times: expected an integer from 1 to 100");
    EXPECT_EQ(boundsRefusal(R"({"times": "101"})"), "times: expected an integer from 1 to 100") << "converted first, then bounded";
    EXPECT_EQ(boundsRefusal(R"({"times": 9223372036854775807})"), "times: expected an integer from 1 to 100");
    EXPECT_EQ(boundsRefusal(R"({"pause": 3600.5})"), "pause: expected a number from 0 to 3600");
    EXPECT_EQ(boundsRefusal(R"({"pause": -0.1})"), "pause: expected a number from 0 to 3600");
    // Texts that read as non-finite numbers: refused whether or not the field has bounds.
    for (const char* text : {"nan", "NaN", "inf", "-Infinity"}) {
        EXPECT_EQ(boundsRefusal(R"({"pause": ")" + std::string(text) + "\"}"), "pause: expected a number from 0 to 3600") << text;
        EXPECT_EQ(boundsRefusal(R"({"free": ")" + std::string(text) + "\"}"), "free: expected a finite number") << text;
    }
    EXPECT_EQ(boundsRefusal(R"({"times": 5, "pause": 2.5})"), "");
}

TEST(RecordBounds, StoredValuesAreBroughtIntoTheBoundsAndNoted) {
    Repairs repairs;
    const SampleBounded repaired = from_dict<SampleBounded>(parseStoredJson(R"({"times": -1, "pause": Infinity, "free": NaN})"), &repairs);
    EXPECT_EQ(repaired.times, 1);
    EXPECT_EQ(repaired.pause, 3600.0);
    EXPECT_EQ(repaired.free, 0.5) << "no bound to move to: the default";
    EXPECT_EQ(repairs, (Repairs{"times: -1 replaced by 1 (expected an integer from 1 to 100)",
                                "pause: Infinity replaced by 3600 (expected a number from 0 to 3600)",
                                "free: NaN replaced by 0.5 (expected a finite number)"}));
    Repairs none;
    EXPECT_EQ(from_dict<SampleBounded>(parseJson(R"({"times": 7, "pause": 0})"), &none).times, 7);
    EXPECT_TRUE(none.empty());
    EXPECT_THROW(from_dict<SampleBounded>(parseJson(R"({"times": "many"})"), &none), DecodeError) << "only bounds are repaired";
}

TEST(RecordEquality, ComparesEveryField) {
    SampleOuter a, b;
    EXPECT_EQ(a, b);
    b.lessons[5].end = TimeOfDay(13, 50);
    EXPECT_FALSE(a == b);
    b = a;
    b.table.add(SampleInner{}, "x");
    EXPECT_FALSE(a == b);
}

TEST(RecordFingerprint, ChangesWithAnyChangeAtAnyDepthAndReturnsWhenUndone) {
    SampleOuter record;
    record.table.add(SampleInner{}, "a");
    record.table.add(SampleInner{}, "b");
    const Fingerprint original = fingerprint(record);
    EXPECT_EQ(fingerprint(SampleOuter(record)), original);

    const auto expectChangedThenRestored = [&](auto change, auto undo, const char* what) {
        change();
        EXPECT_NE(fingerprint(record), original) << what;
        undo();
        EXPECT_EQ(fingerprint(record), original) << what;
    };
    expectChangedThenRestored([&] { record.lessons[2].start = TimeOfDay(10, 1); }, [&] { record.lessons[2].start = TimeOfDay(10, 0); },
                              "lesson time");
    expectChangedThenRestored([&] { record.lessons.pop_back(); }, [&] { record.lessons.push_back(Lesson::fromHour(13)); }, "list length");
    expectChangedThenRestored([&] { record.inner.ratio = 1.5; }, [&] { record.inner.ratio = 1.0; }, "nested real");
    expectChangedThenRestored([&] { record.choice = ""; }, [&] { record.choice.reset(); }, "absent vs empty");
    expectChangedThenRestored([&] { record.table.find("b")->count = 9; }, [&] { record.table.find("b")->count = 2; }, "table entry");
    expectChangedThenRestored([&] { record.enabled = false; }, [&] { record.enabled = true; }, "truth value");
    expectChangedThenRestored([&] { record.mood = Mood::CALM; }, [&] { record.mood = Mood::LOUD; }, "enumeration");
    expectChangedThenRestored([&] { record.stamp = MyDateTime(std::string("2024-09-03")); },
                              [&] { record.stamp = MyDateTime(std::string("2024-09-02T07:45:00")); }, "date-time");

    // Same entries in another order is another table.
    SampleOuter reordered = record;
    reordered.table.clear();
    reordered.table.add(SampleInner{}, "b");
    reordered.table.add(SampleInner{}, "a");
    EXPECT_NE(fingerprint(reordered), original);
}

}  // namespace
}  // namespace quorvane
