// KWeb against HTTP servers on loopback: bodies of every size, failures, limits.
#include "KWeb.h"
#include "loopback_http.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string patterned(size_t size) {
    std::string body(size, ' ');
    for (size_t i = 0; i < size; ++i)
        body[i] = char('!' + (i * 7) % 90); // printable, no NUL, not periodic in 256
    return body;
}

long long peakResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atoll(line.c_str() + 6);
    return -1;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class WebFetch : public ::testing::Test {
protected:
    void SetUp() override {
        http.server().Get(R"(/size/(\d+))", [](const httplib::Request &rq, httplib::Response &rs) {
            rs.set_content(patterned(std::stoul(rq.matches[1])), "text/plain");
        });
        http.server().Get("/status/404", [](const httplib::Request &, httplib::Response &rs) {
            rs.status = 404;
            rs.set_content("missing page", "text/plain");
        });
        http.server().Get("/agent", [](const httplib::Request &rq, httplib::Response &rs) {
            rs.set_content(rq.get_header_value("User-Agent"), "text/plain");
        });
        http.server().Get("/old", [](const httplib::Request &, httplib::Response &rs) { rs.set_redirect("/new"); });
        http.server().Get("/new", [](const httplib::Request &, httplib::Response &rs) {
            rs.set_content("moved here", "text/plain");
        });
        http.server().Get("/with space/x", [](const httplib::Request &rq, httplib::Response &rs) {
            rs.set_content("spaced " + rq.get_param_value("q"), "text/plain");
        });
        // A host that answers and never stops.
        http.server().Get("/forever", [](const httplib::Request &, httplib::Response &rs) {
            rs.set_chunked_content_provider("text/plain", [](size_t, httplib::DataSink &sink) {
                const std::string block = patterned(1 << 16);
                return sink.write(block.data(), block.size());
            });
        });
        // Announces 1000 bytes, sends 400, then the connection breaks.
        http.server().Get("/cut", [](const httplib::Request &, httplib::Response &rs) {
            rs.set_content_provider(1000, "text/plain", [](size_t offset, size_t, httplib::DataSink &sink) {
                if (offset > 0)
                    return false;
                const std::string part = patterned(400);
                sink.write(part.data(), part.size());
                return true;
            });
        });
        ASSERT_TRUE(http.start());
    }
    LoopbackHttp http;
};

} // namespace

TEST_F(WebFetch, EmptyBodyIsEmptyTextNotNothing) {
    KWeb web;
    const char *body = web.callURL(http.url("/size/0").c_str(), false);
    ASSERT_NE(body, nullptr);
    EXPECT_STREQ(body, "");
}

TEST_F(WebFetch, BodiesOfEverySizeUpToTheCapArriveWhole) {
    for (const size_t size : {1ul, 255ul, 256ul, 257ul, 16127ul, 16128ul, 16129ul, 16384ul, 32512ul, 32768ul,
                              65535ul, KWeb::maxBody}) {
        KWeb web;
        const char *body = web.callURL(http.url("/size/" + std::to_string(size)).c_str(), false);
        ASSERT_NE(body, nullptr) << size;
        ASSERT_EQ(std::strlen(body), size) << size;
        EXPECT_EQ(std::string(body), patterned(size)) << size;
    }
    KWeb web;
    EXPECT_EQ(web.callURL(http.url("/size/" + std::to_string(KWeb::maxBody + 1)).c_str(), false), nullptr);
}

TEST_F(WebFetch, AReplyStreamingForeverEndsAtTheCap) {
    const long long peakBefore = peakResidentKiB();
    KWeb web;
    testing::internal::CaptureStderr();
    EXPECT_EQ(web.callURL(http.url("/forever").c_str(), false), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("longer than 64 KiB"), std::string::npos);
    EXPECT_LT(peakResidentKiB() - peakBefore, 4096) << "the game's peak memory grew";
}

TEST_F(WebFetch, StatusIsNotExaminedAndAnErrorPageIsText) {
    KWeb web;
    const char *body = web.callURL(http.url("/status/404").c_str(), false);
    ASSERT_NE(body, nullptr);
    EXPECT_STREQ(body, "missing page");
    body = web.callURL(http.url("/no/such/path").c_str(), false);
    ASSERT_NE(body, nullptr) << "httplib's own 404 has an empty body: still text";
}

TEST_F(WebFetch, EachCallReplacesTheLastBody) {
    KWeb web;
    ASSERT_NE(web.callURL(http.url("/size/3000").c_str(), false), nullptr);
    const char *second = web.callURL(http.url("/size/5").c_str(), false);
    ASSERT_NE(second, nullptr);
    EXPECT_STREQ(second, "!(/6=");
    EXPECT_EQ(web.callURL(("http://127.0.0.1:" + std::to_string(unusedLoopbackPort()) + "/").c_str(), false),
              nullptr);
}

TEST_F(WebFetch, UserAgentNamesTheEngine) {
    KWeb web;
    const char *body = web.callURL(http.url("/agent").c_str(), true);
    ASSERT_NE(body, nullptr);
    EXPECT_STREQ(body, KWeb::userAgent);
    EXPECT_NE(std::strstr(body, "Brolix"), nullptr);
}

TEST_F(WebFetch, RedirectsAreFollowed) {
    KWeb web;
    const char *body = web.callURL(http.url("/old").c_str(), false);
    ASSERT_NE(body, nullptr);
    EXPECT_STREQ(body, "moved here");
}

TEST_F(WebFetch, RawSpacesAndBytesBeyondAsciiAreEncoded) {
    KWeb web;
    const char *body = web.callURL(http.url("/with space/x?q=a b\xc3\xa9").c_str(), false);
    ASSERT_NE(body, nullptr);
    EXPECT_STREQ(body, "spaced a b\xc3\xa9");
    body = web.callURL(http.url("/with space/x?q=" + KWeb::escape("a&b=c d")).c_str(), false);
    ASSERT_NE(body, nullptr);
    EXPECT_STREQ(body, "spaced a&b=c d");
}

TEST_F(WebFetch, ABrokenBodyKeepsWhatArrived) {
    KWeb web;
    const char *body = web.callURL(http.url("/cut").c_str(), false);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(std::string(body), patterned(400));
}

TEST_F(WebFetch, DirectIgnoresTheConfiguredProxy) {
    LoopbackHttp proxy;
    proxy.server().Get(".*", [](const httplib::Request &, httplib::Response &rs) {
        rs.set_content("via proxy", "text/plain");
    });
    ASSERT_TRUE(proxy.start());
    setenv("http_proxy", proxy.url("").c_str(), 1);
    KWeb web;
    const std::string viaSettings = web.callURL(http.url("/new").c_str(), false);
    const std::string direct = web.callURL(http.url("/new").c_str(), true);
    unsetenv("http_proxy");
    EXPECT_EQ(viaSettings, "via proxy");
    EXPECT_EQ(direct, "moved here");
}

TEST(WebFailures, NoServerGivesNothingAndSaysWhy) {
    KWeb web;
    const std::string url = "http://127.0.0.1:" + std::to_string(unusedLoopbackPort()) + "/x";
    testing::internal::CaptureStderr();
    EXPECT_EQ(web.callURL(url.c_str(), false), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find(url), std::string::npos);
}

TEST(WebFailures, OnlyHttpIsFetched) {
    KWeb web;
    EXPECT_EQ(web.callURL("file:///etc/hostname", false), nullptr);
    EXPECT_EQ(web.callURL("ftp://127.0.0.1/x", false), nullptr);
    EXPECT_EQ(web.callURL("not a url at all", false), nullptr);
    EXPECT_EQ(web.callURL("", false), nullptr);
}

TEST(WebFailures, ASilentServerGivesNothingWithinTheRequestLimit) {
    SilentListener silent;
    ASSERT_GT(silent.port(), 0);
    KWeb web;
    const auto start = std::chrono::steady_clock::now();
    const std::string url = "http://127.0.0.1:" + std::to_string(silent.port()) + "/scoring/x";
    EXPECT_EQ(web.callURL(url.c_str(), false), nullptr);
    const double waited = secondsSince(start);
    EXPECT_GE(waited, 9.0);   // the whole-request limit is 10 s...
    EXPECT_LT(waited, 13.0);  // ...and nothing waits longer
}

// A fresh network namespace has its loopback interface down: the machine is offline.
TEST(WebFailures, AnOfflineMachineGivesNothing) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (unshare(CLONE_NEWNET) != 0)
            _exit(77);
        KWeb web;
        _exit(web.callURL("http://127.0.0.1:1/", false) == nullptr ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no permission to make a network namespace here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
