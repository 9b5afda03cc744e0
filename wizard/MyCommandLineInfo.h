// The wizard's command line: a path to pre-select, or the keywords that
// install or remove the context-menu entry.
#pragma once

#include <windows.h>

#include <string>

enum ECommandLineRequest : DWORD
{
    RequestInstall = 1,
    RequestUninstall = 2,
};

// The request bit of a flag's text (after its "/" or "-"): the first keyword
// of "install", "uninstall" whose first n bytes equal the flag's, n being
// the shorter length, case ignored. 0 when none matches.
DWORD FindKeywordRequest(const std::string& flag);

class CMyCommandLineInfo
{
public:
    CMyCommandLineInfo() = default;
    virtual ~CMyCommandLineInfo() = default;

    // One argument: a flag (without its lead character) or a parameter.
    virtual void ParseParam(const char* param, bool isFlag, bool isLast);

    const std::string& GetPath() const { return m_path; }
    DWORD GetRequests() const { return m_requests; }

private:
    std::string m_path;
    DWORD m_requests = 0;
};

// Hands each argument after the program name to ParseParam: one that begins
// with "-" or "/" is a flag.
void ParseCommandLine(CMyCommandLineInfo& info, int argc, const char* const* argv);
