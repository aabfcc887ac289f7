#include "tickets.h"

#include <nettle/hmac.h>
#include <nettle/memops.h>
#include <nettle/sha2.h>

#include <sys/random.h>

namespace scored {

namespace {

std::string hex(const uint8_t *bytes, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < size; i++) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

} // namespace

std::string TicketSigner::sign(const std::string &text) const {
    hmac_sha256_ctx ctx;
    hmac_sha256_set_key(&ctx, _key.size(), reinterpret_cast<const uint8_t *>(_key.data()));
    hmac_sha256_update(&ctx, text.size(), reinterpret_cast<const uint8_t *>(text.data()));
    uint8_t digest[SHA256_DIGEST_SIZE];
    hmac_sha256_digest(&ctx, sizeof digest, digest);
    return hex(digest, sizeof digest);
}

protocol::Ticket TicketSigner::issue(const Game &game, uint32_t seed, int64_t now) const {
    protocol::Ticket ticket{game.name(), seed, now, {}};
    ticket.signature = sign(ticket.signedText());
    return ticket;
}

std::string TicketSigner::check(const std::string &ticketText, const Game &game, uint32_t seed, uint32_t frames,
                                int64_t now) const {
    const std::optional<protocol::Ticket> ticket = protocol::parseTicket(ticketText);
    if (!ticket)
        return "the ticket is not one this server writes";
    const std::string expected = sign(ticket->signedText());
    // Compared in constant time: timing must not reveal how much of a forgery was right.
    if (!nettle_memeql_sec(expected.data(), ticket->signature.data(), expected.size()))
        return "the ticket is not signed by this server";
    if (ticket->game != game.name())
        return "the ticket is for " + ticket->game + ", not " + game.name();
    if (ticket->seed != seed)
        return "the record's seed is not its ticket's";
    if (now - ticket->issued > protocol::ticketLifetimeSeconds)
        return "the ticket has expired";
    const int64_t lasted = int64_t(frames) * protocol::frameMilliseconds / 1000;
    if (now - ticket->issued + 1 < lasted) // both times are whole seconds: a second's grace
        return "the game lasts " + std::to_string(lasted) + " s, longer than its ticket is old";
    return {};
}

std::string randomBytes(size_t count) {
    std::string bytes(count, '\0');
    size_t got = 0;
    while (got < count) {
        const ssize_t n = getrandom(&bytes[got], count - got, 0);
        if (n <= 0)
            return {};
        got += size_t(n);
    }
    return bytes;
}

std::string recordDigest(const std::string &bytes) {
    sha256_ctx ctx;
    sha256_init(&ctx);
    sha256_update(&ctx, bytes.size(), reinterpret_cast<const uint8_t *>(bytes.data()));
    uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&ctx, sizeof digest, digest);
    return hex(digest, sizeof digest);
}

} // namespace scored
