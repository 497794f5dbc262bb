// The pieces that take a request apart: the header scanner's limits as bytes arrive, the request
// target, the Range header and the body rate window.
#include <gtest/gtest.h>

#include "http/body_rate.h"
#include "http/byte_range.h"
#include "http/header_scanner.h"
#include "http/request_target.h"

namespace quorvane::http {
namespace {

using Result = HeaderScanner::Result;

Limits smallLimits() {
    Limits limits;
    limits.maxRequestLineBytes = 20;
    limits.maxHeaderLineBytes = 10;
    limits.maxHeaderLines = 3;
    return limits;
}

// Feeds the text one byte at a time, as the slowest client would, and returns the first result that
// is not needMore (with the bytes it took).
std::pair<Result, size_t> scanBytewise(HeaderScanner& scanner, std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const Result result = scanner.scan(text.substr(i, 1));
        if (result != Result::needMore) return {result, i + 1};
    }
    return {Result::needMore, text.size()};
}

TEST(HeaderScanner, FindsTheEndOfTheBlockWhateverThePieces) {
    const Limits limits = smallLimits();
    const std::string block = "GET /a HTTP/1.1\r\nHost: x\r\nA: 1234567\r\n\r\n";
    for (size_t split = 0; split <= block.size(); ++split) {
        HeaderScanner scanner(limits);
        Result result = scanner.scan(std::string_view(block).substr(0, split));
        if (result == Result::needMore) result = scanner.scan(block.substr(split) + "GET");
        EXPECT_EQ(result, Result::complete) << split;
        EXPECT_EQ(scanner.blockSize(), block.size()) << split;
    }
}

TEST(HeaderScanner, StopsALongLineAsSoonAsItPassesTheLimit) {
    const Limits limits = smallLimits();
    HeaderScanner requestLine(limits);
    EXPECT_EQ(scanBytewise(requestLine, "GET /" + std::string(100, 'a')), std::make_pair(Result::requestLineTooLong, size_t{21}));

    HeaderScanner exact(limits);  // 20 bytes and its CRLF are fine
    EXPECT_EQ(scanBytewise(exact, "GET /" + std::string(6, 'a') + " HTTP/1.1\r\nH: 1\r\n\r\n").first, Result::complete);

    HeaderScanner headerLine(limits);
    const std::string start = "GET / HTTP/1.1\r\n";
    EXPECT_EQ(scanBytewise(headerLine, start + "Name: " + std::string(100, 'v')), std::make_pair(Result::headerLineTooLong, start.size() + 11));
    HeaderScanner exactHeader(limits);
    EXPECT_EQ(scanBytewise(exactHeader, start + "Name: 1234\r\n\r\n").first, Result::complete);
}

TEST(HeaderScanner, CountsHeaderLines) {
    const Limits limits = smallLimits();
    HeaderScanner three(limits);
    EXPECT_EQ(three.scan("GET / HTTP/1.1\r\nA: 1\r\nB: 2\r\nC: 3\r\n\r\n"), Result::complete);
    HeaderScanner four(limits);
    EXPECT_EQ(four.scan("GET / HTTP/1.1\r\nA: 1\r\nB: 2\r\nC: 3\r\nD: 4\r\n"), Result::tooManyHeaderLines);
}

TEST(HeaderScanner, LeadingEmptyLinesCountAgainstTheRequestLine) {
    const Limits limits = smallLimits();
    HeaderScanner one(limits);
    EXPECT_EQ(one.scan("\r\nGET / HTTP/1.1\r\nA: 1\r\n\r\n"), Result::complete);
    HeaderScanner endless(limits);
    std::string empties;
    for (int i = 0; i < 100; ++i) empties += "\r\n";
    EXPECT_EQ(endless.scan(empties), Result::requestLineTooLong);
}

TEST(HeaderScanner, NoticesTransferEncodingInAnyCase) {
    const Limits limits = smallLimits();
    for (const std::string line : {"Transfer-Encoding: x", "transfer-encoding:x", "TRANSFER-ENCODING :x"}) {
        Limits wide = limits;
        wide.maxHeaderLineBytes = 100;
        HeaderScanner scanner(wide);
        EXPECT_EQ(scanner.scan("GET / HTTP/1.1\r\n" + line + "\r\n\r\n"), Result::complete);
        EXPECT_TRUE(scanner.sawTransferEncoding()) << line;
    }
    Limits wide = limits;
    wide.maxHeaderLineBytes = 100;
    HeaderScanner other(wide);
    EXPECT_EQ(other.scan("GET / HTTP/1.1\r\nTransfer-Encodings: x\r\nX-Transfer-Encoding: y\r\n\r\n"), Result::complete);
    EXPECT_FALSE(other.sawTransferEncoding());
}

TEST(RequestTarget, DecodesThePathAndTheQuery) {
    const auto target = parseRequestTarget("/a%20b/c%2Fd+e?x=1&y=a+b%26c&flag&=v&&z=%zz");
    ASSERT_TRUE(target);
    EXPECT_EQ(target->path, "/a b/c/d+e") << "a + in a path is a plus";
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(target->query, (Pairs{{"x", "1"}, {"y", "a b&c"}, {"flag", ""}, {"", "v"}, {"z", "%zz"}}));
    EXPECT_EQ(parseRequestTarget("/%00%e2%98%83%")->path, std::string("/\0\xe2\x98\x83%", 6));
}

TEST(RequestTarget, OtherForms) {
    EXPECT_EQ(parseRequestTarget("http://host:5000/a?b=c")->path, "/a");
    EXPECT_EQ(parseRequestTarget("HTTP://host?b=c")->query.size(), 1u);
    EXPECT_EQ(parseRequestTarget("https://host")->path, "/");
    EXPECT_EQ(parseRequestTarget("*")->path, "*");
    EXPECT_FALSE(parseRequestTarget("a/b"));
    EXPECT_FALSE(parseRequestTarget(""));
    EXPECT_FALSE(parseRequestTarget("host:80"));
}

TEST(ByteRange, OneRangeInItsForms) {
    using Kind = RangeDecision::Kind;
    const auto single = [](std::string_view header, uint64_t size) {
        const RangeDecision d = decideRange(header, size);
        return d.kind == Kind::single ? std::to_string(d.first) + "-" + std::to_string(d.last) : "not single";
    };
    EXPECT_EQ(single("bytes=100-199", 1000), "100-199");
    EXPECT_EQ(single("bytes=100-", 1000), "100-999");
    EXPECT_EQ(single("bytes=900-5000", 1000), "900-999");
    EXPECT_EQ(single("bytes=-10", 1000), "990-999");
    EXPECT_EQ(single("bytes=-5000", 1000), "0-999");
    EXPECT_EQ(single(" Bytes=0-0 ", 1000), "0-0");
    EXPECT_EQ(single("bytes=0-99999999999999999999999", 1000), "0-999");
}

TEST(ByteRange, UnsatisfiableAndIgnored) {
    using Kind = RangeDecision::Kind;
    for (const std::string_view header : {"bytes=9-1", "bytes=1000-", "bytes=1000-2000", "bytes=-0", "bytes=99999999999999999999999-"})
        EXPECT_EQ(decideRange(header, 1000).kind, Kind::unsatisfiable) << header;
    EXPECT_EQ(decideRange("bytes=-1", 0).kind, Kind::unsatisfiable);
    EXPECT_EQ(decideRange("bytes=0-", 0).kind, Kind::unsatisfiable);
    for (const std::string_view header :
         {"", "bytes=0-0,5-6", "bytes=0-0,0-0,0-0", "items=0-1", "bytes=a-b", "bytes=1-x", "bytes=-", "bytes=5", "bytes="})
        EXPECT_EQ(decideRange(header, 1000).kind, Kind::whole) << header;
}

TEST(BodyRate, BytesBuyTimeUpToOneWindowAhead) {
    using namespace std::chrono_literals;
    const auto start = BodyRate::Clock::time_point{};
    BodyRate rate(1000, 2000ms, start);  // a byte buys 1 ms
    EXPECT_EQ(rate.deadline(), start + 2000ms) << "nothing yet: one window";
    rate.received(500, start + 1000ms);
    EXPECT_EQ(rate.deadline(), start + 2500ms);
    rate.received(100'000, start + 1500ms);
    EXPECT_EQ(rate.deadline(), start + 3500ms) << "a fast start buys no more than a window";
    rate.pause(start + 2000ms);
    rate.resume(start + 2700ms);
    EXPECT_EQ(rate.deadline(), start + 4200ms) << "waiting on our own disk does not count";
}

TEST(BodyRate, ATrickleFallsBehind) {
    using namespace std::chrono_literals;
    const auto start = BodyRate::Clock::time_point{};
    BodyRate rate(1000, 2000ms, start);
    auto now = start;
    while (now < rate.deadline()) {  // 10 bytes every 100 ms: a tenth of the minimum
        now += 100ms;
        rate.received(10, now);
    }
    EXPECT_EQ(now, start + 2300ms) << "cut off a little after one window";
    BodyRate zeroRate(0, 2000ms, start);  // still one byte per second
    zeroRate.received(1, start + 1000ms);
    EXPECT_EQ(zeroRate.deadline(), start + 3000ms);
}

}  // namespace
}  // namespace quorvane::http
