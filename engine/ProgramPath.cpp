#include "engine/ProgramPath.h"

#include "engine/Text.h"

const char kStartedForVariable[] = "ORVANE_STARTED_FOR";

namespace
{

struct SProgram
{
    std::string path;
    DWORD startedForId = 0;
};

#if defined(_WIN64)
bool IsFile(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}
#endif

// Only a 64-bit build is ever started in another program's place; a 32-bit
// program ignores the variable, whoever set it.
SProgram ReadProgram()
{
    SProgram program;
    program.path = GetImagePath();
#if defined(_WIN64)
    char value[MAX_PATH + 16] = {};
    const DWORD length = ::GetEnvironmentVariableA(kStartedForVariable, value, sizeof(value));
    if (length == 0)
        return program;
    ::SetEnvironmentVariableA(kStartedForVariable, nullptr);
    DWORD processId = 0;
    std::string path;
    if (length < sizeof(value) && ParseStartedFor(std::string(value, length), processId, path) &&
        IsFile(path))
    {
        program.path = path;
        program.startedForId = processId;
    }
#endif
    return program;
}

const SProgram& GetProgram()
{
    static const SProgram program = ReadProgram();
    return program;
}

} // namespace

std::string GetImagePath()
{
    char path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::string();
    return std::string(path, length);
}

std::string GetProgramPath()
{
    return GetProgram().path;
}

DWORD GetStartedForProcessId()
{
    return GetProgram().startedForId;
}

bool ParseStartedFor(const std::string& value, DWORD& processId, std::string& path)
{
    const std::size_t bar = value.find('|');
    if (bar == 0 || bar == std::string::npos || bar > 10)
        return false;
    unsigned long long id = 0;
    for (std::size_t i = 0; i < bar; ++i)
    {
        if (value[i] < '0' || value[i] > '9')
            return false;
        id = id * 10 + static_cast<unsigned>(value[i] - '0');
    }
    const std::string named = value.substr(bar + 1);
    const bool drivePath = named.size() >= 3 && named[1] == ':' && named[2] == '\\';
    const bool uncPath = named.compare(0, 2, "\\\\") == 0 && named.compare(0, 4, "\\\\.\\") != 0 &&
                         named.compare(0, 4, "\\\\?\\") != 0;
    if (id == 0 || id > 0xFFFFFFFFull || !FitsPath(named) || !(drivePath || uncPath))
        return false;
    processId = static_cast<DWORD>(id);
    path = named;
    return true;
}
