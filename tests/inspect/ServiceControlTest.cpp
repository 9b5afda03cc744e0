// Stopping services through Wine's service control manager, with a test
// service installed for each case and removed afterwards.
#include "inspect/ServiceManager.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace
{

// One installed instance of orvservice.exe.
class CTestService
{
public:
    // `names`: the partner of a relay, the dependents of a guard.
    CTestService(const std::string& name, const std::string& mode, const std::string& names = "",
                 const std::string& dependsOn = "")
        : m_name(name)
    {
        m_manager.Reset(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        std::string binary = Quote(GetBinPath("orvservice.exe")) + " " + name + " " + mode;
        if (!names.empty())
            binary += " " + names;
        // Dependencies: a double-null-terminated list.
        const std::string dependencies = dependsOn.empty() ? std::string() : dependsOn + '\0';
        if (m_manager)
            m_service.Reset(::CreateServiceA(
                m_manager.Get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, binary.c_str(),
                nullptr, nullptr, dependsOn.empty() ? nullptr : dependencies.c_str(), nullptr, nullptr));
    }

    ~CTestService()
    {
        if (!m_service)
            return;
        // Killed rather than stopped: a relay would start its partner again.
        if (State() != SERVICE_STOPPED)
        {
            CHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, ProcessId()));
            if (process)
            {
                ::TerminateProcess(process.Get(), 1);
                ::WaitForSingleObject(process.Get(), 5000);
            }
            WaitUntil([&] { return State() == SERVICE_STOPPED; }, 5000);
        }
        ::DeleteService(m_service.Get());
    }

    bool IsInstalled() const { return m_service.IsValid(); }
    const std::string& Name() const { return m_name; }

    bool Start()
    {
        if (!::StartServiceA(m_service.Get(), 0, nullptr))
            return false;
        return WaitUntil([&] { return State() == SERVICE_RUNNING; }, 10000);
    }

    DWORD State() const
    {
        SERVICE_STATUS status{};
        return ::QueryServiceStatus(m_service.Get(), &status) ? status.dwCurrentState : 0;
    }

    DWORD ProcessId() const
    {
        SERVICE_STATUS_PROCESS status{};
        DWORD needed = 0;
        return ::QueryServiceStatusEx(m_service.Get(), SC_STATUS_PROCESS_INFO,
                                      reinterpret_cast<BYTE*>(&status), sizeof(status), &needed)
                   ? status.dwProcessId
                   : 0;
    }

private:
    std::string m_name;
    CServiceHandle m_manager;
    CServiceHandle m_service;
};

// Wine's manager neither refuses to stop a service whose dependents run
// nor lists dependents (EnumDependentServices answers none): here both
// follow the Windows manager, over the services that the test installed.
class CTestServiceManager : public CServiceManager
{
public:
    void AddDependent(const CTestService& service, const CTestService& dependent)
    {
        m_links.push_back({&service, &dependent});
    }
    int RefusedStops() const { return m_refused; }
    // The request reaches the service, the answer does not (its process ended first).
    void LoseReplies() { m_loseReplies = true; }

protected:
    bool SendStop(SC_HANDLE service) override
    {
        std::vector<std::string> running;
        if (ReadActiveDependents(service, running) && !running.empty())
        {
            ++m_refused;
            ::SetLastError(ERROR_DEPENDENT_SERVICES_RUNNING);
            return false;
        }
        if (!CServiceManager::SendStop(service))
            return false;
        if (m_loseReplies)
        {
            ::SetLastError(ERROR_BROKEN_PIPE);
            return false;
        }
        return true;
    }

    bool ReadActiveDependents(SC_HANDLE service, std::vector<std::string>& names) override
    {
        names.clear();
        SERVICE_STATUS_PROCESS status{};
        DWORD needed = 0;
        if (!::QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                    sizeof(status), &needed))
            return false;
        for (const auto& link : m_links)
        {
            if (status.dwProcessId != 0 && link.first->ProcessId() == status.dwProcessId &&
                link.second->State() != SERVICE_STOPPED)
                names.push_back(link.second->Name());
        }
        return true;
    }

private:
    std::vector<std::pair<const CTestService*, const CTestService*>> m_links;
    int m_refused = 0;
    bool m_loseReplies = false;
};

class ServiceControl : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_services.OpenManager()) << ::GetLastError(); }
    CTestServiceManager m_services;
};

TEST_F(ServiceControl, RunningServiceFoundByItsProcessAndStopped)
{
    CTestService service("OrvTestRunning", "normal");
    ASSERT_TRUE(service.IsInstalled());
    ASSERT_TRUE(service.Start());

    char name[256] = {};
    ASSERT_TRUE(m_services.FindServiceByProcessId(service.ProcessId(), name, sizeof(name)))
        << ::GetLastError();
    EXPECT_STREQ("OrvTestRunning", name);

    ::SetLastError(0xdeadbeef);
    EXPECT_TRUE(m_services.StopService(name)) << ::GetLastError();
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), service.State());
}

TEST_F(ServiceControl, NoServiceInTheProcess)
{
    char name[256] = {};
    ::SetLastError(0xdeadbeef);
    EXPECT_FALSE(m_services.FindServiceByProcessId(::GetCurrentProcessId(), name, sizeof(name))) << ::GetLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), ::GetLastError());

    CServiceManager unconnected;
    ::SetLastError(0xdeadbeef);
    EXPECT_FALSE(unconnected.FindServiceByProcessId(::GetCurrentProcessId(), name, sizeof(name))) << ::GetLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), ::GetLastError());
    ::SetLastError(0xdeadbeef);
    EXPECT_FALSE(unconnected.StopService("OrvTestRunning")) << ::GetLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), ::GetLastError());
    ::SetLastError(0xdeadbeef);
    EXPECT_FALSE(CServiceManager::WaitForServiceState(nullptr, SERVICE_STOP_PENDING, SERVICE_STOPPED, 0)) << ::GetLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), ::GetLastError());
}

TEST_F(ServiceControl, RunningDependentsStoppedFirst)
{
    CTestService base("OrvTestBase", "normal");
    CTestService first("OrvTestFirst", "normal", "", "OrvTestBase");
    CTestService second("OrvTestSecond", "normal", "", "OrvTestBase");
    ASSERT_TRUE(base.Start() && first.Start() && second.Start());
    m_services.AddDependent(base, first);
    m_services.AddDependent(base, second);

    EXPECT_TRUE(m_services.StopService("OrvTestBase")) << ::GetLastError();
    EXPECT_EQ(1, m_services.RefusedStops());
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), first.State());
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), second.State());
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), base.State());
}

TEST_F(ServiceControl, StoppedServiceWhoseReplyWasLost)
{
    CTestService service("OrvTestLost", "normal");
    ASSERT_TRUE(service.Start());
    m_services.LoseReplies();

    ::SetLastError(0xdeadbeef);
    EXPECT_TRUE(m_services.StopService("OrvTestLost")) << ::GetLastError();
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), service.State());
}

TEST_F(ServiceControl, AlreadyStoppedNeedsNoRequest)
{
    CTestService service("OrvTestStopped", "normal");
    ASSERT_TRUE(service.IsInstalled());
    // A stop request to a stopped service would be refused (not active).
    ::SetLastError(0xdeadbeef);
    EXPECT_TRUE(m_services.StopService("OrvTestStopped")) << ::GetLastError();
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), service.State());
}

TEST_F(ServiceControl, StopPendingPastTheLimitTimesOut)
{
    CTestService service("OrvTestStuck", "stuck");
    ASSERT_TRUE(service.Start());

    ::SetLastError(0xdeadbeef);
    EXPECT_FALSE(m_services.StopService("OrvTestStuck", 1500)) << ::GetLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_TIMEOUT), ::GetLastError());
    ASSERT_EQ(static_cast<DWORD>(SERVICE_STOP_PENDING), service.State());

    // Already stop pending: only the wait.
    ::SetLastError(0xdeadbeef);
    EXPECT_FALSE(m_services.StopService("OrvTestStuck", 1500)) << ::GetLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_TIMEOUT), ::GetLastError());
}

// Each dependent starts the other as it stops: the stop request is not
// repeated for ever.
TEST_F(ServiceControl, DependentsThatComeBackEndTheRetries)
{
    CTestService base("OrvTestHub", "normal");
    CTestService ping("OrvTestPing", "relay", "OrvTestPong", "OrvTestHub");
    CTestService pong("OrvTestPong", "relay", "OrvTestPing", "OrvTestHub");
    ASSERT_TRUE(base.Start() && ping.Start());
    m_services.AddDependent(base, ping);
    m_services.AddDependent(base, pong);

    ::SetLastError(0xdeadbeef);
    EXPECT_FALSE(m_services.StopService("OrvTestHub")) << ::GetLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_DEPENDENT_SERVICES_RUNNING), ::GetLastError());
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), base.State());
    // The first request and three more after the dependents were stopped.
    EXPECT_EQ(1 + CServiceManager::kStopRetries, m_services.RefusedStops());
}

} // namespace
