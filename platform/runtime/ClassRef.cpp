#include "platform/runtime/ClassRef.h"

#include <map>
#include <stdexcept>
#include <unordered_map>

#include "platform/foundation/Mutex.h"

namespace platform {

namespace {

constexpr int MaxDepth = MaxClassDepth;

struct Registry {
  platform::Mutex mutex;
  std::map<std::string, ClassPtr, std::less<>> byName GUARDED_BY(mutex);
  std::unordered_map<std::type_index, ClassPtr> byType GUARDED_BY(mutex);
  // Dynamic types met by classOf, with the class found for them (nullptr: none).
  std::unordered_map<std::type_index, ClassPtr> dynamicTypes GUARDED_BY(mutex);
};

Registry& registry() {
  static Registry r;
  return r;
}

int depthOf(const ClassRef& cls) {
  int depth = 0;
  for (ClassPtr c = cls.superclass(); c && depth < MaxDepth; c = c->superclass()) ++depth;
  return depth;
}

}  // namespace

ClassPtr registerClass(std::string name, std::type_index type, std::optional<std::type_index> baseType,
                       bool& created) {
  Registry& r = registry();
  platform::MutexLock lock(r.mutex);
  created = false;
  if (auto it = r.byType.find(type); it != r.byType.end()) {
    if (it->second->name() != name)
      throw std::logic_error("class registered twice under different names: " + it->second->name() + ", " +
                             name);
    return it->second;
  }
  if (name.empty()) throw std::logic_error("class registered without a name");
  if (r.byName.count(name)) throw std::logic_error("class name registered twice: " + name);
  auto cls = std::make_shared<ClassRef>(name, type, baseType);
  r.byName.emplace(std::move(name), cls);
  r.byType.emplace(type, cls);
  r.dynamicTypes.clear();
  created = true;
  return cls;
}

ClassPtr classFromString(std::string_view name) {
  Registry& r = registry();
  platform::MutexLock lock(r.mutex);
  auto it = r.byName.find(name);
  return it == r.byName.end() ? nullptr : it->second;
}

ClassPtr classForType(std::type_index type) {
  Registry& r = registry();
  platform::MutexLock lock(r.mutex);
  auto it = r.byType.find(type);
  return it == r.byType.end() ? nullptr : it->second;
}

ClassPtr classOf(const Object& object) {
  std::type_index type(typeid(object));
  std::vector<ClassPtr> all;
  {
    Registry& r = registry();
    platform::MutexLock lock(r.mutex);
    if (auto it = r.byType.find(type); it != r.byType.end()) return it->second;
    if (auto it = r.dynamicTypes.find(type); it != r.dynamicTypes.end()) return it->second;
    for (auto& [name, cls] : r.byName) all.push_back(cls);
  }
  // An unregistered type: the deepest registered class it belongs to.
  ClassPtr best;
  int bestDepth = -1;
  for (const ClassPtr& cls : all) {
    if (!cls->isInstance(object)) continue;
    int depth = depthOf(*cls);
    if (depth > bestDepth) {
      best = cls;
      bestDepth = depth;
    }
  }
  Registry& r = registry();
  platform::MutexLock lock(r.mutex);
  r.dynamicTypes[type] = best;
  return best;
}

bool isKindOfClass(const Object& object, const ClassRef& cls) { return cls.isInstance(object); }

bool isKindOfClass(const Object& object, std::string_view className) {
  ClassPtr cls = classFromString(className);
  return cls && cls->isInstance(object);
}

bool respondsToAction(const Object& receiver, std::string_view name) {
  ClassPtr cls = classOf(receiver);
  return cls && cls->instancesRespondToAction(name);
}

ActionResult performAction(Object& receiver, std::string_view name, const Arguments& arguments) {
  ClassPtr cls = classOf(receiver);
  if (!cls) return {ActionStatus::NotFound, {}};
  return cls->performAction(receiver, name, arguments);
}

ClassPtr ClassRef::superclass() const {
  if (!baseType_) return nullptr;
  return classForType(*baseType_);
}

bool ClassRef::isSubclassOfClass(const ClassRef& other) const {
  if (this == &other) return true;
  int depth = 0;
  for (ClassPtr c = superclass(); c && depth < MaxDepth; c = c->superclass(), ++depth)
    if (c.get() == &other) return true;
  return false;
}

const void* ClassRef::ownTable(std::type_index kind) const {
  for (const auto& [k, table] : tables_)
    if (k == kind) return table.get();
  return nullptr;
}

bool ClassRef::respondsToClassAction(std::string_view name) const {
  const ClassRef* c = this;
  ClassPtr hold;
  for (int depth = 0; c && depth < MaxDepth; ++depth) {
    if (c->classActions_.contains(name)) return true;
    hold = c->superclass();
    c = hold.get();
  }
  return false;
}

ActionResult ClassRef::performClassAction(std::string_view name, const Arguments& arguments) const {
  const ClassRef* c = this;
  ClassPtr hold;
  for (int depth = 0; c && depth < MaxDepth; ++depth) {
    if (c->classActions_.contains(name)) return c->classActions_.perform(name, *this, arguments);
    hold = c->superclass();
    c = hold.get();
  }
  return {ActionStatus::NotFound, {}};
}

bool ClassRef::instancesRespondToAction(std::string_view name) const {
  const ClassRef* c = this;
  ClassPtr hold;
  for (int depth = 0; c && depth < MaxDepth; ++depth) {
    if (c->actions_.contains(name)) return true;
    hold = c->superclass();
    c = hold.get();
  }
  return false;
}

ActionResult ClassRef::performAction(Object& receiver, std::string_view name,
                                     const Arguments& arguments) const {
  const ClassRef* c = this;
  ClassPtr hold;
  for (int depth = 0; c && depth < MaxDepth; ++depth) {
    if (c->actions_.contains(name)) {
      if (!isInstance(receiver) || !c->isInstance(receiver)) return {ActionStatus::WrongReceiver, {}};
      return c->actions_.perform(name, receiver, arguments);
    }
    hold = c->superclass();
    c = hold.get();
  }
  return {ActionStatus::NotFound, {}};
}

}  // namespace platform
