#include "Process.h"

#include "Handles.h"
#include "HeapBuffer.h"
#include "ModuleVersion.h"
#include "ProcessManager.h"
#include "ServiceManager.h"
#include "SystemServices.h"
#include "Text.h"
#include "resource.h"

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

std::string NormalizeImagePath(const std::string& raw)
{
    struct SPrefix
    {
        const char* native;
        const char* plain;
    };
    static const SPrefix prefixes[] = {{"\\SystemRoot", "%SystemRoot%"}, {"\\??\\", ""}};

    std::string path = raw;
    for (const SPrefix& prefix : prefixes)
    {
        const std::size_t length = std::strlen(prefix.native);
        if (path.size() >= length && IsSameTextPrefix(path, prefix.native, length))
        {
            path = prefix.plain + path.substr(length);
            break;
        }
    }
    char expanded[MAX_PATH] = {};
    const DWORD length = ::ExpandEnvironmentStringsA(path.c_str(), expanded, MAX_PATH);
    // 0 is a failure; more than the buffer means the text did not fit: the
    // unexpanded text is kept either way.
    if (length != 0 && length <= MAX_PATH)
        path = expanded;

    // Trailing blanks and quotes first, then the leading ones.
    const char* const trimmed = " \"";
    const std::size_t last = path.find_last_not_of(trimmed);
    if (last == std::string::npos)
        return std::string();
    path.erase(last + 1);
    path.erase(0, path.find_first_not_of(trimmed));
    return path;
}

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

CProcess::CProcess(DWORD processId, DWORD taskThreadId, const std::string& rawImagePath)
    : m_processId(processId), m_taskThreadId(taskThreadId), m_imagePath(NormalizeImagePath(rawImagePath))
{
    if (processId != 0 && taskThreadId == 0)
        IsServiceProcess(processId, m_isService);

    CModuleVersion version;
    m_description = version.LoadFromFile(m_imagePath) ? version.GetStringValue("FileDescription")
                                                      : LoadResourceText(IDS_NOT_AVAILABLE);
}

CProcess::CProcess(DWORD processId, DWORD taskThreadId, const std::string& imagePath,
                   const std::string& description, bool isService)
    : m_processId(processId),
      m_taskThreadId(taskThreadId),
      m_imagePath(imagePath),
      m_description(description),
      m_isService(isService && taskThreadId == 0)
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
    const std::string own = GetProgramPath();
    return !own.empty() && IsSameText(own, m_imagePath);
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

int CompareProcesses(const CProcess& a, const CProcess& b, int column)
{
    switch (column)
    {
    case 1:
        return a.GetProcessId() < b.GetProcessId() ? -1 : a.GetProcessId() > b.GetProcessId() ? 1 : 0;
    case 2:
        return ::lstrcmpiA(a.GetDescription().c_str(), b.GetDescription().c_str());
    default:
        return ::lstrcmpiA(a.GetImageName().c_str(), b.GetImageName().c_str());
    }
}

std::string FormatProcessId(DWORD processId, bool windowsNT)
{
    return FormatText(windowsNT ? "%lu" : "%lx", static_cast<unsigned long>(processId));
}
