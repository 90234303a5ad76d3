#pragma once
#include <cstddef>
#include <memory>
#include <vector>

#include "kit/http/Operation.h"
#include "platform/foundation/Mutex.h"

namespace kavro {

// Runs operations with at most maxConcurrentOperationCount of them at once, by priority and
// then in the order added: the engine's minimal stand-in for the platform's operation queue. It
// has no threads of its own: an operation is started on the thread that adds it or that ends the
// one before it, so its start() must be quick (concurrent operations hand their work elsewhere).
// A queue keeps its operations until they finish. Thread-safe.
class OperationQueue : public std::enable_shared_from_this<OperationQueue> {
 public:
  static constexpr int DefaultMaxConcurrentOperationCount = -1;  // no limit

  static std::shared_ptr<OperationQueue> create();
  virtual ~OperationQueue() = default;
  OperationQueue(const OperationQueue&) = delete;
  OperationQueue& operator=(const OperationQueue&) = delete;

  virtual void addOperation(std::shared_ptr<Operation> operation);
  virtual void cancelAllOperations();

  int maxConcurrentOperationCount() const;
  void setMaxConcurrentOperationCount(int count);
  // Moves the limit by delta in one step under the queue's lock, so that places lent and taken
  // back from several threads never overwrite each other's change. No effect without a limit.
  void changeMaxConcurrentOperationCount(int delta);
  bool isSuspended() const;
  void setSuspended(bool suspended);

  // Waiting and running operations, in the order added.
  std::vector<std::shared_ptr<Operation>> operations() const;
  std::size_t operationCount() const;

 protected:
  OperationQueue() = default;

 private:
  friend class Operation;
  void operationDidFinish(Operation& operation);
  void startReady();

  mutable platform::Mutex mutex_;
  std::vector<std::shared_ptr<Operation>> operations_ GUARDED_BY(mutex_);
  std::size_t running_ GUARDED_BY(mutex_) = 0;
  std::vector<Operation*> started_ GUARDED_BY(mutex_);
  int maxConcurrent_ GUARDED_BY(mutex_) = DefaultMaxConcurrentOperationCount;
  bool suspended_ GUARDED_BY(mutex_) = false;
};

}  // namespace kavro
