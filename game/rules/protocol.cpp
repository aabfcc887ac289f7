#include "protocol.h"

#include <cstring>

namespace protocol {

namespace {

// Decimal digits without a leading zero (but "0"), at most max; the value, or nothing.
std::optional<uint64_t> plainNumber(const std::string &text, uint64_t max) {
    if (text.empty() || text.size() > 20 || (text.size() > 1 && text[0] == '0')) return std::nullopt;
    uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const uint64_t digit = uint64_t(c - '0');
        if (value > (max - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

bool isSignature(const std::string &text) {
    return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

} // namespace

bool saysYes(const char *reply) {
    return reply && (std::strcmp(reply, yes) == 0 || std::strcmp(reply, "yes\n") == 0);
}

std::string gameName(int mode, int difficulty) {
    return "brolix" + std::to_string(mode) + "dif" + std::to_string(difficulty);
}

bool parseGameName(const std::string &text, int &mode, int &difficulty) {
    if (text.size() != 11 || text.compare(0, 6, "brolix") != 0 || text.compare(7, 3, "dif") != 0) return false;
    const int m = text[6] - '0', d = text[10] - '0';
    if (!isOnlineMode(m) || d < 0 || d >= difficulties) return false;
    mode = m;
    difficulty = d;
    return true;
}

std::string Ticket::signedText() const {
    return game + "." + std::to_string(seed) + "." + std::to_string(issued);
}

std::string Ticket::text() const { return signedText() + "." + signature; }

std::optional<Ticket> parseTicket(const std::string &text) {
    if (text.size() > ticketTextCap) return std::nullopt;
    std::string parts[4];
    size_t at = 0;
    for (int i = 0; i < 4; i++) {
        const size_t dot = i < 3 ? text.find('.', at) : text.size();
        if (dot == std::string::npos) return std::nullopt;
        parts[i] = text.substr(at, dot - at);
        at = dot + 1;
    }
    int mode, difficulty;
    const std::optional<uint64_t> seed = plainNumber(parts[1], UINT32_MAX);
    const std::optional<uint64_t> issued = plainNumber(parts[2], INT64_MAX);
    if (!parseGameName(parts[0], mode, difficulty) || !seed || !issued || !isSignature(parts[3])) return std::nullopt;
    return Ticket{parts[0], uint32_t(*seed), int64_t(*issued), parts[3]};
}

} // namespace protocol
