#pragma once
// Lineages that can never meet. Once no historical event (and, in a replay,
// no record and no recombination point) is left, the migration matrix in
// force stays for good: lineages only move along its positive rates. The
// tree can then be completed only in a deme of non-zero size that every deme
// holding lineages can reach; when there is none, the builders stop at once
// instead of drawing migrations for ever.
#include <string>

class TDemeCollection;

// True when it is certain that the lineages of c can never have a common
// ancestor: no deme of non-zero size is reachable, under the matrix in force,
// from every deme holding lineages. Only valid when nothing but migration and
// coalescence is left to happen; replay tells that only cut lineages draw new
// events. Allocates nothing once its tables are sized.
bool lineagesCanNeverMeet(TDemeCollection& c, bool replay);

// The end of a failure message for such lineages: " in demes 0 and 2, which
// migration can no longer bring together in a deme of non-zero size".
std::string whereLineagesAreStuck(const TDemeCollection& c);

// The end of a failure message after "N lineages remaining" when no
// coalescence or migration can be drawn any more and nothing else is left to
// happen: where the lineages are stuck when they can never meet, otherwise
// that none of them can coalesce or migrate, naming growth when demes grow
// (a deme growing back in time may draw no coalescence at all).
std::string whyNothingCanHappen(TDemeCollection& c, bool replay);

// Why a tree stops when growth has carried a deme's size beyond every finite
// number: "the size of deme 1 is no longer finite at generation 2.5e+07"
// (t in continuous-time units).
std::string infiniteSizeReason(int deme, double t);

// When the test is due during the tail of a tree (the steps after the last
// event): at its first step, then after 1024, 2048, 4096 ... steps. Lineages
// can still split later into parts of the graph that no longer meet (one deme
// sending migrants to two demes that send none back); testing at doubling
// intervals finds that within at most as many steps again as were made, for
// one count per step.
class TTailSchedule {
 public:
  bool due() {
    if (steps_++ != next_) return false;
    next_ = next_ == 0 ? 1024 : 2 * next_;
    return true;
  }

 private:
  long long steps_ = 0;
  long long next_ = 0;
};
