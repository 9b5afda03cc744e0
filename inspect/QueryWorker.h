// Queries that may never return (the name of a pipe's handle), asked on a
// worker thread that is given up where it hangs: a thread cannot be ended
// safely, only left behind.
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// The queries, asked one after the other on a worker thread. Shared with
// the worker: a worker left behind on a hung query keeps the job alive until
// it returns, if ever.
class CQueryJob
{
public:
    virtual ~CQueryJob() = default;
    virtual std::size_t GetCount() const = 0;
    // The answer for item `index`; false when there is none.
    virtual bool Query(std::size_t index, std::string& answer) = 0;
};

struct SQueryAnswer
{
    std::size_t index;
    std::string answer;
};

// Asks every item of the job, in order, on a worker thread. When one query
// has not returned after `limitMs` (measured from the last item the worker
// began), the worker is abandoned where it hangs and a new one goes on with
// the next item. The answers come in item order. False when no worker
// thread could be started (last error set); the answers found so far stay.
bool RunQueries(const std::shared_ptr<CQueryJob>& job, DWORD limitMs,
                std::vector<SQueryAnswer>& answers);
