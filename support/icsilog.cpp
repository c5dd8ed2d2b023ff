#include "support/icsilog.h"

#include <cmath>
#include <cstdint>
#include <cstring>

void fill_icsi_log_table2(unsigned n, float* table) {
  const float invLn2 = 1.442695f;  // 1 / ln 2 in single precision
  const float step = 1.0f / static_cast<float>(1UL << n);
  float x = 1.0f + 1.0f / static_cast<float>(1UL << (n + 1));
  const unsigned long count = 1UL << n;
  for (unsigned long i = 0; i < count; ++i) {
    table[i] = std::log(x) * invLn2;
    x += step;
  }
}

void fill_icsi_log_table(int n, float* table) {
  const std::uint32_t count = std::uint32_t(1) << n;
  const std::uint32_t increment = std::uint32_t(1) << (23 - n);
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t bits = 0x3f800000u + i * increment;
    float x;
    std::memcpy(&x, &bits, sizeof x);
    table[i] = i == 0 ? 0.0f : std::log2(x);
  }
}
