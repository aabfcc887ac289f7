#include "service.h"

#include "record.h"
#include "replay_workers.h"
#include "routes.h"
#include "tickets.h"

#include <microhttpd.h>

#include <arpa/inet.h>
#include <strings.h>
#include <sys/socket.h>
#include <netinet/in.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <mutex>
#include <thread>

namespace scored {

namespace {

using Clock = std::chrono::steady_clock;

const unsigned kThreads = 2;

// One line per event on standard error, at most kLogLinesPerMinute a minute so a
// flood of refusals cannot fill the disk; the lines held back are counted.
class Log {
public:
    ~Log() { sayWithheld(); }
    void line(const std::string &text) {
        std::lock_guard<std::mutex> hold(_lock);
        const Clock::time_point now = Clock::now();
        if (now - _minuteStart >= std::chrono::minutes(1)) {
            sayWithheld();
            _minuteStart = now;
            _written = 0;
        }
        if (_written == kLogLinesPerMinute) {
            ++_withheld;
            return;
        }
        ++_written;
        std::fprintf(stderr, "brolix-scored: %s\n", text.c_str());
    }

private:
    void sayWithheld() {
        if (_withheld > 0)
            std::fprintf(stderr, "brolix-scored: %d more refusals or failures not shown\n", _withheld);
        _withheld = 0;
    }

    std::mutex _lock;
    Clock::time_point _minuteStart;
    int _written = 0;
    int _withheld = 0;
};

// A request from its headers to its answer; while the store works on it, its
// connection is suspended.
struct Job {
    MHD_Connection *connection;
    Work work;
    Clock::time_point deadline;
    Answer answer;
    bool queued;
    std::string body;  // a record, as it arrives
};

// Jobs handed from the network to a worker thread. Once stopping, or past its bound,
// it takes no more; the worker still gets what was queued.
class JobQueue {
public:
    explicit JobQueue(size_t bound = SIZE_MAX) : _bound(bound) {}
    ~JobQueue() { stop(); }

    void serveWith(std::function<void()> worker, unsigned threads = 1) {
        for (unsigned i = 0; i < threads; ++i)
            _threads.emplace_back(worker);
    }

    // Queues the job, suspending its connection unless it already is.
    bool push(Job *job, bool suspend) {
        std::lock_guard<std::mutex> hold(_lock);
        if (_stopping || _jobs.size() >= _bound)
            return false;
        if (suspend)
            MHD_suspend_connection(job->connection);
        _jobs.push_back(job);
        _wake.notify_one();
        return true;
    }
    // Takes no more, and waits for the workers to finish.
    void stop() {
        {
            std::lock_guard<std::mutex> hold(_lock);
            _stopping = true;
            _wake.notify_all();
        }
        for (std::thread &thread : _threads)
            if (thread.joinable())
                thread.join();
    }
    // Waits for jobs and takes them all, or the first; none once stopping with none left.
    std::deque<Job *> pop(bool all, bool &stopping) {
        std::unique_lock<std::mutex> hold(_lock);
        _wake.wait(hold, [this] { return _stopping || !_jobs.empty(); });
        stopping = _stopping;
        std::deque<Job *> taken;
        if (all)
            taken.swap(_jobs);
        else if (!_jobs.empty()) {
            taken.push_back(_jobs.front());
            _jobs.pop_front();
        }
        return taken;
    }

private:
    const size_t _bound;
    std::mutex _lock;
    std::condition_variable _wake;
    std::deque<Job *> _jobs;
    bool _stopping = false;
    std::vector<std::thread> _threads;
};

// The store's one thread. A job that has waited past its deadline is answered 503
// without touching the database, so a locked file cannot make requests queue up.
class StoreWorker {
public:
    StoreWorker(Store &store, const TicketSigner &signer) : _store(store), _signer(signer) {
        _queue.serveWith([this] { run(); });
    }
    ~StoreWorker() { stop(); }

    // Queues the job, suspending its connection unless it already is; false once stopping.
    bool take(Job *job, bool suspend = true) { return _queue.push(job, suspend); }
    void stop() { _queue.stop(); } // answers every queued job, then refuses new ones

private:
    // Takes whatever queued up meanwhile in one go: its submissions share one disk flush.
    void run() {
        for (;;) {
            bool stopping;
            const std::deque<Job *> batch = _queue.pop(true, stopping);
            if (batch.empty())
                return;
            serve(batch);
            for (Job *job : batch)
                MHD_resume_connection(job->connection); // the job belongs to the connection again
        }
    }

    void serve(const std::deque<Job *> &batch) {
        const Clock::time_point now = Clock::now();
        std::vector<Job *> live;
        std::vector<const Work *> works;
        Clock::time_point firstDeadline = Clock::time_point::max();
        for (Job *job : batch) {
            if (job->deadline <= now) {
                job->answer = refusal(503, "the score server is busy, try again later");
                continue;
            }
            live.push_back(job);
            works.push_back(&job->work);
            firstDeadline = std::min(firstDeadline, job->deadline);
        }
        if (live.empty())
            return;
        _store.waitAtMost(std::chrono::ceil<std::chrono::milliseconds>(firstDeadline - now));
        const std::vector<Answer> answers = perform(works, _store, _signer, int64_t(std::time(nullptr)));
        for (size_t i = 0; i < live.size(); ++i)
            live[i]->answer = answers[i];
    }

    Store &_store;
    const TicketSigner &_signer;
    JobQueue _queue;
};

// The replays' threads, one per worker process, apart from the store's and the network's:
// a queue of long records delays only other records. A verified claim goes on to the store
// as a submission.
class ReplayWorkers {
public:
    ReplayWorkers(StoreWorker &store, const TicketSigner &signer, const ServiceOptions &options)
        : _store(store), _signer(signer) {
        for (unsigned i = 0; i < options.replayWorkers; ++i)
            _processes.push_back(std::make_unique<ReplayProcess>(options.replayProgram));
    }
    ~ReplayWorkers() { stop(); }

    // Starts every worker process; false when one cannot be started.
    bool start() {
        for (const auto &process : _processes)
            if (!process->start())
                return false;
        for (const auto &process : _processes)
            _queue.serveWith([this, worker = process.get()] { run(*worker); });
        return true;
    }
    // Suspends the job's connection and queues it; false when the queue is full or stopping.
    bool take(Job *job) { return _queue.push(job, true); }
    void stop() { // finishes the replays in hand; the records waiting are turned away
        _queue.stop();
        for (const auto &process : _processes)
            process->stop();
    }

private:
    void run(ReplayProcess &process) {
        for (;;) {
            bool stopping;
            const std::deque<Job *> next = _queue.pop(false, stopping);
            if (next.empty())
                return;
            Job *job = next.front();
            if (!stopping && verify(process, job) && _store.take(job, false))
                continue; // the store resumes it
            if (stopping || job->answer.status == 200)
                job->answer = refusal(503, "the score server is stopping");
            MHD_resume_connection(job->connection);
        }
    }

    // True when the claim is verified and now a submission for the store: ranked when it
    // came with a good ticket, kept beside the ranks when it came with none.
    bool verify(ReplayProcess &process, Job *job) const {
        Submission claim = std::get<RecordClaim>(job->work).submission;
        claim.record = std::move(job->body);
        const Verdict verdict = process.verify(claim);
        if (verdict.status != 200) {
            job->answer = refusal(verdict.status, verdict.reason);
            if (verdict.status == 503) // its worker was lost, not the record's fault
                job->answer.retryAfter = kRetryAfterSeconds;
            return false;
        }
        if (!claim.ticket.empty()) {
            const std::string fault =
                _signer.check(claim.ticket, claim.game, verdict.seed, verdict.frames, int64_t(std::time(nullptr)));
            if (!fault.empty()) {
                job->answer = refusal(403, fault);
                return false;
            }
            claim.ranked = true;
        }
        claim.verified = true;
        claim.seed = verdict.seed;
        claim.digest = recordDigest(claim.record);
        job->work = std::move(claim);
        job->deadline = Clock::now() + kStorePatience;
        return true;
    }

    StoreWorker &_store;
    const TicketSigner &_signer;
    std::vector<std::unique_ptr<ReplayProcess>> _processes;
    JobQueue _queue{kReplayQueue};
};

// Submissions from one address within the last minute, at most so many.
class SubmissionLimit {
public:
    explicit SubmissionLimit(unsigned perMinute) : _perMinute(perMinute) {}
    // 0 and counted when this one may go; else the seconds until one more may.
    int retryAfter(const std::string &address, Clock::time_point now) {
        if (_perMinute == 0)
            return 0;
        std::lock_guard<std::mutex> hold(_lock);
        std::deque<Clock::time_point> &times = _recent[address];
        while (!times.empty() && now - times.front() >= std::chrono::minutes(1))
            times.pop_front();
        if (times.size() < _perMinute) {
            times.push_back(now);
            return 0;
        }
        return int(std::chrono::ceil<std::chrono::seconds>(times.front() + std::chrono::minutes(1) - now).count());
    }
    // Forgets addresses quiet for a minute, so a crowd of them cannot fill the memory.
    void forgetQuiet(Clock::time_point now) {
        std::lock_guard<std::mutex> hold(_lock);
        for (auto at = _recent.begin(); at != _recent.end();)
            at = at->second.empty() || now - at->second.back() >= std::chrono::minutes(1) ? _recent.erase(at)
                                                                                          : std::next(at);
    }

private:
    const unsigned _perMinute;
    std::mutex _lock;
    std::map<std::string, std::deque<Clock::time_point>> _recent;
};

// What the server knows of a connection: whether a whole request came on it, and when
// the request now arriving began and must be in.
struct Connection {
    MHD_socket fd;
    bool requested = false;
    bool waiting = false;             // on the server's own work: not the client's time
    Clock::time_point started = Clock::now();
    long long bodyBytes = 0;
    Clock::time_point deadline() const {
        return started + kRequestSeconds +
               std::chrono::milliseconds(bodyBytes * 1000 / static_cast<long long>(kLeastBytesPerSecond));
    }
};

// Cuts off connections whose request is not in by its deadline. The library times out
// only silence, so a client sending a byte now and then would otherwise hold on for ever.
class DeadlineWatch {
public:
    DeadlineWatch(SubmissionLimit &submissions, SubmissionLimit &tickets) : _submissions(submissions), _tickets(tickets) {
        _thread = std::thread([this] { run(); });
    }
    ~DeadlineWatch() {
        {
            std::lock_guard<std::mutex> hold(_lock);
            _stopping = true;
        }
        _wake.notify_one();
        _thread.join();
    }
    void add(Connection *c) {
        std::lock_guard<std::mutex> hold(_lock);
        _connections.insert(c);
    }
    // Before the library closes its socket, so the socket cut off is always this one.
    void remove(Connection *c) {
        std::lock_guard<std::mutex> hold(_lock);
        _connections.erase(c);
    }
    template <typename F> void update(Connection *c, F change) {
        std::lock_guard<std::mutex> hold(_lock);
        change(*c);
    }

private:
    void run() {
        std::unique_lock<std::mutex> hold(_lock);
        while (!_wake.wait_for(hold, std::chrono::milliseconds(250), [this] { return _stopping; })) {
            const Clock::time_point now = Clock::now();
            for (Connection *c : _connections)
                if (!c->waiting && c->deadline() < now)
                    shutdown(c->fd, SHUT_RDWR); // the library sees the end and closes it
            _submissions.forgetQuiet(now);
            _tickets.forgetQuiet(now);
        }
    }

    SubmissionLimit &_submissions, &_tickets;
    std::mutex _lock;
    std::condition_variable _wake;
    std::set<Connection *> _connections;
    bool _stopping = false;
    std::thread _thread;
};

std::string addressOf(MHD_Connection *connection) {
    const MHD_ConnectionInfo *info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    char text[INET6_ADDRSTRLEN] = "?";
    const sockaddr *address = info ? info->client_addr : nullptr;
    if (address && address->sa_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in *>(address)->sin_addr, text, sizeof text);
    if (address && address->sa_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6 *>(address)->sin6_addr, text, sizeof text);
    return text;
}

MHD_Result addArgument(void *query, MHD_ValueKind, const char *key, size_t keySize, const char *value,
                       size_t valueSize) {
    // Sizes, not C strings: a decoded %00 must reach the checks.
    static_cast<Query *>(query)->emplace(std::string(key, keySize),
                                         value ? std::string(value, valueSize) : std::string());
    return MHD_YES;
}

MHD_Result countFraming(void *request, MHD_ValueKind, const char *key, const char *) {
    Request &r = *static_cast<Request *>(request);
    r.lengths += strcasecmp(key, MHD_HTTP_HEADER_CONTENT_LENGTH) == 0;
    r.transferEncodings += strcasecmp(key, MHD_HTTP_HEADER_TRANSFER_ENCODING) == 0;
    return MHD_YES;
}

Request requestOf(MHD_Connection *connection, const char *method, const char *path) {
    Request request{method, path, {}, false, -1, 0, 0, {}};
    MHD_get_connection_values_n(connection, MHD_GET_ARGUMENT_KIND, addArgument, &request.query);
    MHD_get_connection_values(connection, MHD_HEADER_KIND, countFraming, &request);
    const char *length = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
    const bool chunked = request.transferEncodings > 0;
    for (auto [header, kept] : {std::pair{MHD_HTTP_HEADER_IF_NONE_MATCH, &request.conditions.ifNoneMatch},
                                std::pair{MHD_HTTP_HEADER_IF_MODIFIED_SINCE, &request.conditions.ifModifiedSince}})
        if (const char *value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, header))
            *kept = value;
    request.hasBody = chunked || request.lengths > 1 || (length && std::strspn(length, "0") != std::strlen(length));
    // The library has checked the digits; a length too long for the type counts as huge.
    if (length && !chunked)
        request.length = std::strlen(length) > 18 ? INT64_MAX : std::atoll(length);
    return request;
}

} // namespace

struct ServiceState {
    ServiceState(Store &store, std::string ticketKey, Limits limits, const ServiceOptions &options)
        : proxy(limits.proxy), signer(std::move(ticketKey)), limit(limits.submissionsPerMinute),
          ticketLimit(limits.submissionsPerMinute * kTicketsPerSubmission), watch(limit, ticketLimit),
          worker(store, signer), replays(worker, signer, options) {}
    Log log;
    const std::string proxy;
    TicketSigner signer;
    SubmissionLimit limit, ticketLimit;
    DeadlineWatch watch;
    StoreWorker worker;
    ReplayWorkers replays;
    MHD_Daemon *daemon = nullptr;
    std::atomic<int> unfinished{0}; // requests past their headers whose answer is not yet sent
};

namespace {

MHD_Result reply(ServiceState &state, MHD_Connection *connection, const Answer &answer) {
    MHD_Response *response = MHD_create_response_from_buffer(
        answer.body.size(), const_cast<char *>(answer.body.data()), MHD_RESPMEM_MUST_COPY);
    if (!response)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, answer.type);
    if (answer.etag.empty()) {
        MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-cache");
    } else {
        MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL,
                                ("public, max-age=" + std::to_string(kFreshSeconds)).c_str());
        MHD_add_response_header(response, MHD_HTTP_HEADER_ETAG, answer.etag.c_str());
        MHD_add_response_header(response, MHD_HTTP_HEADER_LAST_MODIFIED, httpDate(answer.lastModified).c_str());
    }
    if (answer.status == MHD_HTTP_METHOD_NOT_ALLOWED)
        MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, answer.allow);
    if (answer.retryAfter > 0)
        MHD_add_response_header(response, MHD_HTTP_HEADER_RETRY_AFTER, std::to_string(answer.retryAfter).c_str());
    if (answer.close)
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    if (!answer.attachment.empty())
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_DISPOSITION,
                                ("attachment; filename=\"" + answer.attachment + "\"").c_str());
    const MHD_Result queued = MHD_queue_response(connection, unsigned(answer.status), response);
    MHD_destroy_response(response);
    if (answer.status >= 400)
        state.log.line(addressOf(connection) + ": " + std::to_string(answer.status) + " " +
                       answer.body.substr(0, answer.body.find('\n')));
    return queued;
}

Connection *connectionOf(MHD_Connection *connection) {
    const MHD_ConnectionInfo *info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    return info ? static_cast<Connection *>(info->socket_context) : nullptr;
}

// Whether the server is working on the connection's request, not waiting for its client.
void setWaiting(ServiceState &state, MHD_Connection *connection, bool waiting) {
    if (Connection *c = connectionOf(connection))
        state.watch.update(c, [waiting](Connection &w) { w.waiting = waiting; });
}

// The player's address: the connection's, or behind the trusted proxy the one it forwards.
// Only the last entry is the proxy's own word; what comes before it the client wrote.
std::string clientOf(const ServiceState &state, MHD_Connection *connection) {
    const std::string peer = addressOf(connection);
    const char *forwarded = peer == state.proxy
        ? MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "X-Forwarded-For") : nullptr;
    if (!forwarded)
        return peer;
    std::string last = forwarded;
    last.erase(0, last.find_last_of(',') + 1);
    last.erase(0, last.find_first_not_of(" \t"));
    last.erase(last.find_last_not_of(" \t") + 1);
    unsigned char parsed[sizeof(in6_addr)];
    const bool address = inet_pton(AF_INET, last.c_str(), parsed) == 1 || inet_pton(AF_INET6, last.c_str(), parsed) == 1;
    return address ? last : peer;
}

bool isSubmission(const Work &work) {
    return std::holds_alternative<Submission>(work) || std::holds_alternative<RecordClaim>(work);
}

// The request's headers are in: its deadline follows from its length; a submission or
// a ticket past its address's share is turned away.
void admit(ServiceState &state, MHD_Connection *connection, const Request &request, Work &work) {
    if (Connection *c = connectionOf(connection))
        state.watch.update(c, [&](Connection &w) {
            w.requested = true;
            w.bodyBytes = std::clamp(request.length, 0LL, static_cast<long long>(recordByteCap)); // more is refused unread
        });
    const bool ticket = std::holds_alternative<TicketRequest>(work);
    if (!ticket && !isSubmission(work))
        return;
    const int wait = (ticket ? state.ticketLimit : state.limit).retryAfter(clientOf(state, connection), Clock::now());
    if (wait == 0)
        return;
    Answer refused = refusal(429, std::string("too many ") + (ticket ? "tickets" : "submissions") +
                                      " from this address, try again in " + std::to_string(wait) + " s");
    refused.retryAfter = wait;
    work = refused;
}

// Called when the headers are in, then when the whole request is, then after the store's
// work. Answering before the whole request is in closes the connection: only a body gets that.
MHD_Result onRequest(void *cls, MHD_Connection *connection, const char *path, const char *method, const char *,
                     const char *upload, size_t *uploadSize, void **requestState) {
    ServiceState &state = *static_cast<ServiceState *>(cls);
    Job *job = static_cast<Job *>(*requestState);
    if (!job) {
        const Request request = requestOf(connection, method, path);
        Work work = route(request);
        admit(state, connection, request, work);
        if (request.hasBody && std::holds_alternative<Answer>(work)) { // refused before a byte of it is read
            std::get<Answer>(work).close = true;
            return reply(state, connection, std::get<Answer>(work));
        }
        *requestState = new Job{connection, std::move(work), Clock::now() + kStorePatience, {}, false, {}};
        ++state.unfinished;
        return MHD_YES; // freed when the request completes
    }
    if (job->queued) // back from the store
        return reply(state, connection, job->answer);
    if (*uploadSize > 0) { // the length was checked against the cap, and the library holds to it
        job->body.append(upload, *uploadSize);
        *uploadSize = 0;
        return MHD_YES;
    }
    if (const Answer *answer = std::get_if<Answer>(&job->work))
        return reply(state, connection, *answer);
    job->queued = true;
    setWaiting(state, connection, true);
    if (std::holds_alternative<RecordClaim>(job->work)) {
        if (state.replays.take(job))
            return MHD_YES;
        job->answer = refusal(503, "too many records are waiting to be replayed, try again later");
        job->answer.retryAfter = kRetryAfterSeconds;
        return reply(state, connection, job->answer);
    }
    if (state.worker.take(job))
        return MHD_YES;
    job->answer = refusal(503, "the score server is stopping");
    return reply(state, connection, job->answer);
}

// The next request on the connection has its own time.
void onCompleted(void *cls, MHD_Connection *connection, void **requestState, MHD_RequestTerminationCode) {
    if (Connection *c = connectionOf(connection))
        static_cast<ServiceState *>(cls)->watch.update(c, [](Connection &w) {
            w.waiting = false;
            w.started = Clock::now();
            w.bodyBytes = 0;
        });
    if (!*requestState)
        return;
    delete static_cast<Job *>(*requestState);
    *requestState = nullptr;
    --static_cast<ServiceState *>(cls)->unfinished;
}

void onConnection(void *cls, MHD_Connection *connection, void **socketState, MHD_ConnectionNotificationCode code) {
    ServiceState &state = *static_cast<ServiceState *>(cls);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
        const MHD_ConnectionInfo *info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        Connection *c = new Connection{info ? info->connect_fd : MHD_INVALID_SOCKET};
        *socketState = c;
        state.watch.add(c);
        return;
    }
    Connection *c = static_cast<Connection *>(*socketState);
    if (!c)
        return;
    state.watch.remove(c);
    if (!c->requested)
        state.log.line(addressOf(connection) + ": closed before a whole request arrived (silent, slow or malformed)");
    delete c;
    *socketState = nullptr;
}

void onLibraryMessage(void *cls, const char *format, va_list args) {
    char text[256];
    std::vsnprintf(text, sizeof text, format, args);
    text[std::strcspn(text, "\n")] = 0;
    static_cast<ServiceState *>(cls)->log.line(text);
}

} // namespace

Service::Service(Store &store, std::string ticketKey, Limits limits, const ServiceOptions &options)
    : _state(std::make_unique<ServiceState>(store, std::move(ticketKey), limits, options)) {}

Service::~Service() {
    stop();
}

bool Service::start(int listenSocket, bool ipv6) {
    const unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME |
                           MHD_USE_ERROR_LOG | (ipv6 ? MHD_USE_IPv6 : 0);
    ServiceState *state = _state.get();
    if (!state->replays.start())
        return false;
    state->daemon = MHD_start_daemon(
        flags, 0, nullptr, nullptr, onRequest, state,
        MHD_OPTION_EXTERNAL_LOGGER, onLibraryMessage, state,
        MHD_OPTION_LISTEN_SOCKET, MHD_socket(listenSocket),
        MHD_OPTION_THREAD_POOL_SIZE, kThreads,
        MHD_OPTION_CONNECTION_LIMIT, kConnections,
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, kConnectionsPerAddress,
        MHD_OPTION_CONNECTION_TIMEOUT, kReadTimeoutSeconds,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, kRequestBytes,
        MHD_OPTION_NOTIFY_COMPLETED, onCompleted, state,
        MHD_OPTION_NOTIFY_CONNECTION, onConnection, state,
        MHD_OPTION_END);
    return state->daemon != nullptr;
}

void Service::stop() {
    if (!_state->daemon)
        return;
    const MHD_socket listener = MHD_quiesce_daemon(_state->daemon); // no new connections
    _state->replays.stop();                                         // may still hand one to the store
    _state->worker.stop();                                          // no connection left suspended
    // Let the last answers go out (a second at most): a stored score should be acknowledged.
    for (int i = 0; i < 100 && _state->unfinished.load() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    MHD_stop_daemon(_state->daemon);
    _state->daemon = nullptr;
    if (listener != MHD_INVALID_SOCKET)
        close(listener);
}

} // namespace scored
