// multipart/form-data taken apart as it streams, and its parts spooled: fields in memory, files in
// temporary files that are removed unless kept.
#include <fstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "http/http_error.h"
#include "http/multipart_parser.h"
#include "http/multipart_spool.h"
#include "support/raw_http_client.h"
#include "support/temp_dir.h"

namespace quorvane::http {
namespace {

using quorvane::testing::readFile;
using quorvane::testing::TempDir;
using testing::formBody;
using testing::FormPart;

// Writes every event down as text.
class Recorder : public MultipartParser::Events {
public:
    void partBegin(Part part) override { text += "[" + part.name + (part.hasFilename ? ":" + part.filename : "") + "|" + part.contentType + "]"; }
    void partData(std::string_view bytes) override { text += bytes; }
    void partEnd() override { text += "[end]"; }
    std::string text;
};

std::string parse(const std::string& body, const std::vector<size_t>& cuts = {}) {
    Recorder recorder;
    MultipartParser parser(testing::FORM_BOUNDARY, 100, 8192, recorder);
    size_t from = 0;
    for (const size_t cut : cuts) {
        parser.feed(std::string_view(body).substr(from, cut - from));
        from = cut;
    }
    parser.feed(std::string_view(body).substr(from));
    parser.finish();
    return recorder.text;
}

int failureOf(const std::string& body, size_t maxParts = 100) {
    Recorder recorder;
    MultipartParser parser(testing::FORM_BOUNDARY, maxParts, 8192, recorder);
    try {
        parser.feed(body);
        parser.finish();
    } catch (const HttpError& error) {
        return error.status();
    }
    return 0;
}

const std::string BODY = formBody({{"field", "", "value"}, {"file", "a.mp3", "ab\r\n--XbOuNdAr\r\n-cd"}, {"empty", "", ""}});
const std::string EXPECTED = "[field|]value[end][file:a.mp3|application/octet-stream]ab\r\n--XbOuNdAr\r\n-cd[end][empty|][end]";

TEST(MultipartParser, TakesPartsApartWherEverThePiecesAreCut) {
    EXPECT_EQ(parse(BODY), EXPECTED);
    for (size_t cut = 0; cut <= BODY.size(); ++cut) ASSERT_EQ(parse(BODY, {cut}), EXPECTED) << "cut at " << cut;
    std::vector<size_t> everyByte;
    for (size_t i = 1; i < BODY.size(); ++i) everyByte.push_back(i);
    EXPECT_EQ(parse(BODY, everyByte), EXPECTED);
}

TEST(MultipartParser, PreambleEpilogueQuotingAndPadding) {
    const std::string body =
        "preamble\r\n--XbOuNdArY  \r\n"
        "content-disposition: form-data; filename=\"q\\\"uote;d.txt\"; name=f\r\n\r\n"
        "x\r\n--XbOuNdArY--\r\nepilogue --XbOuNdArY";
    EXPECT_EQ(parse(body), "[f:q\"uote;d.txt|]x[end]");
    EXPECT_EQ(parse("--XbOuNdArY--"), "") << "no parts at all";
    EXPECT_EQ(parse(formBody({{"f", "", std::string(20000, '-')}})), "[f|]" + std::string(20000, '-') + "[end]");
}

TEST(MultipartParser, BrokenStructureIs400) {
    EXPECT_EQ(failureOf(BODY.substr(0, BODY.size() - 6)), 400) << "no closing delimiter";
    EXPECT_EQ(failureOf(""), 400);
    EXPECT_EQ(failureOf("no delimiter at all"), 400);
    EXPECT_EQ(failureOf("--XbOuNdArYjunk\r\n\r\n\r\n--XbOuNdArY--"), 400);
    EXPECT_EQ(failureOf("--XbOuNdArY\r\nContent-Type: text/plain\r\n\r\nx\r\n--XbOuNdArY--"), 400) << "no disposition";
    EXPECT_EQ(failureOf("--XbOuNdArY\r\nContent-Disposition: attachment; name=a\r\n\r\nx\r\n--XbOuNdArY--"), 400);
    EXPECT_EQ(failureOf("--XbOuNdArY\r\nContent-Disposition: form-data\r\n\r\nx\r\n--XbOuNdArY--"), 400) << "no name";
    EXPECT_EQ(failureOf("--XbOuNdArY\r\nContent-Disposition: form-data; name=\"a\r\n\r\nx\r\n--XbOuNdArY--"), 400);
    EXPECT_EQ(failureOf("--XbOuNdArY\r\nno colon\r\n\r\nx\r\n--XbOuNdArY--"), 400);
    EXPECT_EQ(failureOf("--XbOuNdArY\r\nX: " + std::string(9000, 'h')), 400) << "headers over their limit";
    EXPECT_EQ(failureOf("--XbOuNdArY" + std::string(100, ' ')), 400) << "endless padding";
}

TEST(MultipartParser, TooManyPartsIs413) {
    std::vector<FormPart> parts(4, FormPart{"f", "", "v"});
    EXPECT_EQ(failureOf(formBody(parts), 4), 0);
    parts.push_back(parts.back());
    EXPECT_EQ(failureOf(formBody(parts), 4), 413);
}

TEST(MultipartParser, BoundaryOfTheContentType) {
    EXPECT_EQ(MultipartParser::boundaryOf("multipart/form-data; boundary=abc"), "abc");
    EXPECT_EQ(MultipartParser::boundaryOf("Multipart/Form-Data;charset=utf-8; BOUNDARY=\"a b:c\""), "a b:c");
    EXPECT_EQ(MultipartParser::boundaryOf("multipart/form-data; boundary=" + std::string(70, 'x')), std::string(70, 'x'));
    for (const std::string& type : std::vector<std::string>{"multipart/form-data", "multipart/form-data; boundary=", "multipart/mixed; boundary=a",
                                                            "application/json", "multipart/form-data; boundary=" + std::string(71, 'x'),
                                                            "multipart/form-data; boundary=\"a\r\nb\"", "multipart/form-data; boundary=\"ab \""})
        EXPECT_FALSE(MultipartParser::boundaryOf(type)) << type;
}

struct SpoolRun {
    std::vector<Part> parts;
    std::string observed;
    int failure = 0;
};

SpoolRun spool(const std::string& body, const std::filesystem::path& folder, size_t maxFieldBytes = 64) {
    SpoolRun run;
    BodyPlan plan;
    plan.kind = BodyPlan::Kind::multipart;
    plan.spoolFolder = folder;
    plan.observeFilePart = [&run](const Part& part) {
        run.observed += "<" + part.filename + ">";
        return [&run](std::string_view bytes) { run.observed += bytes; };
    };
    MultipartSpool sink(plan, maxFieldBytes);
    MultipartParser parser(testing::FORM_BOUNDARY, 100, 8192, sink);
    try {
        for (size_t at = 0; at < body.size(); at += 7) parser.feed(std::string_view(body).substr(at, 7));
        parser.finish();
    } catch (const HttpError& error) {
        run.failure = error.status();
    }
    run.parts = sink.takeParts();
    return run;
}

TEST(MultipartSpool, FieldsInMemoryFilesOnDiskObservedAsWritten) {
    TempDir folder;
    const std::string content = "RIFF" + std::string(3000, '\0') + "WAVE\r\n--";
    SpoolRun run = spool(formBody({{"name", "", "Bell"}, {"file", "bell.wav", content}, {"other", "", "x"}}), folder.path());
    ASSERT_EQ(run.failure, 0);
    ASSERT_EQ(run.parts.size(), 3u);
    EXPECT_EQ(run.parts[0].value, "Bell");
    EXPECT_FALSE(run.parts[0].file);
    const Part& file = run.parts[1];
    ASSERT_TRUE(file.file);
    EXPECT_EQ(file.filename, "bell.wav");
    EXPECT_EQ(file.file->size, content.size());
    EXPECT_EQ(file.file->temporaryPath.parent_path(), folder.path()) << "beside its destination";
    EXPECT_EQ(readFile(file.file->temporaryPath), content);
    EXPECT_EQ(run.observed, "<bell.wav>" + content);
    EXPECT_EQ(run.parts[2].value, "x");

    const std::filesystem::path spooled = file.file->temporaryPath;
    run.parts.clear();
    EXPECT_FALSE(std::filesystem::exists(spooled)) << "removed when nobody kept it";
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST(MultipartSpool, KeptFilesStay) {
    TempDir folder;
    SpoolRun run = spool(formBody({{"file", "a.mp3", "abc"}}), folder.path());
    const std::filesystem::path spooled = run.parts.at(0).file->temporaryPath;
    run.parts[0].file->keepAs(folder / "kept.mp3");
    EXPECT_TRUE(run.parts[0].file->kept());
    EXPECT_THROW(run.parts[0].file->keepAs(folder / "again.mp3"), std::system_error);
    run.parts.clear();
    EXPECT_EQ(readFile(folder / "kept.mp3"), "abc");
    EXPECT_FALSE(std::filesystem::exists(spooled));

    SpoolRun other = spool(formBody({{"file", "b.mp3", "b"}}), folder.path());
    EXPECT_THROW(other.parts.at(0).file->keepAs(folder / "no such folder" / "b.mp3"), std::system_error);
    other.parts.clear();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1) << "only the kept file is left";
}

TEST(MultipartSpool, LimitsAndFailures) {
    TempDir folder;
    EXPECT_EQ(spool(formBody({{"field", "", std::string(64, 'v')}}), folder.path()).failure, 0);
    EXPECT_EQ(spool(formBody({{"field", "", std::string(65, 'v')}}), folder.path()).failure, 413);
    EXPECT_EQ(spool(formBody({{"file", "big.bin", std::string(1000, 'v')}}), folder.path()).failure, 0) << "files are not fields";
    EXPECT_EQ(spool(formBody({{"file", "a.bin", "x"}}), folder / "missing").failure, 500);
    const std::string body = formBody({{"file", "a.bin", "abc"}});
    SpoolRun broken = spool(body.substr(0, body.size() - 8), folder.path());
    EXPECT_EQ(broken.failure, 400);
    broken.parts.clear();
    EXPECT_TRUE(std::filesystem::is_empty(folder.path())) << "a broken upload leaves nothing behind";
}

}  // namespace
}  // namespace quorvane::http
