#include "wizard/VessraApp.h"

#include "engine/Text.h"
#include "resources/orvgui/resource.h"
#include "window/WizardMessages.h"
#include "wizard/ContextMenu.h"
#include "wizard/MyCommandLineInfo.h"
#include "wizard/VessraSheet.h"

#include <commctrl.h>
#include <ole2.h>

CVessraApp::CVessraApp() : m_title(LoadResourceText(IDS_PRODUCT_NAME))
{
    SetMessageTexts(IDS_PRODUCT_NAME, IDS_ERROR_CODE);
}

void CVessraApp::SetRegistryKey(const char* company)
{
    m_profileKey = std::string("Software\\") + company + "\\" + m_title;
}

bool CVessraApp::InitInstance(int argc, const char* const* argv)
{
    // The wizard stands in the system folder, which is never a source: the
    // folder it was started in (the shell starts it in the clicked item's)
    // would otherwise stay in use by it, and could not be chosen.
    char system[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryA(system, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        ::SetCurrentDirectoryA(system);
    ::InitCommonControls();
    SetRegistryKey("Hadrel");

    CMyCommandLineInfo commandLine;
    ParseCommandLine(commandLine, argc, argv);

    // The install and remove requests report nothing of their outcome.
    if (commandLine.GetRequests() & RequestInstall)
    {
        if (ShowMessage(IDS_CONFIRM_INSTALL_MENU, MB_YESNO | MB_ICONQUESTION) == IDYES)
            InstallContextMenu();
    }
    else if (commandLine.GetRequests() & RequestUninstall)
    {
        if (ShowMessage(IDS_CONFIRM_REMOVE_MENU, MB_YESNO | MB_ICONQUESTION) == IDYES)
            RemoveContextMenu();
    }
    else if (FAILED(::OleInitialize(nullptr)))
    {
        ShowMessage(IDS_OLE_INIT_FAILED, MB_ICONHAND);
    }
    else
    {
        RunWizard(commandLine.GetPath());
        ::OleUninitialize();
    }
    return false;
}

void CVessraApp::RunWizard(const std::string& path)
{
    // A failed read keeps what was read so far.
    m_operations.LoadPending();

    CVessraSheet sheet(m_operations);
    sheet.GetSelectPage().SetPath(path);
    sheet.DoModal();
}
