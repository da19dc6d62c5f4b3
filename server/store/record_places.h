#pragma once
// Where each record still queued stands, by its id: its place in the queue file
// and, once it went to the back of the queue, the place it stands before since.
// Ids are given in a row, so they index a deque that starts at the oldest id still
// queued: taking a record in costs no allocation of its own, which matters with
// thousands of hand-ins a second.
#include <cstdint>
#include <deque>
#include <unordered_map>
#include <utility>
#include <vector>

#include "server/store/packet_queue.h"

class RecordPlaces {
 public:
  // A record at `place` in the file, at the back of the queue; its id.
  RecordId Add(std::uint64_t place);
  // Whether the id names a record still queued, and its place then.
  bool Find(RecordId id, std::uint64_t& place) const;
  // The record left the queue; false when it was not queued.
  bool Remove(RecordId id, std::uint64_t& place);
  // The record goes to the back of the queue, just before the record that will
  // stand at `before`; false when it is not queued.
  bool Move(RecordId id, std::uint64_t before, std::uint64_t& place);

  std::size_t size() const { return count_; }
  bool AnyMoved() const { return !moved_.empty(); }
  // Every queued record's id, front of the queue first: by place, a moved record
  // just before the one it stands before, after those moved there earlier.
  std::vector<RecordId> Order() const;
  // The moved records' places and where they stand, in the order they moved.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> Moves() const;
  // The file was written anew in `order` (Order()'s): each record's place is its
  // index there, and none is moved any more.
  void Renumber(const std::vector<RecordId>& order);

 private:
  static constexpr std::uint64_t kGone = ~std::uint64_t{0};
  struct Moved {
    std::uint64_t before;
    std::uint64_t order;
  };

  RecordId first_ = 0;               // the id of places_.front()
  std::deque<std::uint64_t> places_;  // by id from first_; kGone once left
  std::unordered_map<RecordId, Moved> moved_;
  std::size_t count_ = 0;
  std::uint64_t moves_ = 0;
};
