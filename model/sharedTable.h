#pragma once
// A table that copies of the settings share until one of them changes it: the
// value rows of a definition file, the parameter names and the template text
// are read once and then only read by every run and every batch copy, so a
// copy of the settings takes them in constant time. Reads see the shared
// value; a change first takes a private copy when other objects hold it, so
// for its users a copy behaves as a deep one.
//
// Copies may be made on several threads at once (the batches copy the run's
// settings); a change is made only by the object's owner while no other
// thread copies that object.
#include <memory>
#include <utility>

template <class T>
class TSharedTable {
 public:
  TSharedTable() : value_(std::make_shared<T>()) {}
  template <class... Args>
  explicit TSharedTable(std::in_place_t, Args&&... args)
      : value_(std::make_shared<T>(std::forward<Args>(args)...)) {}

  const T& operator*() const { return *value_; }
  const T* operator->() const { return value_.get(); }

  // The value to change, made private to this object first when shared.
  T& edit() {
    if (value_.use_count() > 1) value_ = std::make_shared<T>(*value_);
    return *value_;
  }
  // Whether the two hold the same value, not merely equal ones.
  bool sharedWith(const TSharedTable& other) const { return value_ == other.value_; }

 private:
  std::shared_ptr<T> value_;  // never null; changed only when not shared
};
