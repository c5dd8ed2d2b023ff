#include "support/entryIndex.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Keys whose hashes collide in few bits, added and the last ones taken out
// again (as a list takes back an entry it could not write): every key left
// is found at its position, every key taken out is not, across the growths
// of the table and the shifts that fill the holes.
TEST(EntryIndex, FindsEveryKeyLeftAfterInsertsAndErases) {
  struct Case {
    const char* label;
    size_t keys, hashModulo, erasedEvery;
  };
  const Case cases[] = {{"spread hashes", 5000, 1u << 30, 3},
                        {"colliding hashes", 5000, 7, 2},
                        {"one hash", 300, 1, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<std::string> keys;
    std::vector<bool> erased;
    TEntryIndex index;
    auto hashOf = [&](size_t k) { return (k * 2654435761u) % c.hashModulo; };
    for (size_t k = 0; k < c.keys; ++k) {
      keys.push_back("file_" + std::to_string(k));
      erased.push_back(k % c.erasedEvery == 0);
      index.insert(hashOf(k), static_cast<uint32_t>(k));
    }
    for (size_t k = 0; k < c.keys; ++k)
      if (erased[k]) index.erase(hashOf(k), static_cast<uint32_t>(k));
    for (size_t k = 0; k < c.keys; ++k) {
      const uint32_t at =
          index.find(hashOf(k), [&](uint32_t position) { return keys[position] == keys[k]; });
      EXPECT_EQ(at, erased[k] ? TEntryIndex::kNone : k) << keys[k];
    }
  }
}

}  // namespace
