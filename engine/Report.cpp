#include "engine/Report.h"

#include "engine/FileInfo.h"
#include "engine/ProgramPath.h"
#include "engine/SystemServices.h"
#include "engine/Text.h"

#include <share.h>
#include <shlwapi.h>

#include <cstdio>
#include <ctime>
#include <new>

namespace
{

std::string GetCurrentReportDate()
{
    SYSTEMTIME now = {};
    ::GetLocalTime(&now);
    return FormatReportDate(now);
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

bool AppendReportText(const std::string& path, const std::string& text)
{
    if (path.empty())
    {
        ::SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    // Append mode places every write at the end; readers may share the
    // file, other writers may not.
    std::FILE* file = ::_fsopen(path.c_str(), "at", _SH_DENYWR);
    if (!file)
        return false;
    bool written = std::fseek(file, 0, SEEK_END) == 0 &&
                   std::fwrite(text.data(), 1, text.size(), file) == text.size();
    written = std::fclose(file) == 0 && written;
    return written;
}

bool CFileInfoList::WriteReport(const std::string& path) const
{
    try
    {
        return AppendReportText(path, MakeOperationsReport(GetCurrentReportDate(), *this));
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
                         MakeErrorReport(GetCurrentReportDate(), LoadResourceText(messageId),
                                         systemText));
    }
    catch (const std::bad_alloc&)
    {
    }
}

bool AppendDatedReport(const std::string& text)
{
    try
    {
        return AppendReportText(GetReportFilePath(),
                                MakeErrorReport(GetCurrentReportDate(), text, std::string()));
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
}
