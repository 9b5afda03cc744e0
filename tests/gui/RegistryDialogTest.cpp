// The registry file dialog run as the wizard runs it (modal, on a thread of
// its own here) over real Run values of the test prefix.
#include "engine/Handles.h"
#include "engine/Report.h"
#include "engine/Text.h"
#include "inspect/SelectRegistryFileDlg.h"
#include "resources/orvgui/resource.h"
#include "tests/gui/GuiDriver.h"
#include "tests/support/TestSupport.h"
#include "window/ListView.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace
{

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunOnceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Runonce";

BOOL CALLBACK FindProductBox(HWND hwnd, LPARAM found)
{
    char caption[64] = {};
    ::GetWindowTextA(hwnd, caption, sizeof(caption));
    if (::IsWindowVisible(hwnd) && std::string(caption) == "Orvane" && ::GetDlgItem(hwnd, 0xFFFF))
    {
        *reinterpret_cast<HWND*>(found) = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The dialog, running modally until it is closed.
class CDialogRun
{
public:
    CDialogRun()
    {
        m_thread = std::thread([this] {
            m_threadId = ::GetCurrentThreadId();
            m_result = m_dialog.DoModal(nullptr);
        });
        WaitUntil([this] { return m_dialog.GetHwnd() && ::IsWindowVisible(m_dialog.GetHwnd()); }, 10000);
        m_list.Attach(Item(IDC_REGISTRY_LIST));
    }
    ~CDialogRun()
    {
        if (!m_thread.joinable())
            return;
        if (const HWND hwnd = m_dialog.GetHwnd())
            ::PostMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
        m_thread.join();
    }

    HWND Item(int id) const { return ::GetDlgItem(m_dialog.GetHwnd(), id); }
    bool IsEnabled(int id) const { return ::IsWindowEnabled(Item(id)) != FALSE; }
    // The buttons as "OS": OK and "&Supprimer" usable, "-" where not.
    std::string Buttons() const
    {
        return std::string(IsEnabled(IDOK) ? "O" : "-") + (IsEnabled(IDC_DELETE_KEY) ? "S" : "-");
    }
    std::string Company() const { return GetText(Item(IDC_COMPANY_NAME)); }
    void Click(int id) const { ::SendMessageA(Item(id), BM_CLICK, 0, 0); }
    // Clicks a button that opens a message box: the click returns with it.
    void ClickLater(int id) const { ::PostMessageA(Item(id), BM_CLICK, 0, 0); }
    INT_PTR Finish()
    {
        m_thread.join();
        return m_result;
    }

    // The row of a value, or -1.
    int Row(const std::string& name) const
    {
        for (int item = 0; item < m_list.GetItemCount(); ++item)
            if (m_list.GetItemText(item, 0) == name)
                return item;
        return -1;
    }
    void Select(const std::string& name) const
    {
        m_list.SetItemState(Row(name), LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    int Image(int item) const
    {
        LVITEMA row{};
        row.mask = LVIF_IMAGE;
        row.iItem = item;
        return ::SendMessageA(m_list.GetHwnd(), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&row)) ? row.iImage : -1;
    }
    int GroupId(int item) const
    {
        LVITEMA row{};
        row.mask = LVIF_GROUPID;
        row.iItem = item;
        return ::SendMessageA(m_list.GetHwnd(), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&row)) ? row.iGroupId : -2;
    }
    const CRegistryEntry* Entry(int item) const
    {
        return reinterpret_cast<const CRegistryEntry*>(m_list.GetItemData(item));
    }
    // Names of the test's own rows ("Orv..."), in list order.
    std::vector<std::string> OwnRows(int column = 0) const
    {
        std::vector<std::string> rows;
        for (int item = 0; item < m_list.GetItemCount(); ++item)
            if (m_list.GetItemText(item, 0).compare(0, 3, "Orv") == 0)
                rows.push_back(m_list.GetItemText(item, column));
        return rows;
    }
    // A click on a header item, as the mouse gives it.
    void ClickHeader(int index) const
    {
        RECT rect{};
        ::SendMessageA(m_list.GetHeader(), HDM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&rect));
        const LPARAM point = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
        ::SendMessageA(m_list.GetHeader(), WM_LBUTTONDOWN, MK_LBUTTON, point);
        ::SendMessageA(m_list.GetHeader(), WM_LBUTTONUP, 0, point);
    }

    // The message box the dialog shows next.
    HWND WaitForBox() const
    {
        HWND box = nullptr;
        WaitUntil([&] { return ::EnumThreadWindows(m_threadId, FindProductBox, reinterpret_cast<LPARAM>(&box)), box != nullptr; },
                  10000);
        return box;
    }
    HWND Focus() const
    {
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        return ::GetGUIThreadInfo(m_threadId, &info) ? info.hwndFocus : nullptr;
    }
    // Pixels in other colours than the window's in a band below the header,
    // where the empty text goes.
    int CountTextPixels() const
    {
        ::RedrawWindow(m_list.GetHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        ::SendMessageA(m_dialog.GetHwnd(), WM_NULL, 0, 0);
        RECT header{};
        ::GetWindowRect(m_list.GetHeader(), &header);
        RECT list{};
        ::GetWindowRect(m_list.GetHwnd(), &list);
        const HDC screen = ::GetDC(nullptr);
        const COLORREF background = ::GetSysColor(COLOR_WINDOW);
        int count = 0;
        for (int y = header.bottom + 8; y < header.bottom + 30; ++y)
            for (int x = list.left + 4; x < list.right - 4; x += 2)
                if (::GetPixel(screen, x, y) != background)
                    ++count;
        ::ReleaseDC(nullptr, screen);
        return count;
    }
    static std::string BoxText(HWND box) { return GetText(::GetDlgItem(box, 0xFFFF)); }
    void Answer(HWND box, int button) const
    {
        ::PostMessageA(box, WM_COMMAND, button, 0);
        WaitUntil([&] { return !::IsWindow(box); }, 10000);
        ::SendMessageA(m_dialog.GetHwnd(), WM_NULL, 0, 0);
    }

    CSelectRegistryFileDlg m_dialog;
    CListView m_list;

private:
    std::thread m_thread;
    DWORD m_threadId = 0;
    INT_PTR m_result = 0;
};

// Test values under Run and Runonce of both hives, removed afterwards.
class RegistryDialog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX init{};
        init.dwSize = sizeof(init);
        init.dwICC = ICC_LISTVIEW_CLASSES;
        ::InitCommonControlsEx(&init);
        m_program = GetBinPath("orvgui.exe");
        m_missing = m_dir / "gone\\missing.exe";
        Write(HKEY_CURRENT_USER, kRunKey, "OrvFound", "\"" + m_program + "\" /min");
        Write(HKEY_CURRENT_USER, kRunOnceKey, "OrvOnce", m_dir.File("once.exe", "x"));
        Write(HKEY_CURRENT_USER, kRunKey, "OrvMissing", m_missing + " -a");
        Write(HKEY_LOCAL_MACHINE, kRunKey, "OrvMachine", m_dir.File("machine.exe", "x"));
        Write(HKEY_LOCAL_MACHINE, kRunOnceKey, "OrvAMachineOnce", m_dir / "absent.exe");
    }
    void TearDown() override
    {
        for (const auto& value : m_values)
            DeleteRegistryValue(value.hive, value.key, value.name.c_str());
    }
    void Write(HKEY hive, const char* key, const std::string& name, const std::string& data)
    {
        m_values.push_back({hive, key, name});
        ASSERT_TRUE(WriteRegistryString(hive, key, name.c_str(), data));
    }
    static bool Exists(HKEY hive, const char* key, const char* name)
    {
        std::string bytes;
        return ReadRegistryValue(hive, key, name, bytes);
    }

    struct SValue
    {
        HKEY hive;
        const char* key;
        std::string name;
    };
    CScratchDir m_dir;
    std::string m_program;
    std::string m_missing;
    std::vector<SValue> m_values;
};

} // namespace

TEST_F(RegistryDialog, RowsSelectionAndColumns)
{
    CDialogRun run;
    ASSERT_NE(nullptr, run.m_dialog.GetHwnd());
    EXPECT_EQ(Ansi("Selectionner un Fichier Depuis la Base de Registre"), GetText(run.m_dialog.GetHwnd()));
    EXPECT_TRUE(::IsDlgButtonChecked(run.m_dialog.GetHwnd(), IDC_KEEP_REGISTRY_LINK));
    EXPECT_EQ("--", run.Buttons());
    EXPECT_EQ("n/a", run.Company());

    // Each row goes in at the top: the last key read comes first.
    const std::vector<std::string> rows = run.OwnRows();
    std::vector<std::string> keyOrder;
    for (const std::string& name : rows)
        if (name != "OrvMissing" && name != "OrvFound")
            keyOrder.push_back(name);
    EXPECT_EQ((std::vector<std::string>{"OrvAMachineOnce", "OrvMachine", "OrvOnce"}), keyOrder);

    // Per row: file column, icon, group, identity, and once selected the
    // company text and the buttons (OK, "&Supprimer").
    const std::string run1 = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    const std::string run2 = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    const struct
    {
        const char* name;
        std::string file;
        int image;
        int group;
        std::string identity;
        const char* company;
        const char* buttons;
    } cases[] = {
        {"OrvFound", m_program, 0, IDS_GROUP_CURRENT_USER, run1 + "\\OrvFound", "Hadrel", "O-"},
        {"OrvMissing", m_missing, 1, IDS_GROUP_CURRENT_USER, run1 + "\\OrvMissing", "n/a", "-S"},
        // A file without version resource.
        {"OrvOnce", m_dir / "once.exe", 0, IDS_GROUP_CURRENT_USER, run1 + "once\\OrvOnce", "n/a", "O-"},
        {"OrvMachine", m_dir / "machine.exe", 0, IDS_GROUP_LOCAL_MACHINE, run2 + "\\OrvMachine", "n/a", "O-"},
        {"OrvAMachineOnce", m_dir / "absent.exe", 1, IDS_GROUP_LOCAL_MACHINE, run2 + "once\\OrvAMachineOnce", "n/a", "-S"},
    };
    // Without group view in the control (Wine), rows go in without group.
    const bool groups = ::SendMessageA(run.m_list.GetHwnd(), LVM_ISGROUPVIEWENABLED, 0, 0) != FALSE;
    for (const auto& c : cases)
    {
        const int row = run.Row(c.name);
        ASSERT_GE(row, 0) << c.name;
        EXPECT_EQ(c.file, run.m_list.GetItemText(row, 1)) << c.name;
        EXPECT_EQ(c.image, run.Image(row)) << c.name;
        EXPECT_EQ(c.identity, run.Entry(row)->GetIdentity());
        if (groups)
        {
            EXPECT_EQ(c.group, run.GroupId(row)) << c.name;
        }
        run.Select(c.name);
        EXPECT_EQ(c.company, run.Company()) << c.name;
        EXPECT_EQ(c.buttons, run.Buttons()) << c.name;
    }

    // Columns "Clé Registre" and "Fichier", each at least half the width.
    RECT client{};
    ::GetClientRect(run.m_list.GetHwnd(), &client);
    for (int column = 0; column < 2; ++column)
        EXPECT_GE(run.m_list.GetColumnWidth(column), client.right / 2) << column;
    EXPECT_EQ(2, run.m_list.GetColumnCount());
    char columnText[64] = {};
    HDITEMA headerItem{};
    headerItem.mask = HDI_TEXT;
    headerItem.pszText = columnText;
    headerItem.cchTextMax = sizeof(columnText);
    ::SendMessageA(run.m_list.GetHeader(), HDM_GETITEMA, 0, reinterpret_cast<LPARAM>(&headerItem));
    EXPECT_EQ(Ansi("Clé Registre"), std::string(columnText));

    run.Select("OrvMissing");
    TakeScreenshot("registry-dialog");
}

TEST_F(RegistryDialog, HeaderClicksSortAscending)
{
    CDialogRun run;
    const auto sorted = [](std::vector<std::string> texts) {
        std::sort(texts.begin(), texts.end(),
                  [](const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) < 0; });
        return texts;
    };
    // Twice on "Fichier": ascending both times; then by name.
    for (int column : {1, 1, 0})
    {
        run.ClickHeader(column);
        const std::vector<std::string> shown = run.OwnRows(column);
        EXPECT_EQ(sorted(shown), shown) << column;
        EXPECT_EQ(5u, shown.size());
    }
}

TEST_F(RegistryDialog, OkWithAndWithoutTheBoxAndCancel)
{
    const struct
    {
        int button;
        bool keepLink;
        INT_PTR result;
        bool entry;
        std::string path;
    } cases[] = {
        {IDOK, true, IDOK, true, m_program},
        {IDOK, false, IDOK, false, m_program},
        {IDCANCEL, true, IDCANCEL, false, ""},
    };
    for (const auto& c : cases)
    {
        CDialogRun run;
        run.Select("OrvFound");
        if (!c.keepLink)
            run.Click(IDC_KEEP_REGISTRY_LINK);
        run.Click(c.button);
        EXPECT_EQ(c.result, run.Finish());
        EXPECT_EQ(c.path, run.m_dialog.GetSelectedFilePath());
        std::unique_ptr<CRegistryEntry> entry = run.m_dialog.TakeSelectedEntry();
        ASSERT_EQ(c.entry, entry != nullptr) << c.keepLink;
        if (entry)
        {
            EXPECT_EQ("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\OrvFound", entry->GetIdentity());
            EXPECT_EQ(m_program, entry->GetFilePath());
            EXPECT_EQ("/min", entry->GetArguments());
            EXPECT_EQ(nullptr, run.m_dialog.TakeSelectedEntry());
        }
    }
}

TEST_F(RegistryDialog, DeleteAskedFirstAndCopiedToTheReport)
{
    const std::string report = GetReportFilePath();
    ::DeleteFileA(report.c_str());
    CDialogRun run;
    run.Select("OrvMissing");

    // No: nothing happens.
    run.ClickLater(IDC_DELETE_KEY);
    HWND box = run.WaitForBox();
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(Ansi("Voulez-vous supprimer cette clé de manière définitive?"), CDialogRun::BoxText(box));
    EXPECT_STREQ(IconName(EBoxIcon::Question), IconName(ReadBoxIcon(box)));
    run.Answer(box, IDNO);
    EXPECT_TRUE(Exists(HKEY_CURRENT_USER, kRunKey, "OrvMissing"));
    EXPECT_GE(run.Row("OrvMissing"), 0);
    EXPECT_FALSE(PathExists(report));

    run.ClickLater(IDC_DELETE_KEY);
    box = run.WaitForBox();
    ASSERT_NE(nullptr, box);
    run.Answer(box, IDYES);
    EXPECT_FALSE(Exists(HKEY_CURRENT_USER, kRunKey, "OrvMissing"));
    EXPECT_EQ(-1, run.Row("OrvMissing"));
    EXPECT_EQ(run.m_list.GetHwnd(), run.Focus());
    EXPECT_EQ("--", run.Buttons());

    // A dated block with the value's place and data.
    const std::string text = ReadFileBytes(report);
    const std::string block = SystemAnsi("Clé Registre supprimée:") + "\r\nHKEY_CURRENT_USER\\" + kRunKey +
                              "\r\nNom: OrvMissing\r\n" + SystemAnsi("Données: ") + m_missing + " -a\r\n\r\n";
    ASSERT_GT(text.size(), block.size());
    EXPECT_EQ(block, text.substr(text.size() - block.size()));
    EXPECT_EQ("\r\n\r\n", text.substr(text.size() - block.size() - 4, 4));
    ::DeleteFileA(report.c_str());
}

TEST_F(RegistryDialog, DeleteRefused)
{
    const std::string report = GetReportFilePath();
    const struct
    {
        bool valueGone;   // removed behind the dialog's back
        bool reportLocked;  // the copy cannot be written
        DWORD error;
    } cases[] = {
        {true, false, ERROR_FILE_NOT_FOUND},
        {false, true, ERROR_SHARING_VIOLATION},
    };
    for (const auto& c : cases)
    {
        ASSERT_TRUE(WriteRegistryString(HKEY_CURRENT_USER, kRunKey, "OrvMissing", m_missing));
        CDialogRun run;
        run.Select("OrvMissing");
        if (c.valueGone)
            DeleteRegistryValue(HKEY_CURRENT_USER, kRunKey, "OrvMissing");
        CHandle lock(c.reportLocked ? ::CreateFileA(report.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr)
                                    : INVALID_HANDLE_VALUE);

        run.ClickLater(IDC_DELETE_KEY);
        HWND box = run.WaitForBox();
        ASSERT_NE(nullptr, box);
        run.Answer(box, IDYES);
        box = run.WaitForBox();
        ASSERT_NE(nullptr, box);
        // The message's own leading blank is part of it; only the end is trimmed.
        const std::string text = CDialogRun::BoxText(box);
        EXPECT_EQ(Ansi(" La Clé Registre ne peut pas être supprimée") + "\nErreur " + std::to_string(c.error) +
                      ": " + SystemText(c.error),
                  text.substr(0, text.find_last_not_of(" \t\r\n") + 1));
        EXPECT_STREQ(IconName(EBoxIcon::Hand), IconName(ReadBoxIcon(box)));
        run.Answer(box, IDOK);
        EXPECT_GE(run.Row("OrvMissing"), 0);
        EXPECT_EQ(!c.valueGone, Exists(HKEY_CURRENT_USER, kRunKey, "OrvMissing"));
        lock.Reset();
        ::DeleteFileA(report.c_str());
    }
}

TEST_F(RegistryDialog, LastRowDeletedShowsTheEmptyText)
{
    for (const auto& value : m_values)
        if (value.name != "OrvMissing")
            DeleteRegistryValue(value.hive, value.key, value.name.c_str());
    CDialogRun run;
    if (run.m_list.GetItemCount() != 1)
        GTEST_SKIP() << "the prefix holds autostart values of its own";
    run.Select("OrvMissing");
    run.ClickLater(IDC_DELETE_KEY);
    const HWND box = run.WaitForBox();
    ASSERT_NE(nullptr, box);
    run.Answer(box, IDYES);

    EXPECT_EQ(0, run.m_list.GetItemCount());
    EXPECT_EQ("--", run.Buttons());
    EXPECT_EQ("n/a", run.Company());
    // "Aucune clé registre à afficher." below the header.
    EXPECT_GT(run.CountTextPixels(), 20);
    TakeScreenshot("registry-dialog-empty");
    ::DeleteFileA(GetReportFilePath().c_str());
}

TEST(ListViewRows, WithoutAPictureNoImageIsShown)
{
    INITCOMMONCONTROLSEX init{};
    init.dwSize = sizeof(init);
    init.dwICC = ICC_LISTVIEW_CLASSES;
    ::InitCommonControlsEx(&init);
    const HWND hwnd = ::CreateWindowExA(0, WC_LISTVIEWA, "", WS_POPUP | LVS_REPORT, 0, 0, 200, 100,
                                        nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, hwnd);
    CListView list;
    list.Attach(hwnd);
    list.InsertColumn(0, "name", LVCFMT_LEFT, 100);
    // Row 0 with picture 1, row 1 without: it must not borrow picture 0.
    for (const int image : {1, -1})
    {
        const int row = list.GetItemCount();
        ASSERT_EQ(row, list.InsertItem(row, "row", image, 0));
    }
    std::vector<int> images;
    for (int row = 0; row < 2; ++row)
    {
        LVITEMA item{};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        ASSERT_TRUE(::SendMessageA(hwnd, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        images.push_back(item.iImage);
    }
    EXPECT_EQ((std::vector<int>{1, I_IMAGENONE}), images);
    ::DestroyWindow(hwnd);
}
