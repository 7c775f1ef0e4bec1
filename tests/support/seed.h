// Seeds for randomised tests: LZH_TEST_SEED when set, else a new one per run.
// The seed is printed, so a failing run can be repeated exactly.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace testing_lzh {

inline std::uint32_t TestSeed() {
  std::uint32_t seed;
  if (const char* env = std::getenv("LZH_TEST_SEED"); env && *env) {
    seed = static_cast<std::uint32_t>(std::strtoul(env, nullptr, 0));
  } else {
    seed = static_cast<std::uint32_t>(
        std::chrono::steady_clock::now().time_since_epoch().count() ^ 0x9E3779B9u);
  }
  std::printf("random seed %u (set LZH_TEST_SEED=%u to repeat)\n", seed, seed);
  ::testing::Test::RecordProperty("seed", std::to_string(seed));
  return seed;
}

}  // namespace testing_lzh
