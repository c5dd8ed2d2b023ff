#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <new>
#include <random>
#include <vector>

#include "support/containers.h"
#include "support/cstring.h"

namespace {

// ---------------------------------------------------------------- value arrays

TEST(ValueArray, GrowsByItsStep) {
  MY_TArrayAsVector<double> a;
  EXPECT_EQ(a.capacity, 11);
  for (int i = 0; i < 11; ++i) a.Add(i);
  EXPECT_EQ(a.capacity, 11);
  a.Add(11);
  EXPECT_EQ(a.capacity, 21);
  EXPECT_EQ(a.numElems, 12);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(a[i], i);

  MY_TArrayAsVector<int> small(0, 10);
  EXPECT_EQ(small.capacity, 1);
  small.Add(1);
  small.Add(2);
  EXPECT_EQ(small.capacity, 11);

  // A step of 0 cannot leave Add writing beyond the block.
  MY_TArrayAsVector<int> fixed(1, 0);
  for (int i = 0; i < 5; ++i) fixed.Add(i);
  EXPECT_EQ(fixed.capacity, 5);
  EXPECT_EQ(fixed[4], 4);
}

// Blocks past what an int can count are refused as allocations that cannot
// be made, before any size is computed with an overflow.
TEST(ValueArray, BlocksBeyondAnIntCountAreRefused) {
  EXPECT_THROW(MY_TArrayAsVector<char>(INT_MAX, 10), std::bad_alloc);
  EXPECT_THROW(MY_TSArrayAsVector<int>(INT_MAX, 10), std::bad_alloc);
  // A block that looks nearly full to INT_MAX: the next growth step would pass it.
  MY_TArrayAsVector<char> a(0, 10);
  MY_TIArrayAsVector<int> p(1, 10);
  a.capacity = a.numElems = INT_MAX - 5;
  p.capacity = p.numElems = INT_MAX - 5;
  EXPECT_THROW(a.Add('x'), std::bad_alloc);
  EXPECT_THROW(p.Add(nullptr), std::bad_alloc);
  EXPECT_EQ(a.numElems, INT_MAX - 5);
  a.capacity = 1;
  a.numElems = 0;
  p.capacity = 1;
  p.numElems = 0;
}

// Room for a 64-bit count: grown to what is wanted, never shrunk, never
// past what an int can count.
TEST(ValueArray, RoomForACountGrowsOnlyWhenNeeded) {
  MY_TArrayAsVector<int> a(3, 10);
  a.reserveRoom(2, 100);
  EXPECT_EQ(a.capacity, 4);  // room enough already
  a.Add(7);
  a.reserveRoom(6, 3);  // wanted below needed: needed
  EXPECT_EQ(a.capacity, 6);
  EXPECT_EQ(a[0], 7);
  a.reserveRoom(8, 20);
  EXPECT_EQ(a.capacity, 20);
  EXPECT_THROW(a.reserveRoom(static_cast<long long>(INT_MAX) + 1, 0), std::bad_alloc);
  EXPECT_EQ(a.capacity, 20);
}

TEST(ValueArray, AddOfOwnElementDuringGrowth) {
  MY_TArrayAsVector<my_string> a(0, 1);
  a.Add(my_string("first"));
  a.Add(a[0]);  // the source lives in the block that is replaced
  EXPECT_EQ(a[1], "first");
}

TEST(ValueArray, StringsGrowAndCopyElementByElement) {
  MY_TArrayAsVector<my_string> a(0, 1);
  for (int i = 0; i < 30; ++i) {
    my_string s;
    s = i;
    a.Add(s);
  }
  EXPECT_EQ(a.capacity, 30);
  EXPECT_EQ(a[29], "29");

  MY_TArrayAsVector<my_string> b;
  b = a;
  b[3] = "changed";
  EXPECT_EQ(a[3], "3");
  EXPECT_EQ(b.numElems, 30);
  MY_TArrayAsVector<my_string> c(a);
  a[4] = "also changed";
  EXPECT_EQ(c[4], "4");

  MY_TArrayAsVector<my_string>& alias = b;
  b = alias;
  EXPECT_EQ(b[3], "changed");
  EXPECT_EQ(b[29], "29");

  b.Reallocate(3);
  EXPECT_EQ(b.capacity, 3);
  EXPECT_EQ(b.numElems, 0);
}

TEST(ValueArray, DirectMemCopyCopiesTheWholeBlock) {
  MY_TArrayAsVector<int> src(4, 7);
  MY_TArrayAsVector<int> dst(4, 1);
  for (int i = 0; i < 5; ++i) src[i] = 10 + i;
  src.numElems = 2;
  int* block = dst.elems;
  dst.directMemCopy(src);
  EXPECT_EQ(dst.elems, block);
  EXPECT_EQ(dst[4], 14);
  EXPECT_EQ(dst.numElems, 2);
  EXPECT_EQ(dst.growStep, 7);

  MY_TArrayAsVector<int> other(1, 1);
  other.directMemCopy(src);
  EXPECT_EQ(other.capacity, 5);
  EXPECT_EQ(other[3], 13);
  other.directMemCopy(other);
  EXPECT_EQ(other[3], 13);
}

struct SortCase {
  std::vector<double> input;
  std::vector<double> expected;
};

TEST(ValueArray, QuickSortArraySortsAscending) {
  const SortCase cases[] = {
      {{3, 1, 2, 1}, {1, 1, 2, 3}},
      {{}, {}},
      {{5}, {5}},
      {{2, 1}, {1, 2}},
      {{1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}},
      {{5, 4, 3, 2, 1, 0}, {0, 1, 2, 3, 4, 5}},
  };
  for (SortCase const& c : cases) {
    MY_TArrayAsVector<double> a;
    for (double v : c.input) a.Add(v);
    a.quickSortArray();
    EXPECT_EQ(std::vector<double>(a.elems, a.elems + a.numElems), c.expected);
  }

  std::mt19937 gen(7);
  for (int n : {3, 10, 101, 1000}) {
    MY_TArrayAsVector<long> a(0, 50);
    std::vector<long> ref;
    for (int i = 0; i < n; ++i) {
      long v = static_cast<long>(gen() % 50);  // many equal keys
      a.Add(v);
      ref.push_back(v);
    }
    a.quickSortArray();
    std::sort(ref.begin(), ref.end());
    EXPECT_EQ(std::vector<long>(a.elems, a.elems + n), ref) << n;
  }
}

struct TimedPoint {
  double time = -1.0;
  int tag = 0;
};
bool operator<(TimedPoint const& a, TimedPoint const& b) { return a.time < b.time; }

TEST(ValueArray, SortsStructsByTheirKeyAndHeapsortsOneBasedView) {
  MY_TArrayAsVector<TimedPoint> a(2, 2);
  for (double t : {0.5, 0.25, 0.75, 0.1}) a.Add(TimedPoint{t, 0});
  a.quickSortArray();
  EXPECT_EQ(a[0].time, 0.1);
  EXPECT_EQ(a[3].time, 0.75);

  double raw[] = {99, 4, 2, 3, 1};  // base[1..4] sorted, base[0] untouched
  MY_TArrayAsVector<double> any;
  any.heapsort(4, raw);
  EXPECT_EQ(std::vector<double>(raw, raw + 5), (std::vector<double>{99, 1, 2, 3, 4}));
}

// ---------------------------------------------------------------- sorted arrays

struct Event {
  long time = 0;
  int id = 0;
  double size = 0.0;
};
bool operator<(Event const& a, Event const& b) { return a.time < b.time; }

TEST(SortedArray, KeepsEqualKeysInInsertionOrder) {
  MY_TSArrayAsVector<Event> events(1, 10);
  const long times[] = {5, 3, 5, 1};
  const int expectedIndex[] = {0, 0, 2, 0};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(events.Add(Event{times[i], i, 1.0}), expectedIndex[i]);
  EXPECT_EQ(events.capacity, 12);
  const int order[] = {3, 1, 0, 2};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(events[i].id, order[i]);

  MY_TSArrayAsVector<Event> const& view = events;
  EXPECT_EQ(view[4].time, 0);
  EXPECT_EQ(view[4].size, 0.0);
  EXPECT_EQ(view[-1].id, 0);
  EXPECT_EQ(events[7].size, 0.0);
}

TEST(SortedArray, GrowsAndCopiesDeeply) {
  MY_TSArrayAsVector<Event> events(0, 0);
  for (int i = 0; i < 20; ++i) events.Add(Event{(i * 7) % 20, i, 0.0});
  EXPECT_EQ(events.numElems, 20);
  for (int i = 1; i < 20; ++i) EXPECT_LE(events[i - 1].time, events[i].time);

  MY_TSArrayAsVector<Event> copy(events);
  events.numElems = events.reserved = 0;  // emptied by its owner
  EXPECT_EQ(copy.numElems, 20);
  EXPECT_EQ(copy[19].time, 19);
  MY_TSArrayAsVector<Event>& alias = copy;
  copy = alias;
  EXPECT_EQ(copy[19].time, 19);
}

// ---------------------------------------------------------------- pointer arrays

struct Counted {
  static int alive;
  int value;
  explicit Counted(int v) : value(v) { ++alive; }
  Counted(Counted const& o) : value(o.value) { ++alive; }
  ~Counted() { --alive; }
};
int Counted::alive = 0;

TEST(PointerArray, SlotsAreNullAfterConstructionAndGrowth) {
  MY_TIArrayAsVector<Counted> list(2, 3, 0);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(list.elems[i], nullptr);
  Counted a(1);
  list.Add(&a);
  list.Add(&a);
  EXPECT_EQ(list.Add(&a), 3);
  EXPECT_EQ(list.capacity, 5);
  for (int i = 3; i < 5; ++i) EXPECT_EQ(list.elems[i], nullptr);

  MY_TIArrayAsVector<Counted> noStep(1, 0, 0);
  for (int i = 0; i < 4; ++i) noStep.Add(&a);
  EXPECT_EQ(noStep.capacity, 4);
}

TEST(PointerArray, IndexAccessExtendsTheUsedRange) {
  MY_TIArrayAsVector<Counted> list(5, 10, 0);
  Counted a(1), b(2), c(3);
  list.Add(&a);
  list.Add(&b);
  EXPECT_EQ(list[3], nullptr);
  EXPECT_EQ(list.numElems, 4);

  // Beyond the capacity every index still gets a slot of its own.
  list[7] = &b;
  list[40] = &c;
  EXPECT_EQ(list[7], &b);
  EXPECT_EQ(list[40], &c);
  EXPECT_EQ(list.numElems, 41);
  EXPECT_EQ(list[0], &a);
  EXPECT_EQ(list[39], nullptr);
}

TEST(PointerArray, OwnershipDecidesWhatIsDeleted) {
  ASSERT_EQ(Counted::alive, 0);
  {
    MY_TIArrayAsVector<Counted> owning(2, 2, 1);
    for (int i = 0; i < 5; ++i) owning.Add(new Counted(i));
    owning.Add(nullptr);
    owning.FlushFast();
    EXPECT_EQ(Counted::alive, 0);
    EXPECT_EQ(owning.numElems, 0);
    EXPECT_NE(owning.elems, nullptr);
    owning.Add(new Counted(9));
    owning.Reallocate(3);
    EXPECT_EQ(Counted::alive, 0);
    EXPECT_EQ(owning.capacity, 3);
    owning.Add(new Counted(10));
  }  // the destructor deletes what it owns
  EXPECT_EQ(Counted::alive, 0);

  Counted kept(4);
  MY_TIArrayAsVector<Counted> borrowing(2, 2, 0);
  borrowing.Add(&kept);
  borrowing.deleteArray();
  EXPECT_EQ(kept.value, 4);
  EXPECT_EQ(borrowing.elems, nullptr);
  EXPECT_EQ(borrowing.capacity, 0);
  borrowing.Add(&kept);  // usable again after deleteArray
  EXPECT_EQ(borrowing[0], &kept);
}

TEST(PointerArray, AssignmentCopiesObjectsDeeply) {
  {
    MY_TIArrayAsVector<Counted> src(4, 2, 1);
    src.Add(new Counted(1));
    src.Add(nullptr);
    src.Add(new Counted(3));
    MY_TIArrayAsVector<Counted> dst(1, 1, 1);
    dst.Add(new Counted(7));
    dst = src;
    EXPECT_EQ(Counted::alive, 4);
    EXPECT_EQ(dst.numElems, 3);
    EXPECT_EQ(dst[1], nullptr);
    EXPECT_NE(dst[0], src[0]);
    dst[0]->value = 5;
    EXPECT_EQ(src[0]->value, 1);

    MY_TIArrayAsVector<Counted>& alias = dst;
    dst = alias;
    EXPECT_EQ(dst[0]->value, 5);
    EXPECT_EQ(Counted::alive, 4);
  }
  EXPECT_EQ(Counted::alive, 0);
}

}  // namespace
