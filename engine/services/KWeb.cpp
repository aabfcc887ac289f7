#include "KWeb.h"

#include <curl/curl.h>
#include <ifaddrs.h>
#include <net/if.h>

#include <algorithm>
#include <cstring>

const char *const KWeb::userAgent = "Brolix K engine/1.0 (Linux)";

namespace {

const size_t kFirstCapacity = 16384;
const size_t kReadSize = 256;
// A body that would need more than this is cut there, like a failed read.
const size_t kMaxCapacity = size_t(1) << 30;
const long kConnectSeconds = 3;
const long kRequestSeconds = 10;
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

bool isUnsafeInURL(unsigned char c) {
    return c <= 0x20 || c >= 0x7f || std::strchr("\"<>\\^`{|}", c) != nullptr;
}

} // namespace

bool canonicalizeURL(const char *url, char *out, size_t outSize) {
    static const char hex[] = "0123456789ABCDEF";
    size_t n = 0;
    bool inQuery = false;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(url); *p; ++p) {
        inQuery = inQuery || *p == '?' || *p == '#';
        const bool encode = !inQuery && isUnsafeInURL(*p);
        const size_t need = encode ? 3 : 1;
        if (n + need >= outSize)
            return false;
        if (encode) {
            out[n++] = '%';
            out[n++] = hex[*p >> 4];
            out[n++] = hex[*p & 15];
        } else {
            out[n++] = char(*p);
        }
    }
    out[n] = 0;
    return true;
}

KWeb::KWeb() = default;

KWeb::~KWeb() {
    freeInternetHandles();
    freeDataBuffer();
}

const char *KWeb::callURL(const char *url, bool direct) {
    if (!canAttemptConnection() || !isMachineConnected())
        return nullptr;
    return openURL(url, direct);
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
    curl_easy_setopt(s, CURLOPT_TIMEOUT, kRequestSeconds);
    curl_easy_setopt(s, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(s, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(s, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(s, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(s, CURLOPT_WRITEFUNCTION, &KWeb::receive);
    curl_easy_setopt(s, CURLOPT_WRITEDATA, this);
    return true;
}

const char *KWeb::openURL(const char *url, bool direct) {
    freeInternetHandles();
    freeDataBuffer();
    if (!openSession(direct))
        return nullptr;

    char canonical[520] = {};
    const char *target = canonicalizeURL(url, canonical, sizeof canonical) ? canonical : url;
    _urlHandle = curl_url();
    if (!_urlHandle || curl_url_set(_urlHandle, CURLUPART_URL, target, 0) != CURLUE_OK)
        return nullptr;
    curl_easy_setopt(_internetSession, CURLOPT_CURLU, _urlHandle);

    _dataBuffer.assign(kFirstCapacity, 0);
    const CURLcode result = curl_easy_perform(_internetSession);
    long status = 0;
    curl_easy_getinfo(_internetSession, CURLINFO_RESPONSE_CODE, &status);
    freeInternetHandles();
    // No response at all is a failure; a response cut short keeps what arrived.
    if (result != CURLE_OK && status == 0) {
        freeDataBuffer();
        return nullptr;
    }
    _dataBuffer[_dataLength] = 0;
    return _dataBuffer.data();
}

bool KWeb::appendBody(const char *data, size_t size) {
    while (size > 0) {
        const size_t n = std::min(size, kReadSize);
        std::memcpy(&_dataBuffer[_dataLength], data, n);
        _dataLength += uint32_t(n);
        data += n;
        size -= n;
        if (_dataLength + kReadSize >= _dataBuffer.size()) {
            if (_dataBuffer.size() * 2 > kMaxCapacity)
                return false;
            _dataBuffer.resize(_dataBuffer.size() * 2, 0);
        }
    }
    return true;
}

size_t KWeb::receive(char *data, size_t size, size_t count, void *self) {
    const size_t total = size * count;
    return static_cast<KWeb *>(self)->appendBody(data, total) ? total : 0;
}
