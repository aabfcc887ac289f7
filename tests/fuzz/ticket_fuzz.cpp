// libFuzzer target: a ticket reads only in its one spelling, a refusal says why, a re-signed one checks out.
#include <cstddef>
#include <cstdint>
#include <string>

#include "protocol.h"
#include "tickets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    static const scored::TicketSigner signer(std::string(32, 'k'));
    const std::optional<protocol::Ticket> ticket = protocol::parseTicket(text);
    if (ticket && ticket->text() != text) __builtin_trap();
    if (!ticket && signer.check(text, {0, 1}, 7, 4575, 1800000000).empty()) __builtin_trap();
    if (!ticket) return 0;
    const std::optional<scored::Game> game = scored::parseGameName(ticket->game);
    if (!game) __builtin_trap();
    const protocol::Ticket again = signer.issue(*game, ticket->seed, ticket->issued);
    if (!signer.check(again.text(), *game, ticket->seed, 0, ticket->issued).empty()) __builtin_trap();
    if (signer.check(again.text(), *game, ticket->seed + 1, 0, ticket->issued).empty()) __builtin_trap();
    return 0;
}
