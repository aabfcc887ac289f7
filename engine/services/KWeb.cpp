#include "KWeb.h"

#include <curl/curl.h>
#include <ifaddrs.h>
#include <net/if.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

const char *const KWeb::userAgent = "Brolix K engine/1.0 (Linux)";
long KWeb::requestLimitMs = 10000;

namespace {

const size_t kFirstCapacity = 16384;
const size_t kReadSize = 256;
const long kConnectSeconds = 3;
const long kMaxRedirects = 10;

bool canAttemptConnection() {
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}

// Connected means some interface, loopback included, is up and running: a
// machine with its cable out still reaches a server of its own.
bool isMachineConnected() {
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0)
        return false;
    bool connected = false;
    for (ifaddrs *a = list; a && !connected; a = a->ifa_next)
        connected = (a->ifa_flags & IFF_UP) && (a->ifa_flags & IFF_RUNNING);
    freeifaddrs(list);
    return connected;
}

} // namespace

KWeb::KWeb() = default;

KWeb::~KWeb() {
    freeInternetHandles();
    freeDataBuffer();
}

const char *KWeb::callURL(const char *url, bool direct) {
    _method = "GET";
    _status = 0;
    if (!canAttemptConnection())
        return fail(url, "libcurl did not start");
    if (!isMachineConnected())
        return fail(url, "no network interface is up");
    return openURL(url, direct);
}

const char *KWeb::postURL(const char *url, const std::string &body, bool direct) {
    _method = "POST";
    _status = 0;
    if (body.size() > maxPost)
        return fail(url, "the body is longer than 4 MiB");
    if (!canAttemptConnection())
        return fail(url, "libcurl did not start");
    if (!isMachineConnected())
        return fail(url, "no network interface is up");
    return openURL(url, direct, &body);
}

std::string KWeb::escape(const char *text) {
    char *escaped = curl_easy_escape(nullptr, text, 0);
    const std::string result = escaped ? escaped : "";
    curl_free(escaped);
    return result;
}

const char *KWeb::fail(const char *url, const char *why) {
    std::fprintf(stderr, "KWeb: %s %s failed: %s\n", _method, url ? url : "(no URL)", why);
    freeDataBuffer();
    return nullptr;
}

void KWeb::freeDataBuffer() {
    _dataBuffer.clear();
    _dataBuffer.shrink_to_fit();
    _dataLength = 0;
}

void KWeb::freeInternetHandles() {
    if (_urlHandle) {
        if (_internetSession)
            curl_easy_setopt(_internetSession, CURLOPT_CURLU, nullptr);
        curl_url_cleanup(_urlHandle);
        _urlHandle = nullptr;
    }
    if (_internetSession) {
        curl_easy_cleanup(_internetSession);
        _internetSession = nullptr;
    }
    curl_slist_free_all(_headers);
    _headers = nullptr;
}

bool KWeb::openSession(bool direct) {
    _internetSession = curl_easy_init();
    if (!_internetSession)
        return false;
    CURL *s = _internetSession;
    curl_easy_setopt(s, CURLOPT_USERAGENT, userAgent);
    if (direct)
        curl_easy_setopt(s, CURLOPT_PROXY, ""); // ignore proxy settings of the environment
    curl_easy_setopt(s, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(s, CURLOPT_CONNECTTIMEOUT, kConnectSeconds);
    curl_easy_setopt(s, CURLOPT_TIMEOUT_MS, requestLimitMs);
    curl_easy_setopt(s, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(s, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(s, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(s, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(s, CURLOPT_WRITEFUNCTION, &KWeb::receive);
    curl_easy_setopt(s, CURLOPT_WRITEDATA, this);
    return true;
}

const char *KWeb::openURL(const char *url, bool direct, const std::string *post) {
    freeInternetHandles();
    freeDataBuffer();
    if (!openSession(direct))
        return fail(url, "no transfer handle");
    // A raw space or a byte beyond ASCII is encoded rather than refused.
    _urlHandle = curl_url();
    const CURLUcode parsed = _urlHandle ? curl_url_set(_urlHandle, CURLUPART_URL, url, CURLU_URLENCODE | CURLU_ALLOW_SPACE)
                                        : CURLUE_OUT_OF_MEMORY;
    if (parsed != CURLUE_OK)
        return fail(url, curl_url_strerror(parsed));
    curl_easy_setopt(_internetSession, CURLOPT_CURLU, _urlHandle);
    if (post) { // sent as it is, its length announced
        curl_easy_setopt(_internetSession, CURLOPT_POSTFIELDS, post->data());
        curl_easy_setopt(_internetSession, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(post->size()));
        // Sent at once: a server that refuses it answers from the headers alone anyway.
        _headers = curl_slist_append(curl_slist_append(nullptr, "Content-Type: application/octet-stream"), "Expect:");
        curl_easy_setopt(_internetSession, CURLOPT_HTTPHEADER, _headers);
    }

    _dataBuffer.assign(kFirstCapacity, 0);
    const CURLcode result = curl_easy_perform(_internetSession);
    long status = 0;
    curl_easy_getinfo(_internetSession, CURLINFO_RESPONSE_CODE, &status);
    freeInternetHandles();
    _status = status;
    // Only the body's cap makes the transfer fail while writing.
    if (result == CURLE_WRITE_ERROR)
        return fail(url, "the reply is longer than 64 KiB");
    // No response at all is a failure; a response cut short keeps what arrived.
    if (result != CURLE_OK && status == 0)
        return fail(url, curl_easy_strerror(result));
    if (result != CURLE_OK)
        std::fprintf(stderr, "KWeb: %s %s cut short: %s\n", _method, url, curl_easy_strerror(result));
    _dataBuffer[_dataLength] = 0;
    return _dataBuffer.data();
}

bool KWeb::appendBody(const char *data, size_t size) {
    if (_dataLength + size > maxBody)
        return false;
    while (size > 0) {
        const size_t n = std::min(size, kReadSize);
        std::memcpy(&_dataBuffer[_dataLength], data, n);
        _dataLength += uint32_t(n);
        data += n;
        size -= n;
        if (_dataLength + kReadSize >= _dataBuffer.size())
            _dataBuffer.resize(_dataBuffer.size() * 2, 0);
    }
    return true;
}

size_t KWeb::receive(char *data, size_t size, size_t count, void *self) {
    const size_t total = size * count;
    return static_cast<KWeb *>(self)->appendBody(data, total) ? total : 0;
}
