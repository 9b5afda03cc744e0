#include "inspect/Process.h"

#include "engine/Handles.h"
#include "engine/ModuleVersion.h"
#include "engine/ProgramPath.h"
#include "engine/SystemServices.h"
#include "engine/Text.h"
#include "inspect/HandleRelease.h"
#include "inspect/HeapBuffer.h"
#include "inspect/NativePaths.h"
#include "inspect/ProcessManager.h"
#include "inspect/ServiceManager.h"
#include "resources/orvgui/resource.h"

#include <shlwapi.h>

#include <cstring>
#include <memory>

namespace
{

struct CSidTraits
{
    using Type = PSID;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::FreeSid(h); }
};
using CSid = CUniqueHandle<CSidTraits>;

// Which of the two groups the token names first; true also when it names
// neither.
bool IsServiceByGroups(const TOKEN_GROUPS& groups, PSID interactive, PSID service)
{
    for (DWORD i = 0; i < groups.GroupCount; ++i)
    {
        if (::EqualSid(groups.Groups[i].Sid, interactive))
            return false;
        if (::EqualSid(groups.Groups[i].Sid, service))
            return true;
    }
    return true;
}

} // namespace

bool IsServiceProcess(DWORD processId, bool& isService)
{
    isService = false;
    if (!IsWindowsNT())
        return true;

    CHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    if (!process)
        return false;
    CHandle token;
    if (!::OpenProcessToken(process.Get(), TOKEN_QUERY, token.Receive()))
        return false;

    // Most tokens fit the first guess; the second read takes the size the
    // system asked for.
    DWORD size = 50;
    std::unique_ptr<BYTE[]> buffer = AllocateBuffer<BYTE>(size);
    if (!buffer)
        return false;
    DWORD needed = 0;
    if (!::GetTokenInformation(token.Get(), TokenGroups, buffer.get(), size, &needed))
    {
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0)
            return false;
        size = needed;
        buffer = AllocateBuffer<BYTE>(size);
        if (!buffer)
            return false;
        if (!::GetTokenInformation(token.Get(), TokenGroups, buffer.get(), size, &needed))
            return false;
    }

    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    CSid interactive;
    CSid service;
    if (!::AllocateAndInitializeSid(&ntAuthority, 1, SECURITY_INTERACTIVE_RID, 0, 0, 0, 0, 0, 0, 0,
                                    interactive.Receive()) ||
        !::AllocateAndInitializeSid(&ntAuthority, 1, SECURITY_SERVICE_RID, 0, 0, 0, 0, 0, 0, 0,
                                    service.Receive()))
        return false;

    isService = IsServiceByGroups(*reinterpret_cast<const TOKEN_GROUPS*>(buffer.get()),
                                  interactive.Get(), service.Get());
    return true;
}

CProcess::CProcess(DWORD processId, DWORD taskThreadId, const std::string& rawImagePath, DWORD heldAs)
    : m_processId(processId),
      m_taskThreadId(taskThreadId),
      m_imagePath(NormalizeImagePath(rawImagePath)),
      m_heldAs(heldAs)
{
    if (processId != 0 && taskThreadId == 0)
        IsServiceProcess(processId, m_isService);

    CModuleVersion version;
    m_description = version.LoadFromFile(m_imagePath) ? version.GetStringValue("FileDescription")
                                                      : LoadResourceText(IDS_NOT_AVAILABLE);
}

CProcess::CProcess(DWORD processId, DWORD taskThreadId, const std::string& imagePath,
                   const std::string& description, bool isService, DWORD heldAs)
    : m_processId(processId),
      m_taskThreadId(taskThreadId),
      m_imagePath(imagePath),
      m_description(description),
      m_isService(isService && taskThreadId == 0),
      m_heldAs(heldAs)
{
}

std::string CProcess::GetImageName() const
{
    return ::PathFindFileNameA(m_imagePath.c_str());
}

std::string CProcess::GetInfoText() const
{
    // The engine's reader refuses a fixed block shorter than its structure,
    // whatever the image claims.
    CModuleVersion version;
    if (!version.LoadFromFile(m_imagePath))
        return std::string();
    std::string name = GetImageName();
    if (m_isService)
        name += " " + LoadResourceText(IDS_RUNS_AS_SERVICE);
    const std::string format = LoadResourceText(IDS_PROCESS_INFO_FORMAT);
    return FormatText(format.c_str(), name.c_str(), version.GetStringValue("ProductName").c_str(),
                      version.GetStringValue("FileDescription").c_str(),
                      HIWORD(version.dwFileVersionMS), LOWORD(version.dwFileVersionMS),
                      HIWORD(version.dwFileVersionLS), LOWORD(version.dwFileVersionLS),
                      version.GetStringValue("LegalCopyright").c_str());
}

bool CProcess::IsOwnProcess() const
{
    return IsOwnProgramProcess(m_processId, m_imagePath);
}

bool CProcess::Terminate()
{
    bool ended = false;
    if (m_isService)
    {
        CServiceManager services;
        char name[256] = {};
        ended = services.OpenManager() &&
                services.FindServiceByProcessId(m_processId, name, sizeof(name)) &&
                services.StopService(name);
    }
    else
    {
        CProcessManager manager;
        ended = manager.EndProcess(*this);
    }
    m_lastError = ::GetLastError();
    return ended;
}

bool CProcess::ReleaseHandles(const std::string& path)
{
    SHolder holder;
    holder.processId = m_processId;
    holder.imagePath = m_imagePath;
    holder.heldAs = m_heldAs;
    holder.openHandles = m_openHandles;
    std::size_t closed = 0;
    const bool released = ::ReleaseHandles(holder, path, closed);
    m_lastError = ::GetLastError();
    return released;
}

int CompareProcesses(const CProcess& a, const CProcess& b, int column)
{
    switch (column)
    {
    case 1:
        return a.GetProcessId() < b.GetProcessId() ? -1 : a.GetProcessId() > b.GetProcessId() ? 1 : 0;
    case 2:
    {
        const int order = ::lstrcmpiA(a.GetDescription().c_str(), b.GetDescription().c_str());
        if (order != 0)
            return order;
        return a.GetHeldAs() < b.GetHeldAs() ? -1 : a.GetHeldAs() > b.GetHeldAs() ? 1 : 0;
    }
    default:
        return ::lstrcmpiA(a.GetImageName().c_str(), b.GetImageName().c_str());
    }
}

std::string FormatHolderDescription(const std::string& description, DWORD heldAs)
{
    return description + " (" + GetHeldAsText(heldAs) + ")";
}

std::string FormatProcessId(DWORD processId, bool windowsNT)
{
    return FormatText(windowsNT ? "%lu" : "%lx", static_cast<unsigned long>(processId));
}
