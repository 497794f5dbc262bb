// Ordinary traffic through a real server on 127.0.0.1: methods, keep-alive and pipelining, decoding,
// bodies in memory and multipart, refusals before the body, 100-continue, byte ranges, HEAD.
#include <fstream>

#include <gtest/gtest.h>

#include "running_server.h"
#include "support/raw_http_client.h"

namespace quorvane::http {
namespace {

using namespace testing;
using quorvane::testing::readFile;
using quorvane::testing::writeFile;

class ServerTraffic : public ::testing::Test {
protected:
    void TearDown() override {
        const auto errors = server.app.takeErrors();
        EXPECT_TRUE(errors.empty()) << errors.front();
    }

    void expectCacheHeaders(const HttpReply& reply) {
        EXPECT_EQ(reply.header("Cache-Control"), "no-store, no-cache, must-revalidate, max-age=0") << reply.status;
        EXPECT_EQ(reply.header("Expires"), "0") << reply.status;
        EXPECT_EQ(reply.count("Cache-Control"), 1u);
    }

    RunningServer server;
};

TEST_F(ServerTraffic, GetPostAndHeadOnOneKeptAliveConnection) {
    RawClient client(server.port);
    ASSERT_TRUE(client.send(get("/echo?a=1")));
    const auto first = client.receive();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->status, 200);
    EXPECT_EQ(first->body, "method=GET\npath=/echo\nquery=[a=1]\nbody=");
    EXPECT_EQ(first->header("Content-Length"), std::to_string(first->body.size()));
    EXPECT_EQ(first->header("Connection"), "");
    expectCacheHeaders(*first);

    const std::string json = R"({"name": "Órarend", "lessons": ["08:00 - 08:45"]})";
    ASSERT_TRUE(client.send(post("/echo", json, "application/json")));
    const auto second = client.receive();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->body, "method=POST\npath=/echo\nquery=\nbody=" + json);

    ASSERT_TRUE(client.send("HEAD /echo HTTP/1.1\r\nHost: x\r\n\r\n"));
    const auto head = client.receive(5s, true);
    ASSERT_TRUE(head);
    EXPECT_EQ(head->status, 200);
    EXPECT_EQ(head->header("Content-Length"), std::to_string(std::string("method=HEAD\npath=/echo\nquery=\nbody=").size()));
    ASSERT_TRUE(client.send(get("/")));
    EXPECT_EQ(client.receive()->body, "ok") << "nothing of the HEAD body came before it";
    EXPECT_EQ(server.server.openConnections(), 1u);
}

TEST_F(ServerTraffic, PipelinedRequestsAnswerInOrder) {
    RawClient client(server.port);
    ASSERT_TRUE(client.send(get("/echo?n=1") + post("/echo?n=2", "body") + get("/echo?n=3")));
    EXPECT_EQ(client.receive()->body, "method=GET\npath=/echo\nquery=[n=1]\nbody=");
    EXPECT_EQ(client.receive()->body, "method=POST\npath=/echo\nquery=[n=2]\nbody=body");
    EXPECT_EQ(client.receive()->body, "method=GET\npath=/echo\nquery=[n=3]\nbody=");
}

TEST_F(ServerTraffic, PathAndQueryArriveDecoded) {
    const HttpReply reply = roundTrip(server.port, get("/echo%2Fx/%C3%93ra%20rend?q=a+b%26c&empty=&flag"));
    EXPECT_EQ(reply.body, "method=GET\npath=/echo/x/Óra rend\nquery=[q=a b&c][empty=][flag=]\nbody=");
    EXPECT_EQ(roundTrip(server.port, "GET http://player:5000/echo?x=1 HTTP/1.1\r\nHost: x\r\n\r\n").body,
              "method=GET\npath=/echo\nquery=[x=1]\nbody=");
}

TEST_F(ServerTraffic, HttpTenAndConnectionCloseEndTheConnection) {
    for (const std::string request :
         {"GET / HTTP/1.0\r\n\r\n", "GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", "GET / HTTP/1.0\r\nConnection: keep-alive\r\n\r\n"}) {
        RawClient client(server.port);
        ASSERT_TRUE(client.send(request));
        const auto reply = client.receive();
        ASSERT_TRUE(reply) << request;
        EXPECT_EQ(reply->body, "ok");
        EXPECT_EQ(reply->header("Connection"), "close") << request;
        EXPECT_TRUE(client.closedWithin(2s)) << request;
    }
}

TEST_F(ServerTraffic, AnswersWithoutABodyNeedNoLength) {
    RawClient client(server.port);
    ASSERT_TRUE(client.send("POST /echo HTTP/1.1\r\nHost: x\r\n\r\n"));
    const auto reply = client.receive(2s);
    ASSERT_TRUE(reply) << "a POST without a length has no body: no waiting for the connection to end";
    EXPECT_EQ(reply->body, "method=POST\npath=/echo\nquery=\nbody=");
}

TEST_F(ServerTraffic, MultipartWithAFileAndAField) {
    const std::string content = std::string(200'000, 'a') + "\r\n--XbOuNdAr-not-the-end" + std::string(100'000, 'b');
    Fnv digest;
    digest.add(content);
    const std::string body = formBody({{"name", "", "Bell"}, {"file", "bell.mp3", content}});
    const HttpReply reply = roundTrip(server.port, post("/upload?keep=kept.mp3", body, formContentType()));
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, "name||value=Bell\nfile|bell.mp3|size=" + std::to_string(content.size()) + "|observed=" + std::to_string(content.size()) +
                              "|" + digest.hex() + "|spooled\n");
    EXPECT_EQ(readFile(server.folder / "kept.mp3"), content);
    EXPECT_TRUE(waitUntil([&] { return std::distance(std::filesystem::directory_iterator(server.folder.path()), {}) == 1; }))
        << "the spooled file became the kept one; nothing else is left";

    EXPECT_EQ(roundTrip(server.port, post("/upload", "{}", "application/json")).status, 415);
    EXPECT_EQ(roundTrip(server.port, post("/upload", body.substr(0, body.size() - 10), formContentType())).status, 400);
    const HttpReply noBody = roundTrip(server.port, "POST /upload HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(noBody.status, 200);
    EXPECT_EQ(noBody.body, "") << "no parts";
}

TEST_F(ServerTraffic, RefusalBeforeTheBody) {
    RawClient withoutBody(server.port);
    ASSERT_TRUE(withoutBody.send(get("/refuse")));
    const auto refused = withoutBody.receive();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 403);
    EXPECT_EQ(refused->body, "refused");
    expectCacheHeaders(*refused);
    ASSERT_TRUE(withoutBody.send(get("/"))) << "no body was announced: the connection stays";
    EXPECT_EQ(withoutBody.receive()->body, "ok");

    RawClient withBody(server.port);
    ASSERT_TRUE(withBody.send("POST /refuse HTTP/1.1\r\nHost: x\r\nContent-Length: 10\r\n\r\n"));
    const auto closing = withBody.receive();
    ASSERT_TRUE(closing);
    EXPECT_EQ(closing->status, 403);
    EXPECT_EQ(closing->header("Connection"), "close");
    EXPECT_TRUE(withBody.closedWithin(3s)) << "the unread body must never be taken for a request";

    RawClient asked(server.port);
    ASSERT_TRUE(asked.send("GET /refuse HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"));
    EXPECT_EQ(asked.receive()->header("Connection"), "close");
    EXPECT_TRUE(asked.closedWithin(3s));
}

TEST_F(ServerTraffic, ContinueOnlyWhenTheBodyIsWanted) {
    RawClient accepted(server.port);
    ASSERT_TRUE(accepted.send("POST /echo HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\nExpect: 100-continue\r\n\r\n"));
    const auto interim = accepted.receive();
    ASSERT_TRUE(interim);
    EXPECT_EQ(interim->status, 100);
    ASSERT_TRUE(accepted.send("hello"));
    EXPECT_EQ(accepted.receive()->body, "method=POST\npath=/echo\nquery=\nbody=hello");

    RawClient refused(server.port);
    ASSERT_TRUE(refused.send("POST /refuse HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\nExpect: 100-continue\r\n\r\n"));
    const auto refusal = refused.receive();
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->status, 403);
    EXPECT_TRUE(refused.closedWithin(3s));
    EXPECT_EQ(refused.unparsed(), "") << "no 100 Continue before or after the refusal";

    RawClient tooLarge(server.port);
    ASSERT_TRUE(tooLarge.send("POST /echo HTTP/1.1\r\nHost: x\r\nContent-Length: 2000000\r\nExpect: 100-continue\r\n\r\n"));
    EXPECT_EQ(tooLarge.receive()->status, 413);
}

class ServerFiles : public ServerTraffic {
protected:
    void SetUp() override {
        for (int i = 0; i < 100'000; ++i) content += static_cast<char>('a' + i % 26);
        writeFile(server.folder / "sound.mp3", content);
    }
    HttpReply fetch(const std::string& target, const std::string& range) {
        return roundTrip(server.port, get(target, range.empty() ? "" : "Range: " + range + "\r\n"));
    }
    std::string content;
};

TEST_F(ServerFiles, WholeFilesAndOneRange) {
    const HttpReply whole = fetch("/file?name=sound.mp3", "");
    EXPECT_EQ(whole.status, 200);
    EXPECT_EQ(whole.body, content);
    EXPECT_EQ(whole.header("Accept-Ranges"), "bytes");
    EXPECT_EQ(whole.header("Content-Type"), "application/octet-stream");
    expectCacheHeaders(whole);

    const HttpReply part = fetch("/file?name=sound.mp3", "bytes=70000-70099");
    EXPECT_EQ(part.status, 206);
    EXPECT_EQ(part.header("Content-Range"), "bytes 70000-70099/100000");
    EXPECT_EQ(part.body, content.substr(70000, 100));
    EXPECT_EQ(fetch("/file?name=sound.mp3", "bytes=-3").body, content.substr(99997));

    const HttpReply several = fetch("/file?name=sound.mp3", "bytes=0-0,0-0,0-0");
    EXPECT_EQ(several.status, 200) << "several ranges: the whole file";
    EXPECT_EQ(several.body, content);
    EXPECT_EQ(roundTrip(server.port, get("/file?name=sound.mp3", "Range: bytes=0-1\r\nIf-Range: \"x\"\r\n")).status, 200);
    EXPECT_EQ(fetch("/file?name=sound.mp3&ranges=no", "bytes=0-1").status, 200);
    EXPECT_EQ(fetch("/echo", "bytes=0-1").status, 200) << "ranges apply to files only";
}

TEST_F(ServerFiles, UnsatisfiableRangesAndMissingFiles) {
    for (const std::string range : {"bytes=9-1", "bytes=100000-"}) {
        const HttpReply reply = fetch("/file?name=sound.mp3", range);
        EXPECT_EQ(reply.status, 416) << range;
        EXPECT_EQ(reply.header("Content-Range"), "bytes */100000");
        expectCacheHeaders(reply);
    }
    const HttpReply missing = fetch("/file?name=nothing.mp3", "");
    EXPECT_EQ(missing.status, 404);
    expectCacheHeaders(missing);
    EXPECT_EQ(fetch("/file?name=.", "").status, 404) << "a folder is not a file";
}

TEST_F(ServerFiles, HeadOfAFileSendsItsLengthOnly) {
    RawClient client(server.port);
    ASSERT_TRUE(client.send("HEAD /file?name=sound.mp3 HTTP/1.1\r\nHost: x\r\nRange: bytes=10-19\r\n\r\n"));
    const auto head = client.receive(5s, true);
    ASSERT_TRUE(head);
    EXPECT_EQ(head->status, 206);
    EXPECT_EQ(head->header("Content-Length"), "10");
    ASSERT_TRUE(client.send(get("/")));
    EXPECT_EQ(client.receive()->body, "ok");
}

TEST_F(ServerTraffic, TheTransportsOwnAnswersPassThroughFinish) {
    const HttpReply malformed = roundTrip(server.port, "NONSENSE\r\n\r\n");
    EXPECT_EQ(malformed.status, 400);
    EXPECT_EQ(malformed.header("Connection"), "close");
    expectCacheHeaders(malformed);
    const HttpReply longTarget = roundTrip(server.port, get("/" + std::string(10000, 'a')));
    EXPECT_EQ(longTarget.status, 414);
    expectCacheHeaders(longTarget);
    EXPECT_EQ(roundTrip(server.port, "GET / HTTP/2.0\r\nHost: x\r\n\r\n").status, 400) << "the parser knows HTTP/1.0 and 1.1 only";
    EXPECT_EQ(roundTrip(server.port, "GET relative HTTP/1.1\r\nHost: x\r\n\r\n").status, 400);
    EXPECT_EQ(roundTrip(server.port, "GET / HTTP/1.1\nHost: x\n\n").status, 400) << "bare line feeds";
}

TEST_F(ServerTraffic, AHandlerThatThrowsAnswers500AndTheServerGoesOn) {
    const HttpReply failed = roundTrip(server.port, get("/throw"));
    EXPECT_EQ(failed.status, 500);
    EXPECT_EQ(failed.body, "Internal Server Error");
    expectCacheHeaders(failed);
    EXPECT_EQ(roundTrip(server.port, get("/")).body, "ok");
    const auto errors = server.app.takeErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("the handler failed"), std::string::npos);
}

}  // namespace
}  // namespace quorvane::http
