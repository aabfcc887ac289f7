#pragma once
// The score server's HTTP side: an event-driven daemon that holds many connections
// cheaply, refuses what the game never sends, and hands the store's work to one
// thread so a slow disk or a locked database never stalls the network.
#include "store.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace scored {

struct ServiceState;

// What one stranger, or all of them, can hold.
constexpr unsigned kReadTimeoutSeconds = 3;        // a connection that sends nothing for this long is closed
constexpr unsigned kConnectionsPerAddress = 32;
constexpr unsigned kConnections = 4096;
constexpr size_t kRequestBytes = 8192;            // request line and headers, per connection
constexpr std::chrono::seconds kStorePatience{1};  // a request the store cannot serve by then gets 503
constexpr int kLogLinesPerMinute = 60;             // refusals and failures shown on standard error
// A request's whole time, headers and body: this much, and its body's announced length
// at the least rate. A client slower than that is cut off.
constexpr std::chrono::seconds kRequestSeconds{10};
constexpr size_t kLeastBytesPerSecond = 16384;
constexpr unsigned kSubmissionsPerMinute = 20;     // per address, by default
constexpr unsigned kTicketsPerSubmission = 3;      // tickets per address a minute, for each submission: a player
                                                   // changing the game in the menu asks for a few

struct Limits {
    unsigned submissionsPerMinute = kSubmissionsPerMinute; // from one address, tickets three times as many; 0: no limit
    // The reverse proxy's address: what comes through it counts against the address it
    // forwards (the last of X-Forwarded-For), not against the proxy. Empty: none trusted.
    std::string proxy;
};

struct ServiceOptions {
    unsigned replayWorkers = 1;                   // processes replaying records side by side
    std::string replayProgram = "/proc/self/exe"; // run with --replay-worker
};

class Service {
public:
    // Signs tickets with ticketKey.
    Service(Store &store, std::string ticketKey, Limits limits = {}, const ServiceOptions &options = {});
    ~Service();                                    // stop()
    Service(const Service &) = delete;
    Service &operator=(const Service &) = delete;

    // Starts the replay workers and serves on a bound, listening socket (which it then owns);
    // false when it cannot.
    bool start(int listenSocket, bool ipv6);
    void stop();                                   // finishes the store's work, closes every connection

private:
    std::unique_ptr<ServiceState> _state;
};

} // namespace scored
