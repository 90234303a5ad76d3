#pragma once
#include <string>

namespace platform {

class KeyedArchiver;

// An object that can ride in a keyed archive. It is written as its class name and what
// encodeWithCoder() puts into the coder; reading it back needs a factory registered under that
// name with KeyedUnarchiver::setClass(). Implemented next to Object by the classes that archive:
//   class DataItemDetail : public platform::Object, public platform::Coding { ... };
class Coding {
 public:
  virtual ~Coding() = default;
  // The name the unarchiver looks the factory up by.
  virtual std::string classForCoder() const = 0;
  virtual void encodeWithCoder(KeyedArchiver& coder) const = 0;
};

}  // namespace platform
