#include "harness/nativeobject/RendererThread.h"

#include <chrono>

namespace harness {

RendererThread::RendererThread()
{
    std::unique_lock<std::mutex> lock(mutex_);
    thread_ = std::thread([this] { Loop(); });
    changed_.wait(lock, [this] { return threadId_ != 0; });
}

RendererThread::~RendererThread()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        blocked_ = false;
    }
    changed_.notify_all();
    thread_.join();
}

void RendererThread::Loop()
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::unique_lock<std::mutex> lock(mutex_);
    threadId_ = GetCurrentThreadId();
    changed_.notify_all();
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty())
            break;
        std::shared_ptr<Task> task = queue_.front();
        queue_.pop_front();
        if (task->state == Task::State::Dropped)
            continue;
        task->state = Task::State::Running;
        changed_.notify_all();
        if (task->blocker) {
            changed_.wait(lock, [this] { return !blocked_; });
        } else {
            lock.unlock();
            SetErrorInfo(0, nullptr);
            LARGE_INTEGER started, ended;
            QueryPerformanceCounter(&started);
            HRESULT hr = task->callback(task->context);
            QueryPerformanceCounter(&ended);
            busyTicks_ += ended.QuadPart - started.QuadPart;
            IErrorInfo* info = nullptr;
            if (GetErrorInfo(0, &info) != S_OK)
                info = nullptr;
            lock.lock();
            task->result = hr;
            task->errorInfo = info;
        }
        task->state = Task::State::Done;
        changed_.notify_all();
    }
    lock.unlock();
    CoUninitialize();
}

double RendererThread::BusySeconds() const
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(busyTicks_.load()) / static_cast<double>(frequency.QuadPart);
}

HRESULT RendererThread::Run(VxCrRendererThreadCallback callback, void* context, ULONG timeoutMs)
{
    if (!callback)
        return E_POINTER;
    if (IsCurrent())
        return callback(context);

    auto task = std::make_shared<Task>();
    task->callback = callback;
    task->context = context;
    std::unique_lock<std::mutex> lock(mutex_);
    if (stopping_)
        return E_ABORT;
    queue_.push_back(task);
    changed_.notify_all();
    bool started = changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                     [&] { return task->state != Task::State::Queued; });
    if (!started) {
        task->state = Task::State::Dropped;
        return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    }
    changed_.wait(lock, [&] { return task->state == Task::State::Done; });
    HRESULT hr = task->result;
    IErrorInfo* info = task->errorInfo;
    task->errorInfo = nullptr;
    lock.unlock();
    SetErrorInfo(0, info);
    if (info)
        info->Release();
    return hr;
}

RendererThread::Block::Block(RendererThread& owner) : owner_(owner)
{
    auto task = std::make_shared<Task>();
    task->blocker = true;
    std::unique_lock<std::mutex> lock(owner_.mutex_);
    owner_.blocked_ = true;
    owner_.queue_.push_back(task);
    owner_.changed_.notify_all();
    owner_.changed_.wait(lock, [&] { return task->state != Task::State::Queued; });
}

RendererThread::Block::~Block()
{
    {
        std::lock_guard<std::mutex> lock(owner_.mutex_);
        owner_.blocked_ = false;
    }
    owner_.changed_.notify_all();
}

} // namespace harness
