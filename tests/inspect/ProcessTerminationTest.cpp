// Ending processes that hold a file: the gentle way first, the kill only
// when the user agrees, and what counts as ended.
#include "inspect/ProcessManager.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

std::vector<std::string> g_questions;
bool g_answer = false;

// Stands in for message 44: notes the image name and gives the answer.
bool Answer(const std::string& imageName)
{
    g_questions.push_back(imageName);
    return g_answer;
}

class ProcessTermination : public ::testing::Test
{
protected:
    void SetUp() override { g_questions.clear(); }

    // EndProcess on the holder's record; its result and last error.
    static bool End(const CHolder& holder, bool answer, DWORD& error)
    {
        g_answer = answer;
        const CProcess record(holder.GetProcessId(), 0, GetBinPath("orvholder.exe"), "", false);
        CProcessManager manager;
        ::SetLastError(0xdeadbeef);
        const bool ended = manager.EndProcess(record, Answer);
        error = ::GetLastError();
        return ended;
    }
};

TEST_F(ProcessTermination, WindowThatClosesNeedsNoQuestion)
{
    CHolder holder(CHolder::Window, GetBinPath("orvfixture.dll"));
    ASSERT_TRUE(holder.IsHolding());
    DWORD error = 0;
    EXPECT_TRUE(End(holder, false, error));
    EXPECT_EQ(0u, error);
    EXPECT_TRUE(g_questions.empty());
    DWORD exitCode = 0;
    ASSERT_TRUE(holder.HasEnded(5000, &exitCode));
    EXPECT_EQ(0u, exitCode);
}

TEST_F(ProcessTermination, WithoutWindowsKilledOnlyWhenTheUserAgrees)
{
    CHolder holder(CHolder::Load, GetBinPath("orvfixture.dll"));
    ASSERT_TRUE(holder.IsHolding());

    DWORD error = 0;
    EXPECT_FALSE(End(holder, false, error));
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), error);
    EXPECT_EQ(std::vector<std::string>{"orvholder.exe"}, g_questions);
    EXPECT_FALSE(holder.HasEnded(0));

    EXPECT_TRUE(End(holder, true, error));
    EXPECT_EQ(0u, error);
    DWORD exitCode = 0;
    ASSERT_TRUE(holder.HasEnded(5000, &exitCode));
    EXPECT_EQ(0xDEADDEEDu, exitCode);
}

TEST_F(ProcessTermination, AlreadyEndedIsASuccess)
{
    CHolder holder(CHolder::Load, GetBinPath("orvfixture.dll"));
    ASSERT_TRUE(holder.IsHolding());
    CProcess record(holder.GetProcessId(), 0, GetBinPath("orvholder.exe"), "", false);
    holder.Release();

    ::SetLastError(0xdeadbeef);
    EXPECT_TRUE(record.Terminate()) << ::GetLastError();
    EXPECT_EQ(0u, ::GetLastError());
    EXPECT_EQ(0u, record.GetErrorCode());
}

// A process that may not be opened is still running: not ended, and the
// reason is the system's.
TEST_F(ProcessTermination, AccessDeniedIsAFailure)
{
    CHolder holder(CHolder::Guarded, GetBinPath("orvfixture.dll"));
    ASSERT_TRUE(holder.IsHolding());
    ::SetLastError(0xdeadbeef);
    ASSERT_EQ(nullptr, ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, holder.GetProcessId())) << ::GetLastError();
    ASSERT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), ::GetLastError());

    CProcess record(holder.GetProcessId(), 0, GetBinPath("orvholder.exe"), "", false);
    ::SetLastError(0xdeadbeef);
    EXPECT_FALSE(record.Terminate()) << ::GetLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), record.GetErrorCode());
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), ::GetLastError());
    EXPECT_TRUE(g_questions.empty());
    EXPECT_FALSE(holder.HasEnded(0));
}

} // namespace
