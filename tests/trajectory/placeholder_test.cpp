// Placeholder so that the folder builds; replaced by the folder's real tests.
#include <gtest/gtest.h>

TEST(TrajectoryPlaceholder, Builds) { EXPECT_EQ(1 + 1, 2); }
