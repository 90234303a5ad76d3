#pragma once
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeindex>
#include <utility>
#include <vector>

#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"
#include "platform/runtime/ActionTable.h"

namespace platform {

class ClassRef;
// A base chain longer than this is a registration loop, not a hierarchy.
inline constexpr int MaxClassDepth = 64;
using ClassPtr = std::shared_ptr<ClassRef>;
template <class T>
class ClassBuilder;

namespace detail {
// What a class function of signature R(A...) can be made from: a callable with or without the
// receiving class first (and not the ClassFunction itself, which copies).
template <class F, class Self, class R, class... A>
concept ClassFunctionBody =
    !std::is_same_v<F, Self> &&
    (std::is_invocable_r_v<R, F&, const ClassRef&, A...> || std::is_invocable_r_v<R, F&, A...>);
}  // namespace detail

// One class function of signature R(A...) in a kind's table of class functions. It is called with
// the receiving class first, so an inherited function can tell which class it was asked of; one
// written without that parameter ignores it. Empty until registered.
template <class Sig>
class ClassFunction;
template <class R, class... A>
class ClassFunction<R(A...)> {
 public:
  using Result = R;
  ClassFunction() = default;
  // Not explicit: a registration reads as an assignment.
  template <detail::ClassFunctionBody<ClassFunction, R, A...> F>
  ClassFunction(F function) {
    if constexpr (std::is_invocable_r_v<R, F&, const ClassRef&, A...>)
      function_ = std::move(function);
    else
      function_ = [f = std::move(function)](const ClassRef&, A... a) mutable -> R {
        return f(std::forward<A>(a)...);
      };
  }
  explicit operator bool() const { return static_cast<bool>(function_); }
  R operator()(const ClassRef& receiver, A... args) const {
    return function_(receiver, std::forward<A>(args)...);
  }

 private:
  std::function<R(const ClassRef&, A...)> function_;
};

// A class as a value: its name, its base class, a factory for new instances, the class-level
// functions it offers in typed tables (inherited by subclasses, which may replace them) and the
// actions its instances accept by name. Classes are registered once, with KAVRO_CLASS next to their
// definition, and looked up by name (classFromString) or by an object (classOf). A ClassRef is an
// Object, so it rides in a Value (a record's cell class, a section's header class).
//
// Class functions are members of a table, so a misspelt name or a wrong signature does not compile.
// The name stays a string only where the class itself is named at run time (classFromString); once
// it is found, its functions are reached through its tables. Class functions receive the receiving
// class first, so an inherited function can tell which class it was asked of ("a new cell of the
// receiving class").
//
// Registration happens during static initialisation; afterwards everything here is read-only and
// safe from any thread.
class ClassRef : public Object {
 public:
  const std::string& name() const { return name_; }
  // The registered class of the base type; nullptr for a root class or an unregistered base.
  ClassPtr superclass() const;
  // This class or one derived from it.
  bool isSubclassOfClass(const ClassRef& other) const;
  // Whether the object is of this class or a subclass (by the C++ type, so also for subclasses
  // that were never registered). False for classes that are no Object.
  bool isInstance(const Object& object) const { return isInstance_ && isInstance_(object); }

  // A new instance from the factory: T::create() when the class has one without arguments, else
  // its default constructor; nullptr for abstract classes and classes without either.
  bool canCreateInstance() const { return static_cast<bool>(factory_); }
  ObjectPtr createInstance() const { return factory_ ? factory_() : nullptr; }
  template <class T>
  std::shared_ptr<T> createInstance() const {
    return std::dynamic_pointer_cast<T>(createInstance());
  }

  // Class functions of a kind, from its table (a struct of ClassFunction members, one struct per
  // kind of class: row classes, page classes, ...). The caller names the member, so the compiler
  // checks the name and the signature. A class sets the members it offers at registration; one it
  // leaves empty is inherited from the nearest base that sets it. nullptr when none does.
  template <class Table, class Sig>
  const ClassFunction<Sig>* findClassFunction(ClassFunction<Sig> Table::*member) const;
  template <class Table, class Sig>
  bool respondsToClassFunction(ClassFunction<Sig> Table::*member) const {
    return findClassFunction(member) != nullptr;
  }
  // Calls it with this class as the receiver: an empty optional (false for a void function) when
  // neither the class nor a base offers it.
  template <class Table, class Sig, class... Args>
  auto callClassFunction(ClassFunction<Sig> Table::*member, Args&&... args) const
      requires(std::is_invocable_v<const ClassFunction<Sig>&, const ClassRef&, Args...>) {
    using R = typename ClassFunction<Sig>::Result;
    static_assert(!std::is_reference_v<R>, "class functions return values");
    const ClassFunction<Sig>* fn = findClassFunction(member);
    if constexpr (std::is_void_v<R>) {
      if (!fn) return false;
      (*fn)(*this, std::forward<Args>(args)...);
      return true;
    } else {
      if (!fn) return std::optional<R>();
      return std::optional<R>((*fn)(*this, std::forward<Args>(args)...));
    }
  }

  // Class actions: by name with value arguments (actions named in URLs), inherited.
  bool respondsToClassAction(std::string_view name) const;
  ActionResult performClassAction(std::string_view name, const Arguments& arguments) const;

  // Instance actions, inherited: what objects of this class accept by name.
  bool instancesRespondToAction(std::string_view name) const;
  // WrongReceiver when the receiver is not an instance of this class.
  ActionResult performAction(Object& receiver, std::string_view name, const Arguments& arguments) const;

  std::string description() const override { return name_; }

  ClassRef(std::string name, std::type_index type, std::optional<std::type_index> baseType)
      : name_(std::move(name)), type_(type), baseType_(baseType) {}
  std::type_index type() const { return type_; }

 private:
  template <class>
  friend class ClassBuilder;
  template <class T, class Base>
  friend ClassBuilder<T> defineClass(std::string name);

  // This class's own table of the kind, nullptr when it sets nothing of it.
  const void* ownTable(std::type_index kind) const;
  template <class Table>
  Table& tableToFill();

  std::string name_;
  std::type_index type_;
  std::optional<std::type_index> baseType_;
  std::function<ObjectPtr()> factory_;
  std::function<bool(const Object&)> isInstance_;
  std::vector<std::pair<std::type_index, std::shared_ptr<void>>> tables_;
  ActionTable<const ClassRef&> classActions_;
  ActionTable<Object&> actions_;
};

// Fills the tables of class T at registration. Made by defineClass (through KAVRO_CLASS); every
// call answers the builder, so they chain, and the chain converts to the class.
template <class T>
class ClassBuilder {
 public:
  explicit ClassBuilder(ClassPtr cls) : class_(std::move(cls)) {}

  // Sets a member of the class's table of a kind. The function may take the receiving class first
  // or not (see ClassFunction).
  template <class Table, class Sig, class F>
  ClassBuilder& classFunction(ClassFunction<Sig> Table::*member, F function) {
    class_->template tableToFill<Table>().*member = ClassFunction<Sig>(std::move(function));
    return *this;
  }
  // A class action: by name, with value arguments.
  ClassBuilder& classAction(std::string name, std::size_t argumentCount,
                            std::function<Value(const ClassRef&, const Arguments&)> body) {
    class_->classActions_.add(std::move(name), argumentCount, std::move(body));
    return *this;
  }
  // An action on instances (T or derived from it).
  ClassBuilder& action(std::string name, std::size_t argumentCount,
                       std::function<Value(T&, const Arguments&)> body);
  // Replaces the factory found at registration.
  ClassBuilder& factory(std::function<ObjectPtr()> make) {
    class_->factory_ = std::move(make);
    return *this;
  }

  const ClassPtr& classRef() const { return class_; }
  operator ClassPtr() const { return class_; }

 private:
  ClassPtr class_;
};

// Registers a class, or finds it when the type is registered already (then created is false).
// A name taken by another type throws std::logic_error.
ClassPtr registerClass(std::string name, std::type_index type, std::optional<std::type_index> baseType,
                       bool& created);

// Registers T under name with its base class (Object or void for a root class): the instance test
// and the factory come from the type.
template <class T, class Base>
ClassBuilder<T> defineClass(std::string name) {
  constexpr bool root = std::is_void_v<Base> || std::is_same_v<Base, Object>;
  static_assert(root || !std::is_base_of_v<Object, T> || std::is_base_of_v<Base, T>,
                "a registered class must derive from the base it names");
  std::optional<std::type_index> base;
  if constexpr (!root) base = std::type_index(typeid(Base));
  bool created = false;
  ClassPtr cls = registerClass(std::move(name), std::type_index(typeid(T)), base, created);
  if (created) {
    if constexpr (std::is_base_of_v<Object, T>) {
      cls->isInstance_ = [](const Object& o) { return dynamic_cast<const T*>(&o) != nullptr; };
      // A class made by a templated factory (screens: create<T>()) must come out of it whole.
      if constexpr (!std::is_abstract_v<T> && requires {
                      { T::template create<T>() } -> std::convertible_to<std::shared_ptr<T>>;
                    }) {
        cls->factory_ = []() -> ObjectPtr { return T::template create<T>(); };
      } else if constexpr (requires {
                             { T::create() } -> std::convertible_to<std::shared_ptr<T>>;
                           }) {
        cls->factory_ = []() -> ObjectPtr { return T::create(); };
      } else if constexpr (std::is_default_constructible_v<T> && !std::is_abstract_v<T>) {
        cls->factory_ = []() -> ObjectPtr { return std::make_shared<T>(); };
      }
    }
  }
  return ClassBuilder<T>(std::move(cls));
}

// Registers Type (an unqualified class name, which becomes the class's name) with its base class,
// once per program. Put it in the header beside the class, at namespace scope: a static library
// leaves out object files that nothing refers to, and a registration in one would never run.
// Chain the class's functions and actions after it:
//   KAVRO_CLASS(ErrorTableCell, DataTableCell)
//       .classFunction(&CellClassFunctions::heightForCell, &ErrorTableCell::heightForCell);
#define KAVRO_CLASS(Type, Base) \
  inline const ::platform::ClassPtr kavroClass_##Type = ::platform::defineClass<Type, Base>(#Type)

// Look-ups, after static initialisation. nullptr when nothing is registered there.
ClassPtr classFromString(std::string_view name);
ClassPtr classForType(std::type_index type);
template <class T>
ClassPtr classFor() {
  return classForType(std::type_index(typeid(T)));
}
// The class of the object's dynamic type; for an unregistered type, its nearest registered base.
ClassPtr classOf(const Object& object);
bool isKindOfClass(const Object& object, const ClassRef& cls);
bool isKindOfClass(const Object& object, std::string_view className);

// Instance actions of the object's class (classOf).
bool respondsToAction(const Object& receiver, std::string_view name);
ActionResult performAction(Object& receiver, std::string_view name, const Arguments& arguments);

// ---- templates ----

template <class Table, class Sig>
const ClassFunction<Sig>* ClassRef::findClassFunction(ClassFunction<Sig> Table::*member) const {
  const ClassRef* c = this;
  ClassPtr hold;  // keeps the base alive while it is searched
  for (int depth = 0; c && depth < MaxClassDepth; ++depth) {
    if (const auto* table = static_cast<const Table*>(c->ownTable(std::type_index(typeid(Table))));
        table && table->*member)
      return &(table->*member);
    hold = c->superclass();
    c = hold.get();
  }
  return nullptr;
}

template <class Table>
Table& ClassRef::tableToFill() {
  for (auto& [kind, table] : tables_)
    if (kind == std::type_index(typeid(Table))) return *static_cast<Table*>(table.get());
  auto table = std::make_shared<Table>();
  tables_.emplace_back(std::type_index(typeid(Table)), table);
  return *table;
}

template <class T>
ClassBuilder<T>& ClassBuilder<T>::action(std::string name, std::size_t argumentCount,
                                         std::function<Value(T&, const Arguments&)> body) {
  class_->actions_.add(std::move(name), argumentCount,
                       [body = std::move(body)](Object& receiver, const Arguments& arguments) -> Value {
                         // Reached only for instances of the class, which are T's.
                         return body(dynamic_cast<T&>(receiver), arguments);
                       });
  return *this;
}

}  // namespace platform
