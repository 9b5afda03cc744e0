#include "window/WizardMessages.h"

#include "engine/SystemServices.h"

namespace
{

UINT g_titleId = 0;
UINT g_errorCodeId = 0;

} // namespace

void SetMessageTexts(UINT titleId, UINT errorCodeId)
{
    g_titleId = titleId;
    g_errorCodeId = errorCodeId;
}

int ShowMessageText(const std::string& text, UINT type)
{
    // Owned by the window the user works in (the sheet or a dialog over it),
    // so that the box is modal to it; none before the sheet exists.
    return ::MessageBoxA(::GetActiveWindow(), text.c_str(),
                         LoadResourceText(g_titleId).c_str(), type);
}

std::string AppendErrorText(const std::string& text, DWORD error)
{
    return text + "\n" + FormatText(LoadResourceText(g_errorCodeId).c_str(), static_cast<int>(error)) +
           " " + GetErrorText(error);
}
