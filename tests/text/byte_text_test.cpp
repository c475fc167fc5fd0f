#include "text/byte_text.h"

#include <gtest/gtest.h>

namespace reader {
TEST(Smoke, Builds) { EXPECT_EQ(textLength(GbkText("ab")), 2); }
}
