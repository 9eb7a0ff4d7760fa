#include "merge/label_pool.h"

#include "render/label_renderer.h"

#include <QThread>

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

// The shared state of one run.
struct TLabelPool::TState
{
    std::mutex Mutex;
    std::condition_variable Changed;  // a result is in, a slot is free, or the run stopped
    int Count = 0;
    int Window = 1;      // how far the next label may run ahead of delivery
    int Next = 0;        // the next label a worker takes
    int Delivered = 0;   // labels delivered so far
    bool Stopped = false;
    std::map<int, TLabelResult> Ready;  // results waiting for an earlier one
};

TLabelPool::TLabelPool(int aJobs, int aSizeItem, std::shared_ptr<TPictureCache> aPictures)
    : FJobs(WorkerCount(aJobs)), FSizeItem(aSizeItem),
      FPictures(aPictures ? std::move(aPictures) : std::make_shared<TPictureCache>())
{
}

TLabelPool::~TLabelPool() = default;

int TLabelPool::WorkerCount(int aJobs)
{
    if (aJobs > 0)
        return std::min(aJobs, MaxWorkers());
    return std::max(1, QThread::idealThreadCount());
}

int TLabelPool::MaxWorkers()
{
    return 2 * std::max(1, QThread::idealThreadCount());
}

bool TLabelPool::Run(int aCount, const TWork& aWork, const TDeliver& aDeliver)
{
    if (aCount <= 0)
        return true;
    TState state;
    state.Count = aCount;
    // Enough to keep every worker busy while one label takes longer.
    state.Window = 2 * FJobs + 2;

    const auto work = [&] {
        TLabelRenderer renderer(FPictures);
        renderer.SetLabelSize(FSizeItem);
        for (;;) {
            int index = 0;
            {
                std::unique_lock<std::mutex> lock(state.Mutex);
                state.Changed.wait(lock, [&] {
                    return state.Stopped || state.Next >= state.Count || state.Next < state.Delivered + state.Window;
                });
                if (state.Stopped || state.Next >= state.Count)
                    return;
                index = state.Next++;
            }
            TLabelResult result;
            try {
                result = aWork(index, renderer);
            } catch (const std::exception& error) {
                result.Error = TBatchMessage::Of(TBatchMessage::TKind::NotDrawn, index);
                result.Error.Detail = QString::fromLocal8Bit(error.what());
            } catch (...) {
                result.Error = TBatchMessage::Of(TBatchMessage::TKind::NotDrawn, index);
            }
            {
                const std::lock_guard<std::mutex> lock(state.Mutex);
                state.Ready.emplace(index, std::move(result));
            }
            state.Changed.notify_all();
        }
    };

    std::vector<std::thread> workers;
    workers.reserve(std::size_t(FJobs));
    for (int i = 0; i < FJobs; ++i)
        workers.emplace_back(work);

    bool completed = true;
    for (int index = 0; index < aCount; ++index) {
        TLabelResult result;
        {
            std::unique_lock<std::mutex> lock(state.Mutex);
            state.Changed.wait(lock, [&] { return state.Ready.count(index) > 0; });
            result = std::move(state.Ready[index]);
            state.Ready.erase(index);
        }
        const bool goOn = aDeliver(index, result);
        {
            const std::lock_guard<std::mutex> lock(state.Mutex);
            state.Delivered = index + 1;
            if (!goOn)
                state.Stopped = true;
        }
        state.Changed.notify_all();
        if (!goOn) {
            completed = false;
            break;
        }
    }
    for (std::thread& worker : workers)
        worker.join();
    return completed;
}
