#include "inspect/QueryWorker.h"

#include "engine/Handles.h"

#include <new>

namespace
{

// Shared by RunQueries and one worker thread.
struct SQueryWorker
{
    SQueryWorker() { ::InitializeCriticalSection(&lock); }
    ~SQueryWorker() { ::DeleteCriticalSection(&lock); }
    SQueryWorker(const SQueryWorker&) = delete;
    SQueryWorker& operator=(const SQueryWorker&) = delete;

    std::shared_ptr<CQueryJob> job;
    std::size_t first = 0;
    // The item being asked.
    volatile LONG current = 0;
    CRITICAL_SECTION lock;
    // Under the lock: a worker left behind publishes nothing more.
    bool abandoned = false;
    std::vector<SQueryAnswer> answers;
};

DWORD WINAPI QueryThread(void* parameter)
{
    const std::unique_ptr<std::shared_ptr<SQueryWorker>> owner(
        static_cast<std::shared_ptr<SQueryWorker>*>(parameter));
    SQueryWorker& worker = **owner;
    const std::size_t count = worker.job->GetCount();
    for (std::size_t i = worker.first; i < count; ++i)
    {
        ::InterlockedExchange(&worker.current, static_cast<LONG>(i));
        std::string answer;
        bool answered = false;
        try
        {
            answered = worker.job->Query(i, answer);
        }
        catch (...)
        {
            answered = false;
        }
        ::EnterCriticalSection(&worker.lock);
        const bool abandoned = worker.abandoned;
        if (answered && !abandoned)
        {
            try
            {
                worker.answers.push_back({i, std::move(answer)});
            }
            catch (...)
            {
            }
        }
        ::LeaveCriticalSection(&worker.lock);
        if (abandoned)
            break;
    }
    return 0;
}

// The worker's answers so far; when `abandon`, it publishes none after.
void TakeAnswers(SQueryWorker& worker, bool abandon, std::vector<SQueryAnswer>& answers)
{
    ::EnterCriticalSection(&worker.lock);
    if (abandon)
        worker.abandoned = true;
    try
    {
        for (SQueryAnswer& answer : worker.answers)
            answers.push_back(std::move(answer));
    }
    catch (...)
    {
    }
    worker.answers.clear();
    ::LeaveCriticalSection(&worker.lock);
}

} // namespace

bool RunQueries(const std::shared_ptr<CQueryJob>& job, DWORD limitMs,
                std::vector<SQueryAnswer>& answers)
{
    const std::size_t count = job ? job->GetCount() : 0;
    for (std::size_t next = 0; next < count;)
    {
        std::shared_ptr<SQueryWorker> worker;
        try
        {
            worker = std::make_shared<SQueryWorker>();
        }
        catch (const std::bad_alloc&)
        {
            ::SetLastError(ERROR_OUTOFMEMORY);
            return false;
        }
        worker->job = job;
        worker->first = next;
        worker->current = static_cast<LONG>(next);
        auto* parameter = new (std::nothrow) std::shared_ptr<SQueryWorker>(worker);
        if (!parameter)
        {
            ::SetLastError(ERROR_OUTOFMEMORY);
            return false;
        }
        CHandle thread(::CreateThread(nullptr, 0, QueryThread, parameter, 0, nullptr));
        if (!thread)
        {
            delete parameter;
            return false;
        }
        // A worker that began no new item over a whole period is stuck.
        LONG seen = -1;
        for (;;)
        {
            const DWORD waited = ::WaitForSingleObject(thread.Get(), limitMs);
            if (waited == WAIT_OBJECT_0)
            {
                TakeAnswers(*worker, false, answers);
                next = count;
                break;
            }
            const LONG current = ::InterlockedCompareExchange(&worker->current, 0, 0);
            if (waited != WAIT_TIMEOUT || current == seen)
            {
                TakeAnswers(*worker, true, answers);
                next = static_cast<std::size_t>(current) + 1;
                break;
            }
            seen = current;
        }
    }
    return true;
}
