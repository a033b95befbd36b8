#include "harness/livepage/LiveConnection.h"

#include <ws2tcpip.h>

#include <chrono>
#include <stdexcept>
#include <utility>
#include <vector>

namespace harness {

namespace {

// The open message's answer comes without an id.
constexpr long long kOpenAnswer = 0;

} // namespace

LiveConnection::LiveConnection(unsigned short port, const Json& openMessage, EventSink sink, DWORD timeoutMs)
    : sink_(std::move(sink))
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        throw std::runtime_error("Winsock did not start");
    winsockStarted_ = true;
    socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket_ == INVALID_SOCKET) {
        WSACleanup();
        throw std::runtime_error("no socket");
    }
    BOOL noDelay = TRUE;
    setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        closesocket(socket_);
        WSACleanup();
        throw std::runtime_error("cannot connect to the live-page sidecar on port " + std::to_string(port));
    }
    auto waiter = std::make_shared<Waiter>();
    waiting_[kOpenAnswer] = waiter;
    reader_ = std::thread([this] { ReadLoop(); });
    Send(openMessage.dump());
    std::unique_lock<std::mutex> lock(mutex_);
    const bool answered =
        answered_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return waiter->done || closed_; });
    waiting_.erase(kOpenAnswer);
    lock.unlock();
    std::string failure;
    if (!answered || !waiter->done)
        failure = answered ? "the sidecar closed the connection" : "the sidecar did not open the page in time";
    else if (!waiter->opened.value("ok", false))
        failure = "the sidecar could not open the page: " + waiter->opened.value("error", std::string("?"));
    if (!failure.empty()) {
        CloseSocket();
        reader_.join();
        closesocket(socket_);
        WSACleanup();
        throw std::runtime_error(failure);
    }
    opened_ = waiter->opened;
}

LiveConnection::~LiveConnection()
{
    CloseSocket();
    if (reader_.joinable())
        reader_.join();
    if (socket_ != INVALID_SOCKET)
        closesocket(socket_);
    if (winsockStarted_)
        WSACleanup();
}

// Ends the connection both ways; the reader's recv returns and the socket
// itself is closed once the reader has gone.
void LiveConnection::CloseSocket()
{
    std::lock_guard<std::mutex> lock(sendMutex_);
    if (socket_ != INVALID_SOCKET && !shutDown_) {
        shutdown(socket_, SD_BOTH);
        shutDown_ = true;
    }
}

void LiveConnection::Send(const std::string& line)
{
    std::lock_guard<std::mutex> lock(sendMutex_);
    std::string text = line + "\n";
    size_t sent = 0;
    while (!shutDown_ && sent < text.size()) {
        int n = ::send(socket_, text.data() + sent, static_cast<int>(text.size() - sent), 0);
        if (n <= 0)
            return; // the reader sees the connection go and fails the waiters
        sent += static_cast<size_t>(n);
    }
}

HRESULT LiveConnection::Call(Json body, live::FlatJson& answer, DWORD timeoutMs)
{
    return Wait(Start(std::move(body), answer), timeoutMs);
}

long long LiveConnection::Start(Json body, live::FlatJson& answer)
{
    auto waiter = std::make_shared<Waiter>();
    waiter->answer = &answer;
    long long id;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        id = nextId_++;
        waiting_[id] = waiter;
    }
    if (closed_)
        return id; // Wait tells
    body["id"] = id;
    Send(body.dump(-1, ' ', false, Json::error_handler_t::replace));
    ++roundTrips_;
    return id;
}

HRESULT LiveConnection::Wait(long long id, DWORD timeoutMs)
{
    std::unique_lock<std::mutex> lock(mutex_);
    auto it = waiting_.find(id);
    if (it == waiting_.end())
        return E_INVALIDARG;
    const std::shared_ptr<Waiter> waiter = it->second;
    answered_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return waiter->done || closed_; });
    waiting_.erase(id); // from here on the reader leaves the answer alone
    if (!waiter->done)
        return closed_ ? RPC_E_DISCONNECTED : HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    return waiter->answer->Root().Has("error") ? E_FAIL : S_OK;
}

void LiveConnection::Post(Json body)
{
    if (closed_)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        body["id"] = nextId_++;
    }
    Send(body.dump(-1, ' ', false, Json::error_handler_t::replace));
    ++roundTrips_;
}

void LiveConnection::ReadLoop()
{
    std::string pending;
    size_t searched = 0; // no line end before here: a long line is searched once
    std::vector<char> buffer(64 * 1024);
    live::FlatJson parsed; // each line's; its room goes on from answer to answer
    for (;;) {
        int n = ::recv(socket_, buffer.data(), static_cast<int>(buffer.size()), 0);
        if (n <= 0)
            break;
        pending.append(buffer.data(), static_cast<size_t>(n));
        size_t start = 0;
        for (size_t end = pending.find('\n', searched); end != std::string::npos; end = pending.find('\n', start)) {
            Deliver(std::string_view(pending.data() + start, end - start), parsed);
            start = end + 1;
        }
        pending.erase(0, start);
        searched = pending.size();
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
    answered_.notify_all();
    if (sink_)
        sink_(Json{{"event", "disconnected"}});
}

// A line from the sidecar: a request's answer (it has a whole-number id),
// parsed flat for the waiting request; anything else (the open message's
// answer, events, an answer to a line that was not JSON) as a Json.
void LiveConnection::Deliver(std::string_view line, live::FlatJson& parsed)
{
    if (!parsed.Parse(line))
        return;
    const live::JsonRef id = parsed.Root().Member("id");
    if (id.IsInteger() && id.Integer() != kOpenAnswer && !parsed.Root().Has("event")) {
        Answered(id.Integer(), [&](Waiter& waiter) { std::swap(*waiter.answer, parsed); });
        return;
    }
    Json message = Json::parse(line, nullptr, false);
    if (message.is_discarded())
        return;
    if (message.contains("event")) {
        if (sink_)
            sink_(message);
        return;
    }
    if (!message.contains("id"))
        Answered(kOpenAnswer, [&](Waiter& waiter) { waiter.opened = std::move(message); });
}

void LiveConnection::Answered(long long id, const std::function<void(Waiter&)>& take)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = waiting_.find(id);
        if (it == waiting_.end())
            return; // its caller gave up waiting
        take(*it->second);
        it->second->done = true;
    }
    answered_.notify_all();
}

} // namespace harness
