// Where a popup window opens when its page asks for a place and a size.
#include "exam/child.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

TEST(PopupBounds, EachWishAppliesWhenSetWithinTheDesktopAndAtLeast100Wide) {
  const TNwBox desktop{0, 0, 1280, 1024};
  const TNwBox form{464, 384, 352 + 2, 256 + 21};  // client 352 × 256 in a 2 × 21 frame
  const struct {
    const char* what;
    TNwPopupFeatures features;
    TNwBox bounds;
  } cases[] = {
      {"nothing asked", {}, form},
      {"a place", {.X = 10, .Y = 20, .XSet = true, .YSet = true}, {10, 20, 354, 277}},
      {"a size",
       {.Width = 500, .Height = 400, .WidthSet = true, .HeightSet = true},
       {464, 384, 502, 421}},
      {"too small",
       {.Width = 50, .Height = 60, .WidthSet = true, .HeightSet = true},
       {464, 384, 102, 121}},
      {"off the left and top", {.X = -30, .Y = -5, .XSet = true, .YSet = true}, {0, 0, 354, 277}},
      {"off the right and bottom",
       {.X = 5000, .Y = 5000, .XSet = true, .YSet = true},
       {1280 - 354, 1024 - 277, 354, 277}},
      {"a value without its flag", {.X = 10, .Width = 500}, form},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PopupBounds(form, 2, 21, c.features, desktop), c.bounds) << c.what;
  }
  // A desktop that starts left of 0 clamps at 0.
  EXPECT_EQ(PopupBounds(form, 2, 21, {.X = -300, .XSet = true}, {-200, 0, 1480, 1024}).Left, 0);
}

}  // namespace
}  // namespace quorvex
