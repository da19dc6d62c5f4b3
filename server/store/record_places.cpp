#include "server/store/record_places.h"

#include <algorithm>
#include <tuple>

RecordId RecordPlaces::Add(std::uint64_t place) {
  places_.push_back(place);
  ++count_;
  return first_ + places_.size() - 1;
}

bool RecordPlaces::Find(RecordId id, std::uint64_t& place) const {
  if (id < first_ || id - first_ >= places_.size() || places_[id - first_] == kGone) return false;
  place = places_[id - first_];
  return true;
}

bool RecordPlaces::Remove(RecordId id, std::uint64_t& place) {
  if (!Find(id, place)) return false;
  places_[id - first_] = kGone;
  if (!moved_.empty()) moved_.erase(id);
  --count_;
  while (!places_.empty() && places_.front() == kGone) {
    places_.pop_front();
    ++first_;
  }
  return true;
}

bool RecordPlaces::Move(RecordId id, std::uint64_t before, std::uint64_t& place) {
  if (!Find(id, place)) return false;
  moved_[id] = {before, moves_++};
  return true;
}

std::vector<RecordId> RecordPlaces::Order() const {
  std::vector<std::pair<std::tuple<std::uint64_t, int, std::uint64_t>, RecordId>> keyed;
  keyed.reserve(count_);
  for (std::size_t i = 0; i < places_.size(); ++i) {
    if (places_[i] == kGone) continue;
    const RecordId id = first_ + i;
    const auto m = moved_.find(id);
    keyed.emplace_back(m == moved_.end() ? std::tuple(places_[i], 1, std::uint64_t{0})
                                          : std::tuple(m->second.before, 0, m->second.order),
                       id);
  }
  std::sort(keyed.begin(), keyed.end());
  std::vector<RecordId> order;
  order.reserve(keyed.size());
  for (const auto& k : keyed) order.push_back(k.second);
  return order;
}

std::vector<std::pair<std::uint64_t, std::uint64_t>> RecordPlaces::Moves() const {
  std::vector<std::tuple<std::uint64_t, std::uint64_t, std::uint64_t>> byOrder;
  for (const auto& [id, m] : moved_) byOrder.emplace_back(m.order, places_[id - first_], m.before);
  std::sort(byOrder.begin(), byOrder.end());
  std::vector<std::pair<std::uint64_t, std::uint64_t>> out;
  for (const auto& [order, place, before] : byOrder) out.emplace_back(place, before);
  return out;
}

void RecordPlaces::Renumber(const std::vector<RecordId>& order) {
  std::uint64_t place = 0;
  for (const RecordId id : order) places_[id - first_] = place++;
  moved_.clear();
  moves_ = 0;
}
