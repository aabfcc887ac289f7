#pragma once
// What the game and its score server say to each other: paths, query keys, game names,
// reply words and the seed ticket. Both sides include this one header, so neither can
// drift from the other.
#include <cstdint>
#include <optional>
#include <string>

#include "record.h"

namespace protocol {

// Requests under "http://" + host. The "desc" paths are the million mode's: fewer seconds rank higher.
constexpr const char *askPath = "/scoring/ishighscore.php";
constexpr const char *askTimePath = "/scoring/ishighscoredesc.php";
constexpr const char *submitPath = "/scoring/scoresubmitter.php";
constexpr const char *submitTimePath = "/scoring/scoresubmitterdesc.php";
constexpr const char *recordPath = "/scoring/scorerecord.php";      // POST, the record as body; every mode
constexpr const char *recordDownloadPath = "/scoring/record.php";   // ?id=N
constexpr const char *ticketPath = "/scoring/ticket.php";           // ?gamename=...: a seed ticket

// Query keys.
constexpr const char *gameKey = "gamename";
constexpr const char *askScoreKey = "submtdscore";
constexpr const char *nameKey = "name";
constexpr const char *scoreKey = "score";
constexpr const char *computerKey = "computer";
constexpr const char *computer = "M";          // the only value of computerKey
constexpr const char *ticketKey = "ticket";
constexpr const char *idKey = "id";
constexpr const char *anonymousName = "chicken"; // sent for an empty name

// Reply words. Every other reply is one line saying why not, and never one of these.
constexpr const char *yes = "yes";
constexpr const char *no = "no";
constexpr const char *ok = "ok";
bool saysYes(const char *reply);               // exactly "yes", a line break after it allowed

// Games: mode (a GameMode) and difficulty. Relax is never scored online.
constexpr int modes = 4;
constexpr int difficulties = 3;
constexpr int32_t frameMilliseconds = 14;      // of every frame the rules count
constexpr bool isOnlineMode(int mode) { return mode >= 0 && mode < modes && mode != modeRelax; }
constexpr bool fewerIsBetter(int mode) { return mode == modeMillion; }
std::string gameName(int mode, int difficulty); // "brolix<mode>dif<difficulty>"
// An online game's name back to its mode and difficulty; nothing for any other text.
bool parseGameName(const std::string &text, int &mode, int &difficulty);

// A seed the server chose for one game, signed by it: gamename.seed.issued.signature,
// issued in seconds since 1970 (the server's clock), the signature 64 lower-case hex
// digits over "gamename.seed.issued". Only the server can check the signature.
struct Ticket {
    std::string game;
    uint32_t seed = 0;
    int64_t issued = 0;
    std::string signature;
    std::string signedText() const;            // what the signature covers
    std::string text() const;                  // the ticket as sent
};
constexpr int64_t ticketLifetimeSeconds = 24 * 3600;
constexpr size_t ticketTextCap = 128;          // longer text is no ticket
// The one spelling text() writes, or nothing.
std::optional<Ticket> parseTicket(const std::string &text);

} // namespace protocol
