#pragma once
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace platform {

class Dictionary;

// Errors that carry the operating system's errno as their code.
inline constexpr const char* POSIXErrorDomain = "NSPOSIXErrorDomain";

// A failure as a value: who reported it, a code, and a text for the user.
struct Error {
  std::string domain;
  std::int64_t code = 0;
  std::string localizedDescription;
  std::shared_ptr<const Dictionary> userInfo;
  std::shared_ptr<const Error> underlying;

  // "Error Domain=<domain> Code=<code> \"<localizedDescription>\"": never empty.
  std::string description() const;
};

// Raised only where the system raises (codec misuse). name() is the raised exception's name.
class Exception : public std::runtime_error {
 public:
  Exception(std::string name, std::string reason, std::shared_ptr<const Dictionary> userInfo = nullptr);
  const std::string& name() const { return name_; }
  const std::string& reason() const { return reason_; }
  const std::shared_ptr<const Dictionary>& userInfo() const { return userInfo_; }

 private:
  std::string name_;
  std::string reason_;
  std::shared_ptr<const Dictionary> userInfo_;
};

class InvalidArgumentException : public Exception {
 public:
  explicit InvalidArgumentException(std::string reason, std::shared_ptr<const Dictionary> userInfo = nullptr)
      : Exception("NSInvalidArgumentException", std::move(reason), std::move(userInfo)) {}
};

class RangeException : public Exception {
 public:
  explicit RangeException(std::string reason, std::shared_ptr<const Dictionary> userInfo = nullptr)
      : Exception("NSRangeException", std::move(reason), std::move(userInfo)) {}
};

class InternalInconsistencyException : public Exception {
 public:
  explicit InternalInconsistencyException(std::string reason,
                                          std::shared_ptr<const Dictionary> userInfo = nullptr)
      : Exception("NSInternalInconsistencyException", std::move(reason), std::move(userInfo)) {}
};

class MallocException : public Exception {
 public:
  explicit MallocException(std::string reason, std::shared_ptr<const Dictionary> userInfo = nullptr)
      : Exception("NSMallocException", std::move(reason), std::move(userInfo)) {}
};

}  // namespace platform
