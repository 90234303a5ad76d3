#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/runtime/ClassRef.h"

namespace rt {

using platform::ActionStatus;
using platform::Arguments;
using platform::ClassRef;
using platform::Value;

// The class functions of row classes, as a list would call them.
struct RowFunctions {
  platform::ClassFunction<double(int)> heightForCell;
  platform::ClassFunction<std::string()> getTitle;
  platform::ClassFunction<void(int&)> countCall;
};

class Row : public platform::Object {
 public:
  std::int64_t selected = -1;
};
KAVRO_CLASS(Row, platform::Object)
    .classFunction(&RowFunctions::heightForCell, [](int row) { return 44.0 + row; })
    .classFunction(&RowFunctions::getTitle, [](const ClassRef& self) { return "title of " + self.name(); })
    .action("select", 1, [](Row& r, const Arguments& a) {
      r.selected = a[0].intValue();
      return Value(true);
    });

class ErrorRow : public Row {};
KAVRO_CLASS(ErrorRow, Row)
    .classFunction(&RowFunctions::heightForCell, [](int) { return 88.0; })
    .classFunction(&RowFunctions::countCall, [](int& calls) { ++calls; });

// A call is checked when it is compiled: arguments that do not fit are no call at all.
template <class... Args>
concept HeightCall = requires(const ClassRef& cls, Args... args) {
  cls.callClassFunction(&RowFunctions::heightForCell, args...);
};
static_assert(HeightCall<int>);
static_assert(!HeightCall<std::string>);
static_assert(!HeightCall<int, int>);
// So is a registration: a function of another signature makes no class function.
static_assert(
    std::is_constructible_v<platform::ClassFunction<double(int)>, double (*)(const ClassRef&, int)>);
static_assert(!std::is_constructible_v<platform::ClassFunction<double(int)>, std::string (*)(int)>);

// Never registered: it belongs to its nearest registered base.
class CustomErrorRow : public ErrorRow {};

class AbstractPage : public platform::Object {
 public:
  virtual void show() = 0;
};
KAVRO_CLASS(AbstractPage, platform::Object);

class Screen : public platform::Object {
 public:
  static std::shared_ptr<Screen> create() {
    auto s = std::make_shared<Screen>();
    s->loaded = true;
    return s;
  }
  bool loaded = false;
};
KAVRO_CLASS(Screen, platform::Object);

// Screens share one templated factory in their base; a subclass made by name must run it too.
class BaseScreen : public platform::Object {
 public:
  template <class T = BaseScreen>
  static std::shared_ptr<T> create() {
    auto s = std::make_shared<T>();
    s->initialised = true;
    return s;
  }
  bool initialised = false;
};
class LoginScreen : public BaseScreen {};
KAVRO_CLASS(LoginScreen, platform::Object);

// Class methods only, as the URL actions are.
struct UrlActions {};
KAVRO_CLASS(UrlActions, void).classAction("show_co_info", 2, [](const ClassRef&, const Arguments& a) {
  return Value(a[0].stringValue() + "/" + a[1].stringValue());
});

TEST(ClassRef, LooksUpClassesByNameAndType) {
  auto row = platform::classFromString("Row");
  ASSERT_TRUE(row);
  EXPECT_EQ(row, platform::classFor<Row>());
  EXPECT_EQ(row->name(), "Row");
  EXPECT_EQ(platform::classFromString("ErrorRow")->superclass(), row);
  EXPECT_EQ(row->superclass(), nullptr);
  EXPECT_EQ(platform::classFromString("NoSuchRow"), nullptr);
  EXPECT_EQ(platform::classFromString("CustomErrorRow"), nullptr);

  // A class rides in a value, as a record's cell class does.
  Value v(row);
  EXPECT_EQ(v.as<ClassRef>(), row);
  EXPECT_EQ(v.description(), "Row");
}

TEST(ClassRef, CreatesInstancesThroughTheFactory) {
  auto made = platform::classFromString("ErrorRow")->createInstance();
  ASSERT_TRUE(made);
  EXPECT_EQ(typeid(*made), typeid(ErrorRow));
  // A static create() wins over the constructor (two-phase construction).
  auto screen = platform::classFor<Screen>()->createInstance<Screen>();
  ASSERT_TRUE(screen);
  EXPECT_TRUE(screen->loaded);
  auto login = platform::classFor<LoginScreen>()->createInstance<LoginScreen>();
  ASSERT_TRUE(login);
  EXPECT_TRUE(login->initialised);
  auto abstract = platform::classFor<AbstractPage>();
  EXPECT_FALSE(abstract->canCreateInstance());
  EXPECT_EQ(abstract->createInstance(), nullptr);
  EXPECT_FALSE(platform::classFor<UrlActions>()->canCreateInstance());
}

TEST(ClassRef, ClassFunctionsAreInheritedMemberByMember) {
  auto row = platform::classFor<Row>();
  auto errorRow = platform::classFor<ErrorRow>();
  EXPECT_EQ(row->callClassFunction(&RowFunctions::heightForCell, 2), 46.0);
  EXPECT_EQ(errorRow->callClassFunction(&RowFunctions::heightForCell, 2), 88.0);
  // Inherited from the base's table, and told which class it was asked of.
  EXPECT_EQ(errorRow->callClassFunction(&RowFunctions::getTitle), "title of ErrorRow");
  EXPECT_TRUE(errorRow->respondsToClassFunction(&RowFunctions::getTitle));

  // Offered by a subclass only: the base has none, and nothing is called.
  int calls = 0;
  EXPECT_FALSE(row->respondsToClassFunction(&RowFunctions::countCall));
  EXPECT_FALSE(row->callClassFunction(&RowFunctions::countCall, calls));
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(errorRow->callClassFunction(&RowFunctions::countCall, calls));
  EXPECT_EQ(calls, 1);
  // A class that sets nothing of the kind has no table of it.
  EXPECT_FALSE(platform::classFor<Screen>()->callClassFunction(&RowFunctions::heightForCell, 1));
}

TEST(ClassRef, KindTestsFollowTheBaseChain) {
  auto row = platform::classFor<Row>();
  auto errorRow = platform::classFor<ErrorRow>();
  ErrorRow e;
  Row r;
  CustomErrorRow custom;
  EXPECT_TRUE(platform::isKindOfClass(e, *row));
  EXPECT_FALSE(platform::isKindOfClass(r, *errorRow));
  EXPECT_TRUE(platform::isKindOfClass(custom, "ErrorRow"));
  EXPECT_FALSE(platform::isKindOfClass(r, "NoSuchRow"));
  EXPECT_TRUE(errorRow->isSubclassOfClass(*row));
  EXPECT_TRUE(row->isSubclassOfClass(*row));
  EXPECT_FALSE(row->isSubclassOfClass(*errorRow));
  EXPECT_EQ(platform::classOf(e), errorRow);
  EXPECT_EQ(platform::classOf(custom), errorRow);
  EXPECT_EQ(platform::classOf(Screen()), platform::classFor<Screen>());

  // A class registered later, between an unregistered type and the class it was found under,
  // is what the type is found under from then on.
  class MiddleRow : public ErrorRow {};
  class LateRow : public MiddleRow {};
  EXPECT_EQ(platform::classOf(LateRow()), errorRow);
  platform::defineClass<MiddleRow, ErrorRow>("MiddleRowRegisteredLate");
  ASSERT_TRUE(platform::classFor<MiddleRow>());
  EXPECT_EQ(platform::classOf(LateRow()), platform::classFor<MiddleRow>());
  EXPECT_EQ(platform::classOf(custom), errorRow);
}

TEST(ClassRef, InstanceActionsRunOnlyByTheirNameAndCount) {
  CustomErrorRow row;
  EXPECT_TRUE(platform::respondsToAction(row, "select"));
  auto done = platform::performAction(row, "select", {Value(7)});
  EXPECT_TRUE(done.performed());
  EXPECT_TRUE(done.value.boolValue());
  EXPECT_EQ(row.selected, 7);

  EXPECT_EQ(platform::performAction(row, "select", {}).status, ActionStatus::WrongArgumentCount);
  EXPECT_EQ(platform::performAction(row, "select", {Value(1), Value(2)}).status,
            ActionStatus::WrongArgumentCount);
  EXPECT_EQ(platform::performAction(row, "delete", {}).status, ActionStatus::NotFound);
  EXPECT_EQ(row.selected, 7);
  EXPECT_FALSE(platform::respondsToAction(row, "delete"));

  // Asking a class's action of an object of another class.
  Screen screen;
  EXPECT_EQ(platform::classFor<Row>()->performAction(screen, "select", {Value(1)}).status,
            ActionStatus::WrongReceiver);
  EXPECT_EQ(platform::performAction(screen, "select", {Value(1)}).status, ActionStatus::NotFound);
}

TEST(ClassRef, ClassActionsCheckTheirArguments) {
  auto actions = platform::classFromString("UrlActions");
  ASSERT_TRUE(actions);
  auto r = actions->performClassAction("show_co_info", {Value("co"), Value("12")});
  ASSERT_TRUE(r);
  EXPECT_EQ(r.value.stringValue(), "co/12");
  EXPECT_EQ(actions->performClassAction("show_co_info", {Value("co")}).status,
            ActionStatus::WrongArgumentCount);
  EXPECT_EQ(actions->performClassAction("format_disk", {}).status, ActionStatus::NotFound);
  EXPECT_TRUE(actions->respondsToClassAction("show_co_info"));
}

TEST(ClassRef, RegistrationIsOncePerTypeAndName) {
  // Defining a registered type again finds it.
  platform::ClassPtr again = platform::defineClass<Row, platform::Object>("Row");
  EXPECT_EQ(again, platform::classFor<Row>());
  bool created = true;
  EXPECT_THROW(platform::registerClass("Row", typeid(int), std::nullopt, created), std::logic_error);
  EXPECT_THROW(platform::registerClass("RowAlias", typeid(Row), std::nullopt, created), std::logic_error);
}

TEST(ActionTable, StandaloneTableReplacesAndLists) {
  platform::ActionTable<> table;
  int calls = 0;
  table.add("refresh", 0, [&](const Arguments&) {
    ++calls;
    return Value();
  });
  table.add("open", 1, [&](const Arguments& a) { return a[0]; });
  table.add("refresh", 1, [&](const Arguments&) {
    calls += 10;
    return Value();
  });
  EXPECT_EQ(table.names(), (std::vector<std::string>{"refresh", "open"}));
  EXPECT_EQ(table.perform("refresh", {}).status, ActionStatus::WrongArgumentCount);
  EXPECT_TRUE(table.perform("refresh", {Value(1)}));
  EXPECT_EQ(calls, 10);
  EXPECT_EQ(table.perform("open", {Value("x")}).value.stringValue(), "x");
  EXPECT_EQ(table.argumentCount("open"), 1u);
  EXPECT_FALSE(table.argumentCount("close"));
}

}  // namespace rt
