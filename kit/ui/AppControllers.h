#pragma once
#include <memory>
#include <string>
#include <vector>

namespace platform {
class ViewController;
}

namespace kavro {

// The screens that are alive, oldest first and the most recently active last. Screens record
// themselves (UIBasicController) when made and each time they are about to appear, and remove
// themselves when they go. The registry never keeps a screen alive: it holds it weakly, and an
// entry whose screen is gone without removing itself is dropped. Main thread only.
class AppControllers {
 public:
  struct Entry {
    const void* flag = nullptr;  // the controller's identity
    std::string name;            // its class name when first recorded
    std::weak_ptr<platform::ViewController> controller;
  };

  static AppControllers& sharedAppControllers();
  // Forgets the instance (tests).
  static void destroyAppControllers();

  static void addController(const std::shared_ptr<platform::ViewController>& controller);
  static void removeController(const platform::ViewController* controller);
  static std::shared_ptr<platform::ViewController> mostRecentController();
  static std::string stackPath();

  // A controller already recorded moves to the end (its name stays); a new one is appended.
  void recordControllerToStack(const std::shared_ptr<platform::ViewController>& controller);
  // The entry of the same identity and class name goes; nothing when none.
  void removeControllerFromStack(const platform::ViewController* controller);
  // Removes by identity and the name it was recorded under (for a screen being destroyed, whose
  // dynamic type is no longer its own).
  void removeControllerFromStack(const void* flag, const std::string& name);
  std::shared_ptr<platform::ViewController> getLastActiveController();
  // "/" and the class name of every entry, oldest first; "" when empty.
  std::string getControllerStackPath();
  const std::vector<Entry>& controllerStack();

  // The class name the registry records for a controller: its registered class, else its C++
  // type's name.
  static std::string classNameOf(const platform::ViewController& controller);

  AppControllers(const AppControllers&) = delete;
  AppControllers& operator=(const AppControllers&) = delete;

 private:
  // Only sharedAppControllers() makes one.
  AppControllers() = default;
  void dropDead();
  std::vector<Entry> stack_;
};

}  // namespace kavro
