#pragma once

namespace kavro {

// The cancel source of a long archive operation. It is polled from the working thread, so
// isCancelled() must be safe to call from any thread.
class ZBInvoker {
 public:
  virtual ~ZBInvoker() = default;
  virtual bool isCancelled() const = 0;
};

}  // namespace kavro
