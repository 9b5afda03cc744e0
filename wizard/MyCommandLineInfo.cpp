#include "wizard/MyCommandLineInfo.h"

#include "engine/Text.h"

#include <algorithm>

namespace
{

struct SKeyword
{
    const char* text;
    DWORD request;
};

// Searched in this order: "/" alone, or "/in", matches install first.
const SKeyword kKeywords[] = {
    {"install", RequestInstall},
    {"uninstall", RequestUninstall},
};

} // namespace

DWORD FindKeywordRequest(const std::string& flag)
{
    for (const SKeyword& keyword : kKeywords)
    {
        const std::string text = keyword.text;
        if (IsSameTextPrefix(text, flag, std::min(text.size(), flag.size())))
            return keyword.request;
    }
    return 0;
}

void CMyCommandLineInfo::ParseParam(const char* param, bool isFlag, bool /*isLast*/)
{
    if (isFlag)
        m_requests |= FindKeywordRequest(param);
    else if (m_path.empty())
        m_path = param;
}

void ParseCommandLine(CMyCommandLineInfo& info, int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i)
    {
        const char* argument = argv[i] ? argv[i] : "";
        const bool isFlag = argument[0] == '-' || argument[0] == '/';
        info.ParseParam(isFlag ? argument + 1 : argument, isFlag, i + 1 == argc);
    }
}
