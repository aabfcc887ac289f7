#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

typedef void CURL;
typedef struct Curl_URL CURLU;

// Fetches one URL with an HTTP GET and keeps the whole body as text.
// Blocking; one request at a time per object.
class KWeb {
public:
    KWeb();
    ~KWeb();                            // frees handles, then the body
    KWeb(const KWeb &) = delete;
    KWeb &operator=(const KWeb &) = delete;

    // Body of the response (any status), or nullptr when the request failed or the
    // machine is offline. Owned by this object until the next call or destruction.
    // direct: bypass any configured proxy.
    const char *callURL(const char *url, bool direct);

    static const char *const userAgent; // the engine's name, sent with every request

private:
    const char *openURL(const char *url, bool direct);
    void freeDataBuffer();              // drops the body, length 0
    void freeInternetHandles();         // closes the request, then the session
    bool openSession(bool direct);      // user agent, proxy choice, time limits
    bool appendBody(const char *data, size_t size); // 256-byte reads, doubling buffer
    static size_t receive(char *data, size_t size, size_t count, void *self);

    CURL *_internetSession = nullptr;   // one transfer's settings and connection
    CURLU *_urlHandle = nullptr;        // the parsed URL being fetched
    std::vector<char> _dataBuffer;      // body + end-of-text mark; empty before a fetch
    uint32_t _dataLength = 0;
};

// Encodes unsafe characters of a URL before its first '?' or '#', like a browser;
// the query and fragment pass unchanged. Returns false when the result would
// exceed 519 characters (the caller then uses the URL as it is).
bool canonicalizeURL(const char *url, char *out, size_t outSize);
