#pragma once
// Where the entry of a key is among entries kept in a vector, found without
// a copy of the key: a table of positions and 32-bit hashes (open addressing,
// linear probing), some 12 bytes an entry. The caller hashes the key and
// tells whether an entry has it; the lists of outputs index their files by
// path this way (support/outputList.h), since a run may list millions.
#include <cstddef>
#include <cstdint>
#include <vector>

class TEntryIndex {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;

  // The position of the entry with the key of that hash for which has(position)
  // is true; kNone when there is none.
  template <class Has>
  uint32_t find(size_t hash, Has has) const {
    if (slots_.empty()) return kNone;
    const uint32_t h = static_cast<uint32_t>(hash);
    for (size_t at = h & mask(); slots_[at].position != 0; at = (at + 1) & mask())
      if (slots_[at].hash == h && has(slots_[at].position - 1)) return slots_[at].position - 1;
    return kNone;
  }
  // Adds the entry at position, whose key (of that hash) is not indexed yet.
  void insert(size_t hash, uint32_t position);
  // Takes out the entry at position, indexed with that hash.
  void erase(size_t hash, uint32_t position);
  void clear();

 private:
  struct Slot {
    uint32_t position = 0;  // position + 1; 0: free
    uint32_t hash = 0;
  };
  size_t mask() const { return slots_.size() - 1; }
  void place(const Slot& slot);
  std::vector<Slot> slots_;  // a power of two, at most three quarters used
  size_t used_ = 0;
};
