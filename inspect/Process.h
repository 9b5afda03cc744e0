// One process, or one 16-bit task inside NTVDM, that has a given file
// loaded: what the process page shows of it and how it is ended.
#pragma once

#include "inspect/HolderList.h"

#include <windows.h>

#include <string>
#include <vector>

// Whether the process runs as a service, from the groups of its token: the
// interactive group (S-1-5-4) says no, the service group (S-1-5-6) says
// yes, whichever comes first; neither (LocalSystem) counts as a service.
// Always false, and true returned, outside the NT family.
bool IsServiceProcess(DWORD processId, bool& isService);

class CProcess
{
public:
    // A found process or task: the image path is normalised, the service
    // flag and the description read from the system. `heldAs`: how it holds
    // the file (EHeldAs bits).
    CProcess(DWORD processId, DWORD taskThreadId, const std::string& rawImagePath,
             DWORD heldAs = HeldLoaded);
    // A record with known contents, nothing asked of the system.
    CProcess(DWORD processId, DWORD taskThreadId, const std::string& imagePath,
             const std::string& description, bool isService, DWORD heldAs = HeldLoaded);
    virtual ~CProcess() = default;

    CProcess(const CProcess&) = delete;
    CProcess& operator=(const CProcess&) = delete;

    DWORD GetErrorCode() const { return m_lastError; }
    DWORD GetProcessId() const { return m_processId; }
    DWORD GetTaskThreadId() const { return m_taskThreadId; }
    bool IsTask() const { return m_taskThreadId != 0; }
    const std::string& GetImagePath() const { return m_imagePath; }
    // The file-name part of the image path.
    std::string GetImageName() const;
    const std::string& GetDescription() const { return m_description; }
    bool IsService() const { return m_isService; }
    DWORD GetHeldAs() const { return m_heldAs; }
    // The handles found open on the file, as values in that process.
    const std::vector<ULONG_PTR>& GetOpenHandles() const { return m_openHandles; }
    void SetOpenHandles(const std::vector<ULONG_PTR>& handles) { m_openHandles = handles; }

    // The tooltip: names, description, version and copyright of the image;
    // empty when the image has no readable version resource.
    std::string GetInfoText() const;

    // True when the record is the running program itself.
    bool IsOwnProcess() const;

    // Ends the process the gentlest way: a service is stopped through the
    // service control manager, anything else has its windows told to close
    // (and is killed only when the user agrees). The outcome code stays in
    // the record and in the thread's last-error value.
    bool Terminate();

    // Closes the handles the process holds open on `path` (or inside it),
    // and leaves the process running. The outcome code stays in the record
    // and in the thread's last-error value.
    bool ReleaseHandles(const std::string& path);

private:
    DWORD m_lastError = 0;
    DWORD m_processId;
    DWORD m_taskThreadId;
    std::string m_imagePath;
    std::string m_description;
    bool m_isService = false;
    DWORD m_heldAs;
    std::vector<ULONG_PTR> m_openHandles;
};

// The order of the process list for a click on header item `column`:
// 1 by process id, 2 by description (then loaded before open), anything
// else by image name; the texts without regard to case. Negative, zero or
// positive.
int CompareProcesses(const CProcess& a, const CProcess& b, int column);

// The description column: the description, then how the file is held,
// "n/a (ouvert)".
std::string FormatHolderDescription(const std::string& description, DWORD heldAs);

// The "ID" column: decimal on the NT family, lower-case hexadecimal on
// Windows 9x/Me (whose ids are addresses).
std::string FormatProcessId(DWORD processId, bool windowsNT);
