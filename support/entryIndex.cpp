#include "support/entryIndex.h"

void TEntryIndex::place(const Slot& slot) {
  size_t at = slot.hash & mask();
  while (slots_[at].position != 0) at = (at + 1) & mask();
  slots_[at] = slot;
}

void TEntryIndex::insert(size_t hash, uint32_t position) {
  if ((used_ + 1) * 4 > slots_.size() * 3) {
    std::vector<Slot> old(slots_.empty() ? 64 : slots_.size() * 2);
    old.swap(slots_);
    for (const Slot& s : old)
      if (s.position != 0) place(s);
  }
  place({position + 1, static_cast<uint32_t>(hash)});
  ++used_;
}

void TEntryIndex::erase(size_t hash, uint32_t position) {
  if (slots_.empty()) return;
  size_t hole = hash & 0xffffffffu & mask();
  while (slots_[hole].position != position + 1) {
    if (slots_[hole].position == 0) return;  // not indexed
    hole = (hole + 1) & mask();
  }
  // The slots after it that probed past the hole move back into it.
  for (size_t next = (hole + 1) & mask(); slots_[next].position != 0; next = (next + 1) & mask()) {
    const size_t home = slots_[next].hash & mask();
    if (((next - home) & mask()) >= ((next - hole) & mask())) {
      slots_[hole] = slots_[next];
      hole = next;
    }
  }
  slots_[hole] = Slot();
  --used_;
}

void TEntryIndex::clear() {
  std::vector<Slot>().swap(slots_);
  used_ = 0;
}
