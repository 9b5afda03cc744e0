// The watchdog over queries that never return.
#include "engine/Handles.h"
#include "inspect/QueryWorker.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace
{

// Items 2 and 5 never answer until the test lets them go.
class CHangingJob : public CQueryJob
{
public:
    explicit CHangingJob(HANDLE release) : m_release(release) {}
    std::size_t GetCount() const override { return 7; }
    bool Query(std::size_t index, std::string& answer) override
    {
        if (index == 2 || index == 5)
            ::WaitForSingleObject(m_release, INFINITE);
        if (index % 2 == 1)
            return false;
        answer = "item " + std::to_string(index);
        return true;
    }

private:
    HANDLE m_release;
};

struct SRun
{
    std::shared_ptr<CQueryJob> job;
    std::vector<SQueryAnswer> answers;
    bool complete = false;
};

DWORD WINAPI RunJob(void* parameter)
{
    auto* run = static_cast<SRun*>(parameter);
    run->complete = RunQueries(run->job, 200, run->answers);
    return 0;
}

TEST(RunQueries, AHungQueryIsLeftBehind)
{
    CHandle release(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(release);
    SRun run;
    run.job = std::make_shared<CHangingJob>(release.Get());
    // Run aside, so that a scan that waits for the hung items fails here
    // instead of hanging the test program.
    CHandle runner(::CreateThread(nullptr, 0, RunJob, &run, 0, nullptr));
    ASSERT_TRUE(runner);
    const DWORD waited = ::WaitForSingleObject(runner.Get(), 60000);
    ::SetEvent(release.Get());
    ASSERT_EQ(WAIT_OBJECT_0, waited);
    EXPECT_TRUE(run.complete);
    std::vector<std::string> found;
    for (const SQueryAnswer& answer : run.answers)
        found.push_back(answer.answer + " @" + std::to_string(answer.index));
    EXPECT_EQ((std::vector<std::string>{"item 0 @0", "item 4 @4", "item 6 @6"}), found);
    // The workers left behind answer now, into jobs nobody reads.
    ::Sleep(100);
}

} // namespace
