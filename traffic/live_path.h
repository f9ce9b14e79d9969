#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <utility>

#include "traffic/path_point.h"

namespace crv {

// The timed points of a live aircraft, front first, with what every 10 ms
// step asks of them: whether there are any, when the front falls due and
// whether it stands still. These are kept beside the record so that a step
// which has nothing due reads no point at all (the points lie elsewhere on
// the heap, one allocation per aircraft).
//
// Every non-const member may change the points, so each marks the kept facts
// stale, and the next read of frontDueTick() or frontStationary() takes them
// from the points again. A reference from a non-const accessor must therefore
// not be written through after one of those two has been read; the motion
// keeps such references local to one call.
class LivePath {
 public:
  using Points = std::deque<PathPoint>;
  using value_type = PathPoint;
  using size_type = Points::size_type;
  using iterator = Points::iterator;
  using const_iterator = Points::const_iterator;

  LivePath() = default;
  // Implicit: a path is its points.
  LivePath(Points points) : points_(std::move(points)) {}
  LivePath(const LivePath& other) = default;
  LivePath& operator=(const LivePath& other) = default;
  // The emptied source keeps no facts of the points it gave away.
  LivePath(LivePath&& other) noexcept
      : points_(std::move(other.points_)),
        frontDueTick_(other.frontDueTick_),
        frontStationary_(other.frontStationary_),
        empty_(other.empty_),
        stale_(other.stale_) {
    other.changed();
  }
  LivePath& operator=(LivePath&& other) noexcept {
    points_ = std::move(other.points_);
    frontDueTick_ = other.frontDueTick_;
    frontStationary_ = other.frontStationary_;
    empty_ = other.empty_;
    stale_ = other.stale_;
    other.changed();
    return *this;
  }
  ~LivePath() = default;

  // The front's due tick and stationary flag; the path is not empty.
  std::int64_t frontDueTick() {
    settle();
    return frontDueTick_;
  }
  bool frontStationary() {
    settle();
    return frontStationary_;
  }

  bool empty() const { return stale_ ? points_.empty() : empty_; }
  size_type size() const { return points_.size(); }

  const PathPoint& front() const { return points_.front(); }
  const PathPoint& back() const { return points_.back(); }
  const PathPoint& operator[](size_type i) const { return points_[i]; }
  const_iterator begin() const { return points_.begin(); }
  const_iterator end() const { return points_.end(); }

  PathPoint& front() { return changed().front(); }
  PathPoint& back() { return changed().back(); }
  PathPoint& operator[](size_type i) { return changed()[i]; }
  iterator begin() { return changed().begin(); }
  iterator end() { return changed().end(); }

  void push_back(const PathPoint& p) { changed().push_back(p); }
  void push_front(const PathPoint& p) { changed().push_front(p); }
  void pop_front() { changed().pop_front(); }
  void pop_back() { changed().pop_back(); }
  iterator insert(const_iterator at, const PathPoint& p) { return changed().insert(at, p); }
  iterator erase(const_iterator at) { return changed().erase(at); }
  iterator erase(const_iterator first, const_iterator last) { return changed().erase(first, last); }
  void resize(size_type count) { changed().resize(count); }
  void clear() { changed().clear(); }

 private:
  Points& changed() {
    stale_ = true;
    return points_;
  }
  void settle() {
    if (stale_) {
      empty_ = points_.empty();
      if (!empty_) {
        frontDueTick_ = points_.front().dueTick;
        frontStationary_ = points_.front().stationary;
      }
      stale_ = false;
    }
  }

  Points points_;
  // The kept facts last: the record places the members a step reads after them.
  std::int64_t frontDueTick_ = 0;
  bool frontStationary_ = false;
  bool empty_ = true;
  bool stale_ = true;
};

}  // namespace crv
