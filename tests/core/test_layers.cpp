#include <gtest/gtest.h>

#include "layers.h"

namespace pg {
namespace {

TEST(RoundQuarter, RoundsToNearestWithTiesToEven) {
  const std::pair<int, int> cases[] = {
      {0, 0},  {1, 0},  {2, 0},  {3, 1},  {5, 1},   {6, 2},   {10, 2}, {11, 3},
      {14, 4}, {-1, 0}, {-2, 0}, {-3, -1}, {-5, -1}, {-6, -2}, {-10, -2}, {-14, -4}};
  for (auto [v, want] : cases) EXPECT_EQ(RoundQuarter(v), want) << "v=" << v;
}

}  // namespace
}  // namespace pg
