// The kernel sources built with the tier capped below the best: no tier above the cap is
// offered, the portable tier always is, and the best offered is the one that runs.

#include <gtest/gtest.h>

#include "palette/pixel_kernels.h"

TEST(KernelCap, OffersNoTierAboveTheCap) {
  std::vector<kernel_tier> tiers = available_tiers();
  ASSERT_FALSE(tiers.empty());
  for (kernel_tier tier : tiers) EXPECT_LE(tier_level(tier), PALETTE_KERNEL_CAP) << tier_name(tier);
  EXPECT_EQ(kernels_of(kernel_tier::avx512), nullptr);
  EXPECT_EQ(tiers.back(), kernel_tier::portable);
  EXPECT_EQ(&best_kernels(), kernels_of(tiers.front()));
}
