#include "caching.h"

#include "pages.h"

#include <cstdio>
#include <ctime>

namespace scored {

namespace {

const int64_t kStarted = int64_t(std::time(nullptr));

// Weak comparison (RFC 9110, 13.1.2): W/ is ignored, "*" matches any copy.
bool tagListHolds(const std::string &list, const std::string &etag) {
    size_t at = 0;
    while (at < list.size()) {
        const size_t comma = list.find(',', at);
        const size_t end = comma == std::string::npos ? list.size() : comma;
        std::string tag = list.substr(at, end - at);
        tag.erase(0, tag.find_first_not_of(" \t"));
        tag.erase(tag.find_last_not_of(" \t") + 1);
        if (tag.compare(0, 2, "W/") == 0)
            tag.erase(0, 2);
        if (tag == "*" || tag == etag)
            return true;
        at = end + 1;
    }
    return false;
}

} // namespace

std::string entityTag(const std::string &body) {
    uint64_t hash = 14695981039346656037ull; // FNV-1a
    for (const char c : body) {
        hash ^= uint8_t(c);
        hash *= 1099511628211ull;
    }
    char text[24];
    std::snprintf(text, sizeof text, "\"%016llx\"", static_cast<unsigned long long>(hash));
    return text;
}

std::string httpDate(int64_t secondsSince1970) {
    return formatDate(secondsSince1970, "%a, %d %b %Y %H:%M:%S GMT");
}

std::optional<int64_t> parseHttpDate(const std::string &text) {
    // IMF-fixdate, then the obsolete RFC 850 and asctime forms.
    for (const char *format : {"%a, %d %b %Y %H:%M:%S GMT", "%A, %d-%b-%y %H:%M:%S GMT", "%a %b %e %H:%M:%S %Y"}) {
        tm utc{};
        const char *end = strptime(text.c_str(), format, &utc);
        if (end && *end == 0)
            return int64_t(timegm(&utc));
    }
    return std::nullopt;
}

int64_t serverStarted() {
    return kStarted;
}

bool unchanged(const Conditions &conditions, const std::string &etag, int64_t lastModified) {
    if (conditions.ifNoneMatch)
        return tagListHolds(*conditions.ifNoneMatch, etag);
    if (!conditions.ifModifiedSince)
        return false;
    const std::optional<int64_t> since = parseHttpDate(*conditions.ifModifiedSince);
    return since && lastModified <= *since;
}

} // namespace scored
