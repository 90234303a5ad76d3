#pragma once
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/Value.h"

namespace platform {

using Arguments = std::vector<Value>;

enum class ActionStatus {
  Performed,
  NotFound,            // no action of that name in the table
  WrongArgumentCount,  // the name is known, the number of arguments is not its own
  WrongReceiver        // an instance action asked of an object of another class
};

// What asking for an action by name gave: whether it ran and, if so, its result (null for an
// action without one).
struct ActionResult {
  ActionStatus status = ActionStatus::NotFound;
  Value value;

  bool performed() const { return status == ActionStatus::Performed; }
  explicit operator bool() const { return performed(); }
};

// Methods that may be invoked by name (actions named in URLs, selectors handed to the login gate):
// only the names in the table run, each with exactly its own number of arguments; anything else is
// refused without a call. Context is what every body receives before the arguments (nothing, the
// receiving object, the receiving class). Filled once, then read; reading is safe from any thread.
template <class... Context>
class ActionTable {
 public:
  using Body = std::function<Value(Context..., const Arguments& arguments)>;

  // Adds or replaces the action.
  ActionTable& add(std::string name, std::size_t argumentCount, Body body) {
    for (Entry& e : entries_) {
      if (e.name == name) {
        e.argumentCount = argumentCount;
        e.body = std::move(body);
        return *this;
      }
    }
    entries_.push_back(Entry{std::move(name), argumentCount, std::move(body)});
    return *this;
  }

  bool contains(std::string_view name) const { return find(name) != nullptr; }
  std::optional<std::size_t> argumentCount(std::string_view name) const {
    const Entry* e = find(name);
    return e ? std::optional<std::size_t>(e->argumentCount) : std::nullopt;
  }
  // In the order added.
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const Entry& e : entries_) out.push_back(e.name);
    return out;
  }
  bool empty() const { return entries_.empty(); }

  // Refuses (NotFound, WrongArgumentCount) without calling anything.
  ActionResult perform(std::string_view name, Context... context, const Arguments& arguments) const {
    const Entry* e = find(name);
    if (!e || !e->body) return {ActionStatus::NotFound, {}};
    if (arguments.size() != e->argumentCount) return {ActionStatus::WrongArgumentCount, {}};
    return {ActionStatus::Performed, e->body(std::forward<Context>(context)..., arguments)};
  }

 private:
  struct Entry {
    std::string name;
    std::size_t argumentCount = 0;
    Body body;
  };
  const Entry* find(std::string_view name) const {
    for (const Entry& e : entries_)
      if (e.name == name) return &e;
    return nullptr;
  }

  std::vector<Entry> entries_;
};

}  // namespace platform
