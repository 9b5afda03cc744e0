#include "engine/Report.h"

#include "engine/CodePage.h"
#include "engine/FileBytes.h"
#include "engine/FileInfo.h"
#include "engine/Handles.h"
#include "engine/RegistryEntry.h"
#include "engine/ProgramPath.h"
#include "engine/SystemServices.h"
#include "engine/Text.h"

#include <shlwapi.h>

#include <ctime>
#include <new>

namespace
{

const char kUtf8Mark[] = "\xEF\xBB\xBF";

std::string GetCurrentReportDate()
{
    SYSTEMTIME now = {};
    ::GetLocalTime(&now);
    return FormatReportDate(now);
}

// The names that a report of the list holds: the paths it reports, and the
// autostart values with them.
std::vector<std::string> GetReportNames(const CFileInfoList& list)
{
    std::vector<std::string> names;
    for (std::size_t i = 0; i < list.GetCount(); ++i)
    {
        const CFileInfo* item = list.GetAt(i);
        names.push_back(item->GetReportPath());
        if (item->GetRegistryEntry())
            names.push_back(item->GetRegistryEntry()->GetIdentity());
    }
    return names;
}

// The bytes that join the open report, in its encoding; `rewrite` when they
// are the whole new file.
bool EncodeReportText(HANDLE file, const std::string& text, const std::vector<std::string>& names,
                      std::string& bytes, bool& rewrite)
{
    rewrite = false;
    DWORD high = 0;
    const DWORD size = ::GetFileSize(file, &high);
    if (size == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR)
        return false;
    char head[3] = {};
    DWORD read = 0;
    if (!::ReadFile(file, head, sizeof(head), &read, nullptr))
        return false;
    std::vector<std::wstring> wideNames;
    for (const std::string& name : names)
        wideNames.push_back(AnsiToWide(name));
    const UINT codePage = GetSystemAnsiCodePage();
    switch (ChooseReportForm(std::string(head, read), FitCodePage(wideNames, codePage)))
    {
    case ReportAnsi:
        bytes = ToCodePage(AnsiToWide(text), codePage);
        return true;
    case ReportUtf8:
        bytes = (read == 0 ? kUtf8Mark : "") + text;
        return true;
    case ReportToUtf8:
        break;
    }
    if (high != 0)
    {
        ::SetLastError(ERROR_FILE_TOO_LARGE);
        return false;
    }
    std::string existing;
    if (::SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER || !ReadToEnd(file, existing))
        return false;
    bytes = MakeUtf8Report(existing, codePage) + text;
    rewrite = true;
    return true;
}

// The whole file replaced by longer content: the room is taken first, so
// that a full disk leaves the file as it was.
bool RewriteReport(HANDLE file, const std::string& bytes)
{
    if (::SetFilePointer(file, static_cast<LONG>(bytes.size()), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
        !::SetEndOfFile(file) || ::SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return false;
    return WriteAll(file, bytes) && ::FlushFileBuffers(file);
}

} // namespace

std::string GetReportFilePath()
{
    char path[MAX_PATH] = {};
    if (!CopyToBuffer(GetProgramPath(), path) || !path[0] || !::PathRenameExtensionA(path, ".txt"))
        return std::string();
    return path;
}

std::string FormatReportDate(const SYSTEMTIME& localTime)
{
    std::tm calendar = {};
    calendar.tm_year = localTime.wYear - 1900;
    calendar.tm_mon = localTime.wMonth - 1;
    calendar.tm_mday = localTime.wDay;
    calendar.tm_hour = localTime.wHour;
    calendar.tm_min = localTime.wMinute;
    calendar.tm_sec = localTime.wSecond;
    calendar.tm_isdst = -1;
    // The calendar conversion also fills in the day of the week.
    if (std::mktime(&calendar) == static_cast<std::time_t>(-1))
        return std::string();

    // "%#c": the runtime's long date and time.
    char text[128] = {};
    const std::size_t length = std::strftime(text, sizeof(text), "%#c", &calendar);
    return std::string(text, length);
}

std::string MakeOperationsReport(const std::string& date, const CFileInfoList& list)
{
    std::string text = date + "\n\n";
    for (std::size_t i = 0; i < list.GetCount(); ++i)
        text += list.GetAt(i)->GetReportText();
    return text + "\n";
}

std::string MakeErrorReport(const std::string& date, const std::string& message,
                            const std::string& systemText)
{
    std::string text = date + "\n\n" + message + "\n";
    if (!systemText.empty())
        text += systemText + "\n";
    return text + "\n";
}

EReportForm ChooseReportForm(const std::string& head, bool namesFit)
{
    if (head.compare(0, std::string::npos, kUtf8Mark) == 0)
        return ReportUtf8;
    if (namesFit)
        return ReportAnsi;
    return head.empty() ? ReportUtf8 : ReportToUtf8;
}

std::string MakeUtf8Report(const std::string& ansiReport, UINT codePage)
{
    return kUtf8Mark + ToCodePage(FromCodePage(ansiReport, codePage), CP_UTF8);
}

bool AppendReportText(const std::string& path, const std::string& text, const std::vector<std::string>& names)
{
    if (path.empty())
    {
        ::SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    // Readers may share the file, other writers may not. Only a report whose
    // encoding may change is read.
    const bool utf8 = IsUtf8Process();
    CFileHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE | (utf8 ? GENERIC_READ : 0), FILE_SHARE_READ,
                                   nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    const std::string lines = ExpandLineBreaks(text);
    std::string bytes = lines;
    bool rewrite = false;
    if (utf8 && !EncodeReportText(file.Get(), lines, names, bytes, rewrite))
        return false;
    if (rewrite)
        return RewriteReport(file.Get(), bytes);
    return ::SetFilePointer(file.Get(), 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER &&
           WriteAll(file.Get(), bytes);
}

bool CFileInfoList::WriteReport(const std::string& path) const
{
    try
    {
        return AppendReportText(path, MakeOperationsReport(GetCurrentReportDate(), *this), GetReportNames(*this));
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
}

void WriteErrorReport(UINT messageId, DWORD errorCode)
{
    try
    {
        // One line of system text: its line breaks go, as in the console.
        const std::string systemText =
            errorCode != 0 ? TrimBlanks(GetErrorText(errorCode)) : std::string();
        AppendReportText(GetReportFilePath(),
                         MakeErrorReport(GetCurrentReportDate(), LoadResourceText(messageId), systemText),
                         {});
    }
    catch (const std::bad_alloc&)
    {
    }
}

bool AppendDatedReport(const std::string& text, const std::vector<std::string>& names)
{
    try
    {
        return AppendReportText(GetReportFilePath(), MakeErrorReport(GetCurrentReportDate(), text, std::string()),
                                names);
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
}
