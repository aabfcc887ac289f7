// KWeb against HTTP servers the test starts on free loopback ports.
#include <gtest/gtest.h>
#include <httplib.h>

#include <thread>

#include "KWeb.h"
#include "temp_dir.h"

namespace {

std::string patterned(size_t size) {  // printable, no NUL, not periodic in 256
    std::string body(size, ' ');
    for (size_t i = 0; i < size; ++i)
        body[i] = char('!' + (i * 7) % 90);
    return body;
}

class Web : public ::testing::Test {
protected:
    void SetUp() override {
        using Rq = const httplib::Request &;
        using Rs = httplib::Response &;
        server.Get(R"(/size/(\d+))", [](Rq rq, Rs rs) { rs.set_content(patterned(std::stoul(rq.matches[1])), ""); });
        server.Get("/missing", [](Rq, Rs rs) { rs.status = 404, rs.set_content("missing page", "text/plain"); });
        server.Get("/old", [](Rq, Rs rs) { rs.set_redirect("/size/5"); });
        server.Get("/secret", [this](Rq, Rs rs) { rs.set_redirect("file://" + dir.path("secret")); });
        server.Get("/with space/x", [](Rq rq, Rs rs) { rs.set_content("spaced " + rq.get_param_value("q"), "text"); });
        server.Get("/forever", [](Rq, Rs rs) {
            rs.set_chunked_content_provider("text/plain", [](size_t, httplib::DataSink &sink) {
                return sink.write(patterned(1 << 16).data(), 1 << 16);
            });
        });
        server.Get("/cut", [](Rq, Rs rs) {  // 400 of 1000 bytes, then the connection breaks
            rs.set_content_provider(1000, "text/plain", [](size_t offset, size_t, httplib::DataSink &sink) {
                return offset == 0 && sink.write(patterned(400).data(), 400);
            });
        });
        port = server.bind_to_any_port("127.0.0.1");
        ASSERT_GT(port, 0);
        thread = std::thread([this] { server.listen_after_bind(); });
        for (int i = 0; i < 500 && !server.is_running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(server.is_running());
    }
    void TearDown() override {
        server.stop();
        thread.join();
    }
    std::string url(const std::string &path) { return "http://127.0.0.1:" + std::to_string(port) + path; }
    std::string fetch(const std::string &path) {  // "(nothing)" for no body
        const char *body = web.callURL(url(path).c_str(), false);
        return body ? body : "(nothing)";
    }
    httplib::Server server;
    std::thread thread;
    int port = 0;
    TempDir dir;
    KWeb web;
};

TEST_F(Web, BodiesOfEverySizeUpToTheCapArriveWhole) {
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
}

TEST_F(Web, BadStalledOrRefusedRequestsGiveNothing) {
    dir.write("secret", "not for the web");
    EXPECT_EQ(fetch("/secret").find("not for the web"), std::string::npos);  // no redirect out of HTTP
    for (const std::string &bad : {"file://" + dir.path("secret"), std::string("ftp://127.0.0.1/x"),
                                   std::string("not a url at all"), std::string(""), std::string("http://[::1")})
        EXPECT_EQ(web.callURL(bad.c_str(), false), nullptr) << bad;
    const std::string nobody = "http://127.0.0.1:" + std::to_string(freeLoopbackPort()) + "/x";
    testing::internal::CaptureStderr();
    EXPECT_EQ(web.callURL(nobody.c_str(), false), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find(nobody), std::string::npos);  // says why
    // A server that takes the connection and never answers: the request limit ends the wait.
    const int silent = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr *>(&address), length), 0);
    ASSERT_EQ(getsockname(silent, reinterpret_cast<sockaddr *>(&address), &length), 0);
    ASSERT_EQ(listen(silent, 4), 0);
    const long limit = KWeb::requestLimitMs;
    KWeb::requestLimitMs = 300;
    const std::string stalled = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";
    EXPECT_EQ(web.callURL(stalled.c_str(), false), nullptr);
    KWeb::requestLimitMs = limit;
    close(silent);
}

}  // namespace
