#pragma once
// One tab of the live-page sidecar: a loopback TCP connection that carries
// line-delimited JSON (harness/livepage/README.md). Requests wait for the
// answer with their id; events the sidecar sends at any time go to the
// event sink, on the connection's reader thread.
#include <winsock2.h>

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include <nlohmann/json.hpp>

#include "harness/livepage/FlatJson.h"

namespace harness {

class LiveConnection
{
public:
    using Json = nlohmann::json;
    using EventSink = std::function<void(const Json&)>;

    // Connects to the sidecar on 127.0.0.1:port and opens a tab with the open
    // message (`{"open": url, ...}`); throws std::runtime_error with the
    // sidecar's reason when either fails.
    LiveConnection(unsigned short port, const Json& openMessage, EventSink sink, DWORD timeoutMs);
    ~LiveConnection();
    LiveConnection(const LiveConnection&) = delete;
    LiveConnection& operator=(const LiveConnection&) = delete;

    // The open message's answer (`ok`, `loaded`, `url`).
    const Json& Opened() const { return opened_; }

    // Sends `body` with a new id and waits for its answer. S_OK with the
    // answer; HRESULT_FROM_WIN32(ERROR_TIMEOUT) when none came in time;
    // RPC_E_DISCONNECTED once the connection is gone; E_FAIL with the answer
    // when the sidecar answered with an error. The answer is exchanged with
    // what `answer` held, whose room the reader reuses: large answers parse
    // much faster into buffers that are already there.
    HRESULT Call(Json body, live::FlatJson& answer, DWORD timeoutMs);
    // Call in two halves, so that the caller can work while the page reads:
    // Start sends `body` and gives its id; the answer goes into `answer`,
    // which must stay until Wait for that id has returned (Wait is always
    // called, whether or not the answer is still wanted).
    long long Start(Json body, live::FlatJson& answer);
    HRESULT Wait(long long id, DWORD timeoutMs);
    // Sends `body` with a new id and does not wait: its answer is dropped.
    // The sidecar answers a tab's requests in order, so the next Call sees
    // what it did.
    void Post(Json body);

    bool Connected() const { return !closed_; }
    long RoundTrips() const { return roundTrips_; }

private:
    struct Waiter
    {
        bool done = false;
        Json opened;                      // the open message's answer
        live::FlatJson* answer = nullptr; // a request's: the caller's, while it waits
    };

    void Send(const std::string& line);
    void ReadLoop();
    void Deliver(std::string_view line, live::FlatJson& parsed);
    void Answered(long long id, const std::function<void(Waiter&)>& take);
    void CloseSocket();

    SOCKET socket_ = INVALID_SOCKET; // set before the reader starts, closed after it ended
    bool shutDown_ = false;          // under sendMutex_
    EventSink sink_;
    Json opened_;
    std::mutex sendMutex_;
    std::mutex mutex_;
    std::condition_variable answered_;
    std::map<long long, std::shared_ptr<Waiter>> waiting_;
    long long nextId_ = 1;
    std::atomic<bool> closed_{false};
    std::atomic<long> roundTrips_{0};
    std::thread reader_;
    bool winsockStarted_ = false;
};

} // namespace harness
