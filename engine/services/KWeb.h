#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

typedef void CURL;
typedef struct Curl_URL CURLU;
struct curl_slist;

// Fetches one URL with an HTTP GET (or sends bytes with a POST) and keeps the whole
// reply body as text.
// Blocking; one request at a time per object. A failed request says why on
// standard error.
class KWeb {
public:
    KWeb();
    ~KWeb();                            // frees handles, then the body
    KWeb(const KWeb &) = delete;
    KWeb &operator=(const KWeb &) = delete;

    // Body of the response (any status), or nullptr when the request failed, the
    // machine is offline or the body is longer than maxBody. Owned by this object
    // until the next call or destruction. Raw spaces and bytes beyond ASCII in the
    // URL are percent-encoded. direct: bypass any configured proxy.
    const char *callURL(const char *url, bool direct);
    // The same with a POST of these bytes (at most maxPost, else nothing is sent).
    const char *postURL(const char *url, const std::string &body, bool direct);
    long status() const { return _status; }     // of the last reply; 0 when there was none

    static std::string escape(const char *text); // percent-encoded for a query value
    static const char *const userAgent;          // the engine's name, sent with every request
    static const size_t maxBody = 65536;         // far more than a score server's "yes"
    static const size_t maxPost = 4 << 20;       // more than the longest game record
    static long requestLimitMs;                  // whole request, connection included; tests of the time-outs shorten it

private:
    const char *openURL(const char *url, bool direct, const std::string *post = nullptr);
    const char *fail(const char *url, const char *why); // says why, drops the body, nullptr
    void freeDataBuffer();              // drops the body, length 0
    void freeInternetHandles();         // closes the request, then the session
    bool openSession(bool direct);      // user agent, proxy choice, time limits
    bool appendBody(const char *data, size_t size); // 256-byte reads, doubling buffer; false past maxBody
    static size_t receive(char *data, size_t size, size_t count, void *self);

    CURL *_internetSession = nullptr;   // one transfer's settings and connection
    CURLU *_urlHandle = nullptr;        // the parsed URL being fetched
    curl_slist *_headers = nullptr;     // a POST's own headers
    std::vector<char> _dataBuffer;      // body + end-of-text mark; empty before a fetch
    uint32_t _dataLength = 0;
    const char *_method = "GET";        // of the request in hand, for its messages
    long _status = 0;
};
