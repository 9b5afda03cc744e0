#include "Report.h"

#include "FileInfo.h"

// Placeholder until the report writer lands: nothing is written, and the
// callers go on as they do when the report file cannot be opened.
std::string GetReportFilePath()
{
    return std::string();
}

void WriteErrorReport(UINT, DWORD)
{
}

bool CFileInfoList::WriteReport(const std::string&) const
{
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
}
