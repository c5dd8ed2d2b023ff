#pragma once
// The demes that hold cut lineages during a replay, so that each step of the
// replay visits only them. Order: a deme is appended when its first cut
// lineage arrives and its slot takes the last entry when its last one leaves.
#include <vector>

class TCutDemeList {
 public:
  // Empties the list; the tables are sized once for the number of demes.
  void reset(int numDemes) {
    if (static_cast<int>(slot_.size()) != numDemes) {
      slot_.assign(numDemes, -1);
      demes_.assign(numDemes, -1);
    } else {
      for (int k = 0; k < count_; ++k) slot_[demes_[k]] = -1;
    }
    count_ = 0;
  }
  void add(int deme) {
    if (deme < 0 || deme >= static_cast<int>(slot_.size()) || slot_[deme] >= 0) return;
    slot_[deme] = count_;
    demes_[count_++] = deme;
  }
  void remove(int deme) {
    if (deme < 0 || deme >= static_cast<int>(slot_.size()) || slot_[deme] < 0) return;
    const int k = slot_[deme];
    const int last = demes_[--count_];
    demes_[k] = last;
    slot_[last] = k;
    slot_[deme] = -1;
  }
  int count() const { return count_; }
  int operator[](int k) const { return demes_[k]; }

 private:
  std::vector<int> demes_;
  std::vector<int> slot_;
  int count_ = 0;
};
