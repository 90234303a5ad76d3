#pragma once
#include <memory>
#include <vector>

#include "platform/foundation/Mutex.h"

namespace kavro {

class OperationQueue;

// A unit of work for an OperationQueue: the engine's minimal stand-in for the platform's
// operation class (the platform layer has none). A plain operation runs main() inside start()
// and is then finished. A concurrent one (isConcurrent) only begins its work in start(), keeps
// its own executing and finished state, and calls didFinish() once it is done, which lets its
// queue start the next. An operation with dependencies waits in its queue until each of them has
// finished (a queue looks again whenever one of its own operations finishes). Thread-safe.
class Operation : public std::enable_shared_from_this<Operation> {
 public:
  // Queue priorities: higher ones start first; equal ones in the order added.
  enum Priority : int { VeryLow = -8, Low = -4, Normal = 0, High = 4, VeryHigh = 8 };

  virtual ~Operation() = default;

  virtual void start();
  virtual void main() {}
  virtual void cancel();
  virtual bool isConcurrent() const { return false; }
  virtual bool isExecuting() const;
  virtual bool isFinished() const;
  virtual bool isCancelled() const;

  int queuePriority() const;
  void setQueuePriority(int priority);

  void addDependency(std::shared_ptr<Operation> operation);
  void removeDependency(const std::shared_ptr<Operation>& operation);
  std::vector<std::shared_ptr<Operation>> dependencies() const;
  // Every dependency has finished. Not to be asked with a queue's lock held: it asks them.
  bool isReady() const;

 protected:
  // Tells the queue the operation has finished; any thread, without the operation's locks held.
  void didFinish();

 private:
  friend class OperationQueue;
  mutable platform::Mutex stateMutex_;
  bool executing_ GUARDED_BY(stateMutex_) = false;
  bool finished_ GUARDED_BY(stateMutex_) = false;
  bool cancelled_ GUARDED_BY(stateMutex_) = false;
  int priority_ GUARDED_BY(stateMutex_) = Normal;
  std::vector<std::shared_ptr<Operation>> dependencies_ GUARDED_BY(stateMutex_);
  std::weak_ptr<OperationQueue> queue_ GUARDED_BY(stateMutex_);
};

}  // namespace kavro
