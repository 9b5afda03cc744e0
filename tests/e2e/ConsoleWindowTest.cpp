// orvline in a console window, as a user reads it: every text and name
// shows as it is, whatever the console's code page.
#include "engine/CodePage.h"
#include "engine/Handles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace
{

// The characters of the screen buffer, row after row.
std::wstring ReadScreen(HANDLE screen)
{
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    if (!GetConsoleScreenBufferInfo(screen, &info))
        return std::wstring();
    std::wstring text(static_cast<std::size_t>(info.dwSize.X) * info.dwSize.Y, L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(screen, &text[0], static_cast<DWORD>(text.size()), COORD{0, 0}, &read);
    text.resize(read);
    return text;
}

void ClearScreen(HANDLE screen)
{
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    ASSERT_TRUE(GetConsoleScreenBufferInfo(screen, &info));
    DWORD written = 0;
    FillConsoleOutputCharacterW(screen, L' ', static_cast<DWORD>(info.dwSize.X) * info.dwSize.Y, COORD{0, 0},
                                &written);
    SetConsoleCursorPosition(screen, COORD{0, 0});
}

// orvline on this program's console; its exit code.
DWORD RunOnConsole(const std::string& arguments)
{
    std::string commandLine = Quote(GetBinPath("orvline.exe")) + " " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!StartProcess(nullptr, &commandLine[0], FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return 0xFFFFFFFF;
    CHandle thread(process.hThread);
    CHandle child(process.hProcess);
    DWORD code = 0xFFFFFFFF;
    if (WaitForSingleObject(child.Get(), 120000) == WAIT_OBJECT_0)
        GetExitCodeProcess(child.Get(), &code);
    return code;
}

} // namespace

TEST(OrvlineConsole, NamesShowAsTheyAreWhateverTheCodePage)
{
    CScratchDir dir;
    const std::string source = dir.File("Жук.txt", "z");
    const std::string target = dir / "日本\\Ελληνικά.txt"; // no such folder: the run fails on it
    // A console of its own, whatever this program was started with.
    FreeConsole();
    SetLastError(0xdeadbeef);
    ASSERT_TRUE(AllocConsole()) << GetLastError();
    const HANDLE screen = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, screen);
    const std::wstring failure = FromCodePage(target + ": ", CP_UTF8);
    for (const UINT codePage : {437u, 1252u})
    {
        ASSERT_TRUE(SetConsoleOutputCP(codePage));
        ClearScreen(screen);
        EXPECT_EQ(10u, RunOnConsole(Quote(source) + " " + Quote(target))) << codePage;
        const std::wstring shown = ReadScreen(screen);
        EXPECT_NE(std::wstring::npos, shown.find(failure)) << codePage;
        EXPECT_NE(std::wstring::npos, shown.find(L"Traitement echoue")) << codePage;
    }
    CloseHandle(screen);
    FreeConsole();
    EXPECT_EQ("z", ReadFileBytes(source));
}
