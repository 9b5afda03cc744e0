// Windows 9x/Me keeps no handle table: orvline /release is refused with the
// usage, and nothing is touched.
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace
{

TEST(OrvlineReleaseW98, RefusedWithTheUsage)
{
    CScratchDir dir;
    const std::string file = dir.File("held.txt", "held");
    CHolder holder(CHolder::Open, file);
    ASSERT_TRUE(holder.IsHolding());
    EXPECT_TRUE(RunEnded(RunOrvline(Quote(file) + " /release"), 2, kUsage, ""));
    EXPECT_TRUE(PathExists(file));
    EXPECT_EQ("used", holder.Use());
}

} // namespace
