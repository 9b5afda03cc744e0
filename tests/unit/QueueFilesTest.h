// The fixture of the restart queue's tests in this process: a scratch folder
// with three files to name in the queue, and an empty queue before and after.
#pragma once

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

class CQueueFilesTest : public CQueueTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(WriteFileBytes(m_a, "a"));
        ASSERT_TRUE(WriteFileBytes(m_b, "b"));
        ASSERT_TRUE(WriteFileBytes(m_c, "c"));
    }

    std::string m_a = m_dir / "a.tmp";
    std::string m_b = m_dir / "b.dll";
    std::string m_c = m_dir / "c.dll";
};
