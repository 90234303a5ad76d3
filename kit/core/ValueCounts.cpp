#include "kit/core/ValueCounts.h"

#include <algorithm>
#include <bit>
#include <functional>
#include <utility>

namespace kavro {

namespace {
// At most two thirds of the slots full: linear probing then reads two slots for a value held and
// five for one that is not, all but always in one cache line, while the table stays small enough
// for the processor's nearer caches (eight bytes a slot, twelve a value).
constexpr std::size_t MinSlots = 16;
std::size_t slotsFor(std::size_t values) { return std::max(MinSlots, std::bit_ceil(values + values / 2)); }
}  // namespace

std::uint32_t ValueCounts::tagOf(std::string_view value) {
  return static_cast<std::uint32_t>(std::hash<std::string_view>{}(value));
}

std::size_t ValueCounts::find(std::string_view value, std::uint32_t tag) const {
  std::size_t i = tag & mask_;
  while (slots_[i].entry != 0) {
    if (slots_[i].tag == tag && entries_[slots_[i].entry - 1].value == value) return i;
    i = (i + 1) & mask_;
  }
  return i;
}

void ValueCounts::reserve(std::size_t values) {
  if (slotsFor(values) > slots_.size()) rehash(slotsFor(values));
  // At least doubled, so that pages taken one after another still grow the room geometrically.
  if (values > entries_.capacity()) entries_.reserve(std::max(values, 2 * entries_.capacity()));
}

void ValueCounts::rehash(std::size_t slots) {
  slots_.assign(slots, Slot{0, 0});
  mask_ = slots - 1;
  for (std::size_t e = 0; e < entries_.size(); ++e) {
    std::size_t i = entries_[e].tag & mask_;
    while (slots_[i].entry != 0) i = (i + 1) & mask_;
    slots_[i] = Slot{entries_[e].tag, static_cast<std::uint32_t>(e + 1)};
  }
}

void ValueCounts::insert(std::string value, std::uint32_t tag, std::size_t slot) {
  if (slotsFor(entries_.size() + 1) > slots_.size()) {
    rehash(slotsFor(entries_.size() + 1));
    slot = find(value, tag);
  }
  entries_.push_back(Entry{std::move(value), 1, tag});
  slots_[slot] = Slot{tag, static_cast<std::uint32_t>(entries_.size())};
}

void ValueCounts::add(std::string value) {
  const std::uint32_t tag = tagOf(value);
  const std::size_t slot = slots_.empty() ? 0 : find(value, tag);
  if (!slots_.empty() && slots_[slot].entry != 0)
    ++entries_[slots_[slot].entry - 1].count;
  else
    insert(std::move(value), tag, slot);
}

bool ValueCounts::addNew(std::string value) {
  const std::uint32_t tag = tagOf(value);
  const std::size_t slot = slots_.empty() ? 0 : find(value, tag);
  if (!slots_.empty() && slots_[slot].entry != 0) return false;
  insert(std::move(value), tag, slot);
  return true;
}

bool ValueCounts::contains(std::string_view value) const {
  return !slots_.empty() && slots_[find(value, tagOf(value))].entry != 0;
}

bool ValueCounts::remove(std::string_view value) {
  if (slots_.empty()) return false;
  std::size_t hole = find(value, tagOf(value));
  const std::uint32_t entry = slots_[hole].entry;
  if (entry == 0) return false;
  if (--entries_[entry - 1].count > 0) return true;
  // The last entry takes the freed place in the list, and its slot follows it.
  const std::uint32_t last = static_cast<std::uint32_t>(entries_.size());
  if (entry != last) {
    std::size_t i = entries_[last - 1].tag & mask_;
    while (slots_[i].entry != last) i = (i + 1) & mask_;
    slots_[i].entry = entry;
    entries_[entry - 1] = std::move(entries_[last - 1]);
  }
  entries_.pop_back();
  // Slots after the hole that could sit nearer their home move back into it, so that no probe
  // stops short at the hole.
  for (std::size_t next = (hole + 1) & mask_; slots_[next].entry != 0; next = (next + 1) & mask_) {
    const std::size_t home = slots_[next].tag & mask_;
    // Whether home lies cyclically outside (hole, next]: then the slot may move back to the hole.
    const bool movable = hole <= next ? (home <= hole || home > next) : (home <= hole && home > next);
    if (!movable) continue;
    slots_[hole] = slots_[next];
    hole = next;
  }
  slots_[hole] = Slot{0, 0};
  return true;
}

void ValueCounts::clear() {
  entries_.clear();
  slots_.clear();
  mask_ = 0;
}

}  // namespace kavro
