#pragma once
// Growable containers of the program. They grow by a fixed step (never by
// doubling), never shrink and do no bounds checking on plain index access
// of value arrays. Fields are public: owners empty an array by setting
// numElems and reserved to 0 and keep the block.
//
// Ordering: sorting and sorted insertion compare elements with operator<.
// Numbers compare as themselves; a struct element (an event, a
// recombination point) defines operator< on its key, its time.
#include <climits>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace containers_detail {
inline int stepAtLeastOne(int step) { return step < 1 ? 1 : step; }

// Capacity of a block with upper index upper: none below 0; a block past
// what an int can count cannot be made.
inline int capacityFor(int upper) {
  if (upper < 0) return 0;
  if (upper >= INT_MAX) throw std::bad_alloc();
  return upper + 1;
}

// Capacity after one growth step from a full block of used elements.
inline int grownCapacity(int used, int step) {
  const long long n = static_cast<long long>(used) + stepAtLeastOne(step);
  if (n > INT_MAX) throw std::bad_alloc();
  return static_cast<int>(n);
}

// A new block of size slots whose first used slots are assigned from elems.
template <class T>
T* copyOfUsed(T const* elems, int used, int size) {
  T* block = new T[size];
  for (int i = 0; i < used; ++i) block[i] = elems[i];
  return block;
}
}  // namespace containers_detail

// ------------------------------------------------------------------ values

template <class T>
class MY_TArrayAsVector {
public:
  T* elems;
  int capacity;
  int initialCapacity;
  int numElems;
  int reserved;
  int growStep;

  MY_TArrayAsVector(int const& upper, int const& growStep_)
      : elems(nullptr), capacity(containers_detail::capacityFor(upper)), initialCapacity(capacity),
        numElems(0), reserved(0), growStep(growStep_) {
    elems = new T[capacity];
  }
  MY_TArrayAsVector() : MY_TArrayAsVector(10, 10) {}
  MY_TArrayAsVector(MY_TArrayAsVector const& other) : MY_TArrayAsVector(-1, other.growStep) {
    *this = other;
  }
  ~MY_TArrayAsVector() { delete[] elems; }

  T& operator[](int i) { return elems[i]; }
  T const& operator[](int i) const { return elems[i]; }

  // Appends a copy; a full block first grows by growStep (at least 1) elements.
  // Returns the new number of elements.
  int Add(T const& elem) {
    if (numElems >= capacity) {
      T copy = elem;  // elem may live in the block being replaced
      Resize(containers_detail::grownCapacity(numElems, growStep));
      elems[numElems++] = copy;
      return numElems;
    }
    elems[numElems++] = elem;
    return numElems;
  }

  // Grows the block to n elements, copying the old ones bytewise (plain data;
  // other element types are assigned one by one). Returns n.
  int Resize(int const& n) {
    if constexpr (!std::is_trivially_copyable<T>::value) {
      return ResizeCarefully(n);
    } else {
      return regrow(n, [this](T* block, int keep) {
        if (keep > 0) std::memcpy(static_cast<void*>(block), elems, sizeof(T) * keep);
      });
    }
  }

  // Room for needed elements in all, growing to wanted (at least needed, at
  // most what an int can count) when the block is too small; needed past
  // what an int can count is an allocation that cannot be made.
  void reserveRoom(long long needed, long long wanted) {
    if (needed > INT_MAX) throw std::bad_alloc();
    if (needed <= capacity) return;
    if (wanted < needed) wanted = needed;
    Resize(static_cast<int>(wanted > INT_MAX ? INT_MAX : wanted));
  }

  // Grows the block to n elements, assigning the old ones one by one. Returns n.
  int ResizeCarefully(int const& n) {
    return regrow(n, [this](T* block, int keep) {
      for (int i = 0; i < keep; ++i) block[i] = elems[i];
    });
  }

  // Discards every element and makes a fresh block of n default elements.
  void Reallocate(int const& n) {
    regrow(n, [](T*, int) {});
    numElems = reserved = 0;
  }

  // Copies the whole block of another array (all capacity elements) and its
  // counts; the own block is kept when the capacities match.
  void directMemCopy(MY_TArrayAsVector const& other) {
    if (this == &other) return;
    if (capacity != other.capacity) adoptBlock(new T[other.capacity], other.capacity);
    if constexpr (std::is_trivially_copyable<T>::value) {
      if (capacity > 0) std::memcpy(static_cast<void*>(elems), other.elems, sizeof(T) * capacity);
    } else {
      for (int i = 0; i < capacity; ++i) elems[i] = other.elems[i];
    }
    numElems = other.numElems;
    reserved = other.reserved;
    growStep = other.growStep;
  }

  // Deep copy of the used elements.
  MY_TArrayAsVector& operator=(MY_TArrayAsVector const& other) {
    if (this == &other) return *this;
    adoptBlock(containers_detail::copyOfUsed(other.elems, other.numElems, other.capacity),
               other.capacity);
    numElems = other.numElems;
    reserved = other.reserved;
    growStep = other.growStep;
    return *this;
  }

  // Sorts base[1] .. base[n] (a one-based view) ascending.
  void heapsort(int n, T* base) {
    if (n < 2) return;
    int l = n / 2 + 1;
    int ir = n;
    T x;
    for (;;) {
      if (l > 1) {
        x = base[--l];
      } else {
        x = base[ir];
        base[ir] = base[1];
        if (--ir == 1) {
          base[1] = x;
          return;
        }
      }
      int i = l;
      int j = 2 * l;
      while (j <= ir) {
        if (j < ir && base[j] < base[j + 1]) ++j;
        if (!(x < base[j])) break;
        base[i] = base[j];
        i = j;
        j *= 2;
      }
      base[i] = x;
    }
  }

  // Sorts the used elements ascending: the first smallest goes to position 0,
  // then positions 1 .. numElems - 1 are heap-sorted.
  void quickSortArray() {
    if (numElems < 2) return;
    int minPos = 0;
    for (int i = 1; i < numElems; ++i)
      if (elems[i] < elems[minPos]) minPos = i;
    if (minPos != 0) std::swap(elems[0], elems[minPos]);
    heapsort(numElems - 1, elems);
  }

private:
  // Replaces the block by a new one of size slots.
  void adoptBlock(T* block, int size) {
    delete[] elems;
    elems = block;
    capacity = size;
  }

  // Makes a block of n slots (none for n < 0), lets copyOld(block, keep) move
  // the first keep old elements over, and adopts it. Returns n.
  template <class CopyOld>
  int regrow(int const& n, CopyOld copyOld) {
    int size = n < 0 ? 0 : n;
    T* block = new T[size];
    copyOld(block, capacity < size ? capacity : size);
    adoptBlock(block, size);
    if (numElems > capacity) numElems = capacity;
    return n;
  }
};

// ------------------------------------------------------------------ sorted values

template <class T>
class MY_TSArrayAsVector {
public:
  T* elems;
  int capacity;
  int numElems;
  int initialCapacity;
  int reserved;
  int growStep;
  T outOfRangeElem;

  MY_TSArrayAsVector(int const& upper, int const& growStep_)
      : elems(nullptr), capacity(containers_detail::capacityFor(upper)), numElems(0),
        initialCapacity(capacity), reserved(0), growStep(growStep_), outOfRangeElem() {
    elems = new T[capacity];
  }
  MY_TSArrayAsVector() : MY_TSArrayAsVector(10, 10) {}
  MY_TSArrayAsVector(MY_TSArrayAsVector const& other) : MY_TSArrayAsVector(-1, other.growStep) {
    *this = other;
  }
  ~MY_TSArrayAsVector() { delete[] elems; }

  MY_TSArrayAsVector& operator=(MY_TSArrayAsVector const& other) {
    if (this == &other) return *this;
    T* block = containers_detail::copyOfUsed(other.elems, other.numElems, other.capacity);
    delete[] elems;
    elems = block;
    capacity = other.capacity;
    numElems = other.numElems;
    reserved = other.reserved;
    growStep = other.growStep;
    return *this;
  }

  // Read access: element i, or the default spare element for any index
  // outside 0 .. numElems - 1. Owners write through elems directly.
  T const& operator[](int i) const {
    if (i < 0 || i >= numElems) return outOfRangeElem;
    return elems[i];
  }

  // Inserts a copy after every element whose key is not greater, so equal
  // keys stay in insertion order. Returns the index of the new element.
  int Add(T const& elem) {
    T copy = elem;
    if (numElems >= capacity) {
      int n = containers_detail::grownCapacity(numElems, growStep);
      T* block = containers_detail::copyOfUsed(elems, numElems, n);
      delete[] elems;
      elems = block;
      capacity = n;
    }
    int k = numElems++;
    elems[k] = copy;
    while (k > 0 && elems[k] < elems[k - 1]) {
      std::swap(elems[k], elems[k - 1]);
      --k;
    }
    return k;
  }
};

// ------------------------------------------------------------------ pointers

template <class T>
class MY_TIArrayAsVector {
public:
  T** elems;
  int capacity;
  int numElems;
  int initialCapacity;
  int reserved;
  int growStep;
  T* outOfRangeSlot;
  int ownsElems;  // non-zero: FlushFast, deleteArray and the destructor delete the objects

  // A table of `capacity` null slots.
  explicit MY_TIArrayAsVector(int const& capacity_ = 10, int const& growStep_ = 10,
                              int const& ownsElems_ = 0)
      : elems(nullptr), capacity(capacity_ < 0 ? 0 : capacity_), numElems(0),
        initialCapacity(capacity), reserved(0), growStep(growStep_),
        outOfRangeSlot(nullptr), ownsElems(ownsElems_) {
    elems = newTable(capacity);
  }
  MY_TIArrayAsVector(MY_TIArrayAsVector const& other)
      : MY_TIArrayAsVector(0, other.growStep, other.ownsElems) {
    *this = other;
  }
  ~MY_TIArrayAsVector() { deleteArray(); }

  // Slot i. Within the capacity, a slot at or beyond numElems makes the
  // array use slots up to i; beyond the capacity the table grows, so every
  // index hands out a slot of its own. A negative index gets a null spare.
  T*& operator[](int i) {
    if (i < 0) {
      outOfRangeSlot = nullptr;
      return outOfRangeSlot;
    }
    if (i < numElems) return elems[i];
    if (i >= capacity) {
      int n = containers_detail::grownCapacity(numElems, growStep);
      growTo(n > i ? n : i + 1);
    }
    numElems = i + 1;
    return elems[i];
  }
  T* operator[](int i) const { return (i >= 0 && i < numElems) ? elems[i] : nullptr; }

  // Stores a pointer at the end. Returns the new number of slots in use.
  int Add(T* elem) {
    if (numElems >= capacity) growTo(containers_detail::grownCapacity(numElems, growStep));
    elems[numElems++] = elem;
    return numElems;
  }

  // Empties the list and keeps the table (owned objects are deleted).
  void FlushFast() {
    deleteOwned();
    numElems = reserved = 0;
  }

  // Deletes owned objects and frees the table.
  void deleteArray() {
    deleteOwned();
    delete[] elems;
    elems = nullptr;
    capacity = numElems = reserved = 0;
  }

  void Reallocate(int const& n) {
    deleteArray();
    capacity = n < 0 ? 0 : n;
    elems = newTable(capacity);
  }

  // Deep copy: each used object is copied into a new one, a null slot stays null.
  MY_TIArrayAsVector& operator=(MY_TIArrayAsVector const& other) {
    if (this == &other) return *this;
    deleteArray();
    T** table = newTable(other.capacity);
    for (int i = 0; i < other.numElems; ++i)
      if (other.elems[i]) table[i] = new T(*other.elems[i]);
    elems = table;
    capacity = other.capacity;
    numElems = other.numElems;
    reserved = other.reserved;
    growStep = other.growStep;
    outOfRangeSlot = other.outOfRangeSlot;
    return *this;
  }

private:
  static T** newTable(int n) {
    T** table = new T*[n];
    for (int i = 0; i < n; ++i) table[i] = nullptr;
    return table;
  }
  void growTo(int n) {
    T** table = newTable(n);
    for (int i = 0; i < capacity; ++i) table[i] = elems[i];
    delete[] elems;
    elems = table;
    capacity = n;
  }
  void deleteOwned() {
    if (!ownsElems || !elems) return;
    for (int i = 0; i < numElems; ++i) {
      delete elems[i];
      elems[i] = nullptr;
    }
  }
};
