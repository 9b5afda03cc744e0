// Closing the handles of a holder: only those that still name the object.
#include "inspect/HandleRelease.h"
#include "inspect/HolderScan.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace
{

// The scan's handle values of the holder, but the object asked for is
// another one: each value is named again before it is closed, and left.
TEST(HandleRelease, AValueThatNamesAnotherObjectIsLeftAlone)
{
    CScratchDir dir;
    const std::string held = dir.File("held.txt", "held");
    const std::string other = dir.File("other.txt", "other");
    CHolder holder(CHolder::Open, held);
    ASSERT_TRUE(holder.IsHolding());
    CHolderList holders;
    CHolderScan scan;
    ASSERT_TRUE(scan.ScanOpen(held, holders));
    ASSERT_EQ(1u, holders.size());
    ASSERT_EQ(1u, holders[0].openHandles.size());

    std::size_t closed = 99;
    ::SetLastError(0xdeadbeef);
    EXPECT_TRUE(ReleaseHandles(holders[0], other, closed));
    EXPECT_EQ(0u, closed);
    EXPECT_EQ("used", holder.Use());

    ::SetLastError(0xdeadbeef);
    EXPECT_TRUE(ReleaseHandles(holders[0], held, closed));
    EXPECT_EQ(1u, closed);
    EXPECT_EQ(0u, holder.Use().find("failed "));
    EXPECT_FALSE(holder.HasEnded(0));
}

} // namespace
