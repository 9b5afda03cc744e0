// One row per process (and 16-bit task) that holds the object.
#include "inspect/HolderList.h"

#include <gtest/gtest.h>

namespace
{

TEST(MergeHolder, OneRowPerProcess)
{
    CHolderList rows;
    auto holder = [](DWORD id, DWORD task, const char* image, DWORD heldAs) {
        SHolder h;
        h.processId = id;
        h.taskThreadId = task;
        h.imagePath = image;
        h.heldAs = heldAs;
        return h;
    };
    ASSERT_TRUE(MergeHolder(rows, holder(10, 0, "C:\\a.exe", HeldLoaded)));
    ASSERT_TRUE(MergeHolder(rows, holder(20, 0, "", HeldOpen)));
    ASSERT_TRUE(MergeHolder(rows, holder(10, 0, "", HeldOpen)));
    SHolder twoHandles = holder(20, 0, "C:\\b.exe", HeldOpen);
    twoHandles.openHandles = {0x44, 0x48};
    ASSERT_TRUE(MergeHolder(rows, twoHandles));
    // A 16-bit task is a row of its own beside its NTVDM process.
    ASSERT_TRUE(MergeHolder(rows, holder(10, 7, "C:\\w16.exe", HeldLoaded)));

    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ(10u, rows[0].processId);
    EXPECT_EQ(static_cast<DWORD>(HeldLoaded | HeldOpen), rows[0].heldAs);
    EXPECT_EQ("C:\\a.exe", rows[0].imagePath);
    EXPECT_EQ(20u, rows[1].processId);
    EXPECT_EQ(static_cast<DWORD>(HeldOpen), rows[1].heldAs);
    EXPECT_EQ("C:\\b.exe", rows[1].imagePath);
    EXPECT_EQ((std::vector<ULONG_PTR>{0x44, 0x48}), rows[1].openHandles);
    EXPECT_EQ(7u, rows[2].taskThreadId);
}

} // namespace
