#pragma once
// Seed tickets: the server chooses each ranked game's seed and signs it, so a record can
// rank only as a game played on a board nobody could know before its ticket was issued.
// The signature needs no state to check; the store keeps each ranked seed once.
#include "requests.h"

#include <cstdint>
#include <string>

namespace scored {

constexpr size_t kTicketKeyBytes = 32;

class TicketSigner {
public:
    explicit TicketSigner(std::string key) : _key(std::move(key)) {}
    protocol::Ticket issue(const Game &game, uint32_t seed, int64_t now) const;
    // Empty when the ticket is ours, for this game and seed, unexpired, and issued at
    // least as long ago as the game lasted (frames of the rules); else why not.
    std::string check(const std::string &ticketText, const Game &game, uint32_t seed, uint32_t frames,
                      int64_t now) const;
    const std::string &key() const { return _key; }

private:
    std::string sign(const std::string &text) const; // lower-case hex
    std::string _key;
};

std::string randomBytes(size_t count);          // from the kernel's source; empty when it fails
std::string recordDigest(const std::string &bytes); // SHA-256, lower-case hex

} // namespace scored
