// The wizard program: its start-up, which installs or removes the
// context-menu entry, or runs the wizard sheet once.
#pragma once

#include "engine/FileInfo.h"

#include <string>

class CVessraApp
{
public:
    CVessraApp();
    virtual ~CVessraApp() = default;

    CVessraApp(const CVessraApp&) = delete;
    CVessraApp& operator=(const CVessraApp&) = delete;

    // The whole run; false: the process ends, no message loop follows.
    virtual bool InitInstance(int argc, const char* const* argv);

    // The product name, caption of every message box.
    const std::string& GetTitle() const { return m_title; }
    // HKEY_CURRENT_USER\<key>: the per-user settings location (nothing is
    // stored there).
    const std::string& GetProfileKey() const { return m_profileKey; }
    // The operations of the process, shared by every page.
    CFileInfoList& GetOperations() { return m_operations; }

private:
    void SetRegistryKey(const char* company);
    void RunWizard(const std::string& path);

    std::string m_title;
    std::string m_profileKey;
    CFileInfoList m_operations;
};
