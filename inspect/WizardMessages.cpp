#include "WizardMessages.h"

#include "SystemServices.h"
#include "resource.h"

int ShowMessageText(const std::string& text, UINT type)
{
    // Owned by the window the user works in (the sheet or a dialog over it),
    // so that the box is modal to it; none before the sheet exists.
    return ::MessageBoxA(::GetActiveWindow(), text.c_str(),
                         LoadResourceText(IDS_PRODUCT_NAME).c_str(), type);
}

std::string AppendErrorText(const std::string& text, DWORD error)
{
    return text + "\n" + FormatText(LoadResourceText(IDS_ERROR_CODE).c_str(), static_cast<int>(error)) +
           " " + GetErrorText(error);
}
