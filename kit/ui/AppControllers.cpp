#include "kit/ui/AppControllers.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <typeinfo>

#include "platform/foundation/Mutex.h"
#include "platform/runtime/ClassRef.h"
#include "platform/ui/ViewController.h"

namespace kavro {

namespace {
platform::Mutex instanceLock;
std::unique_ptr<AppControllers> instance GUARDED_BY(instanceLock);

std::string demangledName(const std::type_info& type) {
  int status = 0;
  char* raw = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
  std::string name = (status == 0 && raw) ? raw : type.name();
  std::free(raw);
  auto colon = name.rfind("::");
  return colon == std::string::npos ? name : name.substr(colon + 2);
}
}  // namespace

AppControllers& AppControllers::sharedAppControllers() {
  platform::MutexLock guard(instanceLock);
  if (!instance) instance.reset(new AppControllers());
  return *instance;
}

void AppControllers::destroyAppControllers() {
  std::unique_ptr<AppControllers> old;
  {
    platform::MutexLock guard(instanceLock);
    old = std::move(instance);
  }
}

void AppControllers::addController(const std::shared_ptr<platform::ViewController>& controller) {
  sharedAppControllers().recordControllerToStack(controller);
}

void AppControllers::removeController(const platform::ViewController* controller) {
  sharedAppControllers().removeControllerFromStack(controller);
}

std::shared_ptr<platform::ViewController> AppControllers::mostRecentController() {
  return sharedAppControllers().getLastActiveController();
}

std::string AppControllers::stackPath() { return sharedAppControllers().getControllerStackPath(); }

std::string AppControllers::classNameOf(const platform::ViewController& controller) {
  const std::type_info& type = typeid(controller);
  if (auto cls = platform::classForType(std::type_index(type))) return cls->name();
  return demangledName(type);
}

void AppControllers::dropDead() {
  std::erase_if(stack_, [](const Entry& e) { return e.controller.expired(); });
}

void AppControllers::recordControllerToStack(const std::shared_ptr<platform::ViewController>& controller) {
  if (!controller) return;
  dropDead();
  const void* flag = controller.get();
  auto it = std::find_if(stack_.begin(), stack_.end(), [&](const Entry& e) { return e.flag == flag; });
  if (it != stack_.end()) {
    Entry moved = std::move(*it);
    stack_.erase(it);
    stack_.push_back(std::move(moved));
    return;
  }
  stack_.push_back(Entry{flag, classNameOf(*controller), controller});
}

void AppControllers::removeControllerFromStack(const platform::ViewController* controller) {
  if (!controller) return;
  removeControllerFromStack(controller, classNameOf(*controller));
}

void AppControllers::removeControllerFromStack(const void* flag, const std::string& name) {
  if (!flag) return;
  auto it = std::find_if(stack_.begin(), stack_.end(),
                         [&](const Entry& e) { return e.flag == flag && e.name == name; });
  if (it != stack_.end()) stack_.erase(it);
}

std::shared_ptr<platform::ViewController> AppControllers::getLastActiveController() {
  dropDead();
  return stack_.empty() ? nullptr : stack_.back().controller.lock();
}

std::string AppControllers::getControllerStackPath() {
  dropDead();
  std::string path;
  for (const auto& e : stack_) path += "/" + e.name;
  return path;
}

const std::vector<AppControllers::Entry>& AppControllers::controllerStack() {
  dropDead();
  return stack_;
}

}  // namespace kavro
