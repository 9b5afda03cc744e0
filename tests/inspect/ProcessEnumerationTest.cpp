// Which processes have a file loaded, on real holders started by the tests.
#include "engine/Text.h"
#include "inspect/ProcessManager.h"
#include "resources/orvgui/resource.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{

std::string FixtureDll()
{
    return GetBinPath("orvfixture.dll");
}

CProcessList Enumerate(const std::string& path)
{
    CProcessList list;
    CProcessManager manager;
    ::SetLastError(0xdeadbeef);
    EXPECT_TRUE(manager.EnumerateProcesses(path, list)) << path << " " << ::GetLastError();
    return list;
}

// The records of one process id.
std::vector<const CProcess*> RecordsOf(const CProcessList& list, DWORD processId)
{
    std::vector<const CProcess*> found;
    for (const auto& record : list)
    {
        if (record->GetProcessId() == processId)
            found.push_back(record.get());
    }
    return found;
}

TEST(ProcessEnumeration, HoldersOfTheDllWithTheirExecutables)
{
    CHolder first(CHolder::Load, FixtureDll());
    CHolder second(CHolder::Load, FixtureDll());
    CHolder reader(CHolder::Open, FixtureDll());
    ASSERT_TRUE(first.IsHolding() && second.IsHolding() && reader.IsHolding());

    const CProcessList list = Enumerate(FixtureDll());
    EXPECT_EQ(2u, list.size());
    for (const CHolder* holder : {&first, &second})
    {
        const auto records = RecordsOf(list, holder->GetProcessId());
        ASSERT_EQ(1u, records.size());
        const CProcess& record = *records[0];
        EXPECT_TRUE(IsSameText(GetBinPath("orvholder.exe"), record.GetImagePath()))
            << record.GetImagePath();
        EXPECT_EQ("orvholder.exe", record.GetImageName());
        EXPECT_EQ(0u, record.GetTaskThreadId());
        EXPECT_EQ(0u, record.GetErrorCode());
        // No version resource in the holder.
        EXPECT_EQ("n/a", record.GetDescription());
        EXPECT_EQ("", record.GetInfoText());
    }
    // Holding the file as data is not having it loaded.
    EXPECT_TRUE(RecordsOf(list, reader.GetProcessId()).empty());
    EXPECT_TRUE(RecordsOf(list, ::GetCurrentProcessId()).empty());
}

TEST(ProcessEnumeration, CaseDoesNotMatterButTheShortNameIsAnotherPath)
{
    CHolder holder(CHolder::Load, FixtureDll());
    ASSERT_TRUE(holder.IsHolding());

    std::string otherCase = FixtureDll();
    std::transform(otherCase.begin(), otherCase.end(), otherCase.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    EXPECT_EQ(1u, RecordsOf(Enumerate(otherCase), holder.GetProcessId()).size()) << otherCase;

    char shortPath[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetShortPathNameA(FixtureDll().c_str(), shortPath, MAX_PATH));
    ASSERT_FALSE(IsSameText(shortPath, FixtureDll())) << shortPath;
    EXPECT_TRUE(RecordsOf(Enumerate(shortPath), holder.GetProcessId()).empty()) << shortPath;
}

TEST(ProcessEnumeration, EmptyTargetListsEveryProcessThatCanBeOpened)
{
    CHolder holder(CHolder::Load, FixtureDll());
    ASSERT_TRUE(holder.IsHolding());
    const CProcessList list = Enumerate(std::string());
    ASSERT_EQ(1u, RecordsOf(list, holder.GetProcessId()).size());
    const auto own = RecordsOf(list, ::GetCurrentProcessId());
    ASSERT_EQ(1u, own.size());
    EXPECT_TRUE(own[0]->IsOwnProcess());
    EXPECT_FALSE(RecordsOf(list, holder.GetProcessId())[0]->IsOwnProcess());
    // The idle process cannot be opened.
    EXPECT_TRUE(RecordsOf(list, 0).empty());
}

TEST(ProcessEnumeration, NotLoadedAnywhere)
{
    CScratchDir dir;
    const std::string path = dir.File("plain.dll", "not a module");
    EXPECT_TRUE(Enumerate(path).empty());
}

// The holder's own version resource claims a fixed block of 8 bytes: it is
// not one, and nothing behind it is read.
TEST(ProcessEnumeration, TruncatedVersionResourceIsNotRead)
{
    const std::string program = GetBinPath("orvholder_truncated.exe");
    CHolder holder(CHolder::Load, FixtureDll(), program);
    ASSERT_TRUE(holder.IsHolding());
    const auto records = RecordsOf(Enumerate(FixtureDll()), holder.GetProcessId());
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ("n/a", records[0]->GetDescription());
    EXPECT_EQ("", records[0]->GetInfoText());
}

TEST(ProcessRecord, InfoText)
{
    const std::string image = FixturePath("v5_1_2600_2180");
    const std::string expected = Ansi("Nom d'Image:\tv5_1_2600_2180.exe%s\nNom du Programme:\tOrvane\n"
                                      "Description:\tOrvane version fixture\nVersion:\t\t5.1.2600.2180\n"
                                      "Copyright:\tCopyright (C) 2026 Hadrel. Tous droits réservés.");
    const CProcess process(::GetCurrentProcessId(), 0, image, "", false);
    EXPECT_EQ(FormatText(expected.c_str(), ""), process.GetInfoText());
    const CProcess service(::GetCurrentProcessId(), 0, image, "", true);
    EXPECT_EQ(FormatText(expected.c_str(), Ansi(" (fonctionne en mode service)").c_str()),
              service.GetInfoText());

    // Found by the system: the description of the version resource.
    const CProcess found(0, 0, "\"" + image + "\" ");
    EXPECT_EQ(image, found.GetImagePath());
    EXPECT_EQ("Orvane version fixture", found.GetDescription());
}

TEST(ProcessRecord, ServiceFlagFromTheToken)
{
    // A program of the interactive user's desktop.
    bool isService = true;
    ::SetLastError(0xdeadbeef);
    EXPECT_TRUE(IsServiceProcess(::GetCurrentProcessId(), isService)) << ::GetLastError();
    EXPECT_FALSE(isService);

    // The idle process cannot be opened: failure, and no service.
    isService = true;
    EXPECT_FALSE(IsServiceProcess(0, isService));
    EXPECT_FALSE(isService);
}

} // namespace
