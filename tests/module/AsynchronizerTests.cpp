#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "module/Asynchronizer.h"

namespace {

// Records what ran on which thread; the data of every item is a heap int.
class RecordingWorker : public CAsynchronizer
{
public:
    ~RecordingWorker() override { Stop(); }

    std::vector<int> executed;
    std::vector<DWORD> threads;
    std::atomic<int> freed{0};
    // Kind 1 posts a follow-up item from the worker thread and records
    // whether it ran before Post returned.
    bool followUpRanInsidePost = false;

protected:
    void Execute(int32_t kind, void* data) override
    {
        executed.push_back(*static_cast<int*>(data));
        threads.push_back(GetCurrentThreadId());
        if (kind == 1) {
            size_t before = executed.size();
            Post(0, new int(-1));
            followUpRanInsidePost = executed.size() == before + 1;
        }
    }
    void FreeItem(int32_t, void* data) override
    {
        delete static_cast<int*>(data);
        ++freed;
    }
};

TEST(Asynchronizer, RunsItemsInPostingOrderOnOneWorkerThread)
{
    RecordingWorker worker;
    ASSERT_TRUE(worker.Start());
    EXPECT_FALSE(worker.Start());
    DWORD workerId = worker.WorkerThreadId();
    for (int i = 0; i < 500; ++i)
        worker.Post(0, new int(i));
    ASSERT_TRUE(worker.Stop());
    ASSERT_EQ(worker.executed.size(), 500u);
    for (int i = 0; i < 500; ++i)
        EXPECT_EQ(worker.executed[static_cast<size_t>(i)], i);
    for (DWORD id : worker.threads)
        EXPECT_EQ(id, workerId);
    EXPECT_NE(workerId, GetCurrentThreadId());
    EXPECT_EQ(worker.freed, 500);
}

TEST(Asynchronizer, PostFromTheWorkerRunsAtOnce)
{
    RecordingWorker worker;
    ASSERT_TRUE(worker.Start());
    worker.Post(1, new int(7));
    worker.Stop();
    EXPECT_TRUE(worker.followUpRanInsidePost);
    EXPECT_EQ(worker.executed, (std::vector<int>{7, -1}));
    EXPECT_EQ(worker.freed, 2);
}

TEST(Asynchronizer, ItemsOutsideTheThreadsLifetimeAreFreedNotRun)
{
    RecordingWorker worker;
    EXPECT_FALSE(worker.Stop());
    worker.Post(0, new int(1));
    EXPECT_TRUE(worker.executed.empty());
    EXPECT_EQ(worker.freed, 1);
    ASSERT_TRUE(worker.Start());
    worker.Stop();
    worker.Post(0, new int(2));
    EXPECT_TRUE(worker.executed.empty());
    EXPECT_EQ(worker.freed, 2);
    // A worker can be started again after a stop.
    ASSERT_TRUE(worker.Start());
    worker.Post(0, new int(3));
    worker.Stop();
    EXPECT_EQ(worker.executed, (std::vector<int>{3}));
}

TEST(Asynchronizer, StopRunsWhatWasQueuedFromManyThreads)
{
    RecordingWorker worker;
    ASSERT_TRUE(worker.Start());
    std::vector<HANDLE> threads;
    struct Args
    {
        RecordingWorker* worker;
        int base;
    };
    std::vector<Args> args(4);
    for (int t = 0; t < 4; ++t) {
        args[static_cast<size_t>(t)] = {&worker, t * 1000};
        threads.push_back(CreateThread(
            nullptr, 0,
            [](void* p) -> DWORD {
                auto* a = static_cast<Args*>(p);
                for (int i = 0; i < 100; ++i)
                    a->worker->Post(0, new int(a->base + i));
                return 0;
            },
            &args[static_cast<size_t>(t)], 0, nullptr));
    }
    WaitForMultipleObjects(4, threads.data(), TRUE, INFINITE);
    for (HANDLE h : threads)
        CloseHandle(h);
    worker.Stop();
    ASSERT_EQ(worker.executed.size(), 400u);
    // Each poster's items keep their order.
    for (int t = 0; t < 4; ++t) {
        int last = -1;
        for (int value : worker.executed)
            if (value / 1000 == t) {
                EXPECT_GT(value, last);
                last = value;
            }
    }
    EXPECT_EQ(worker.freed, 400);
}

} // namespace
