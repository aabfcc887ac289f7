// KWeb against HTTP servers the test starts on free loopback ports.
#include <gtest/gtest.h>

#include "KWeb.h"
#include "loopback_http.h"
#include "temp_dir.h"

namespace {

std::string patterned(size_t size) {  // printable, no NUL, not periodic in 256
    std::string body(size, ' ');
    for (size_t i = 0; i < size; ++i)
        body[i] = char('!' + (i * 7) % 90);
    return body;
}

TEST(Web, BodiesUpToTheCapArriveWholeAndBadOrStalledRequestsGiveNothing) {
    using Rq = const httplib::Request &;
    using Rs = httplib::Response &;
    TempDir dir;
    LoopbackHttp http;
    httplib::Server &s = http.server();
    s.Get(R"(/size/(\d+))", [](Rq rq, Rs rs) { rs.set_content(patterned(std::stoul(rq.matches[1])), "text"); });
    s.Get("/missing", [](Rq, Rs rs) { rs.status = 404, rs.set_content("missing page", "text/plain"); });
    s.Get("/old", [](Rq, Rs rs) { rs.set_redirect("/size/5"); });
    s.Get("/secret", [&dir](Rq, Rs rs) { rs.set_redirect("file://" + dir.path("secret")); });
    s.Get("/with space/x", [](Rq rq, Rs rs) { rs.set_content("spaced " + rq.get_param_value("q"), "text"); });
    s.Get("/forever", [](Rq, Rs rs) {
        rs.set_chunked_content_provider("text/plain", [](size_t, httplib::DataSink &sink) {
            return sink.write(patterned(1 << 16).data(), 1 << 16);
        });
    });
    s.Get("/cut", [](Rq, Rs rs) {  // 400 of 1000 bytes, then the connection breaks
        rs.set_content_provider(1000, "text/plain", [](size_t offset, size_t, httplib::DataSink &sink) {
            return offset == 0 && sink.write(patterned(400).data(), 400);
        });
    });
    ASSERT_TRUE(http.start());
    KWeb web;
    auto fetch = [&](const std::string &path) -> std::string {  // "(nothing)" for no body
        const char *body = web.callURL(http.url(path).c_str(), false);
        return body ? body : "(nothing)";
    };
    for (size_t size : {0ul, 1ul, 255ul, 256ul, 257ul, 16127ul, 16128ul, 16129ul, 16383ul, 16384ul, 16385ul, 32512ul,
                        32768ul, 65535ul, KWeb::maxBody})
        EXPECT_TRUE(fetch("/size/" + std::to_string(size)) == patterned(size)) << size;
    EXPECT_EQ(fetch("/size/" + std::to_string(KWeb::maxBody + 1)), "(nothing)");
    EXPECT_EQ(fetch("/forever"), "(nothing)");  // a reply that never ends stops at the cap
    EXPECT_EQ(fetch("/missing"), "missing page");  // any status: the page is the body
    EXPECT_EQ(fetch("/old"), patterned(5));
    EXPECT_EQ(fetch("/with space/x?q=a b\xc3\xa9"), "spaced a b\xc3\xa9");  // raw spaces and bytes beyond ASCII
    EXPECT_EQ(fetch("/with space/x?q=" + KWeb::escape("a&b=c d")), "spaced a&b=c d");
    EXPECT_EQ(fetch("/cut"), patterned(400));  // a broken body keeps what arrived

    // Bad, stalled or refused requests give nothing.
    dir.write("secret", "not for the web");
    EXPECT_EQ(fetch("/secret").find("not for the web"), std::string::npos);  // no redirect out of HTTP
    for (const std::string &bad : {"file://" + dir.path("secret"), std::string("ftp://127.0.0.1/x"),
                                   std::string("not a url at all"), std::string(""), std::string("http://[::1")})
        EXPECT_EQ(web.callURL(bad.c_str(), false), nullptr) << bad;
    const std::string nobody = "http://127.0.0.1:" + std::to_string(unusedLoopbackPort()) + "/x";
    testing::internal::CaptureStderr();
    EXPECT_EQ(web.callURL(nobody.c_str(), false), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find(nobody), std::string::npos);  // says why
    SilentListener silent;  // takes the connection and never answers: the request limit ends the wait
    const long limit = KWeb::requestLimitMs;
    KWeb::requestLimitMs = 300;
    EXPECT_EQ(web.callURL(("http://127.0.0.1:" + std::to_string(silent.port()) + "/").c_str(), false), nullptr);
    KWeb::requestLimitMs = limit;
}

}  // namespace
