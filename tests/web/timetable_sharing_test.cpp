// A timetable exported from one installation and imported into another.
#include <set>

#include <gtest/gtest.h>

#include "model/text.h"
#include "web/web_test_server.h"

namespace quorvane {
namespace {

using testing::Browser;
using testing::HttpAnswer;
using testing::WebServerTest;

using TimetableSharing = WebServerTest;

TEST_F(TimetableSharing, ExportedTimetableImportsAsANewOneWithUnknownSignalsSilenced) {
    Browser client = loggedInBrowser();
    Json table = Json::parse(client.get("/db/timetables").body).at(0);
    table["name"] = "Exam week";
    table["customPlays"] = Json::parse(R"([{"desc": {"id": "elsewhere", "doRepeat": false, "iterations": 2, "delaySec": 1.0},
                                            "slots": ["12:00:00"]}])");
    {
        StateLock lock;
        db.edit(lock).timetables.set("ID_factory_default_timetable", from_dict<TimeTable>(table));
    }
    const HttpAnswer exported = client.get("/db/timetables/export/ID_factory_default_timetable");
    ASSERT_EQ(exported.status, 200);
    EXPECT_EQ(exported.header("Content-Disposition"), "attachment; filename=\"Exam_week.json\"");
    Json file = Json::parse(exported.body);
    EXPECT_EQ(file["quorvaneTimetable"], 1);
    EXPECT_EQ(file["signals"]["ID_melody"], "melody");
    file["signals"]["elsewhere"] = "Their school song";

    const HttpAnswer imported = client.postJson("/db/timetables/import", file);
    ASSERT_EQ(imported.status, 200) << imported.body;
    const Json result = Json::parse(imported.body);
    EXPECT_EQ(result["missingSignals"], Json::parse(R"([{"id": "elsewhere", "name": "Their school song"}])"));
    const Json copy = Json::parse(client.get("/db").body)["timetables"][result["id"].get<std::string>()];
    EXPECT_EQ(result["name"], "Exam week (imported)") << "the original keeps its name";
    EXPECT_EQ(copy["name"], "Exam week (imported)");
    EXPECT_EQ(copy["chA"], table["chA"]) << "known signals are kept by id";
    EXPECT_EQ(copy["customPlays"][0]["desc"]["id"], "NULL");
    EXPECT_EQ(copy["customPlays"][0]["slots"], Json({"12:00"}));
}

TEST_F(TimetableSharing, AnImportedCopyNeverSharesANameWithAnotherTimetable) {
    Browser client = loggedInBrowser();
    Json file = Json::parse(client.get("/db/timetables/export/ID_factory_default_timetable").body);
    const auto importedName = [&](const std::string& name) {
        file["timetable"]["name"] = name;
        return Json::parse(client.postJson("/db/timetables/import", file).body)["name"].get<std::string>();
    };
    EXPECT_EQ(importedName("Regular day"), "Regular day") << "a free name stays";
    EXPECT_EQ(importedName("Regular day"), "Regular day (imported)");
    EXPECT_EQ(importedName(" regular DAY "), "regular DAY (imported 2)") << "names compare as the editor compares them";
    EXPECT_EQ(importedName("Regular day (imported)"), "Regular day (imported) (imported)");
    std::set<std::string> names;
    for (const Json& timetable : Json::parse(client.get("/db/timetables").body)) names.insert(toLower(trimmed(timetable["name"].get<std::string>())));
    EXPECT_EQ(names.size(), 5u) << "the factory timetable and four copies, all told apart";
}

TEST_F(TimetableSharing, WrongFilesAreRefused) {
    Browser client = loggedInBrowser();
    const size_t before = Json::parse(client.get("/db/timetables").body).size();
    EXPECT_EQ(client.postJson("/db/timetables/import", {{"name", "x"}}).body, "Not an exported timetable");
    EXPECT_EQ(client.postJson("/db/timetables/import", {{"quorvaneTimetable", 2}, {"timetable", Json::object()}}).body, "Not an exported timetable");
    const HttpAnswer bad =
        client.postJson("/db/timetables/import", {{"quorvaneTimetable", 1}, {"timetable", {{"chA", {{"lessons", {"25:00 - 26:00"}}}}}}});
    EXPECT_EQ(bad.status, 400);
    EXPECT_EQ(bad.body.rfind("Invalid timetable: ", 0), 0u);
    EXPECT_EQ(client.get("/db/timetables/export/nothing").body, "ID not found");
    EXPECT_EQ(Json::parse(client.get("/db/timetables").body).size(), before);
}

}  // namespace
}  // namespace quorvane
