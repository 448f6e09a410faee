#include "NumberText.h"
#include <gtest/gtest.h>
TEST(NumberText, Placeholder)
{
    EXPECT_EQ(vellox::plainNumber(1000), "1000");
}
