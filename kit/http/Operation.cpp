#include "kit/http/Operation.h"

#include <algorithm>

#include "kit/http/OperationQueue.h"
#include "platform/foundation/Mutex.h"

namespace kavro {

void Operation::start() {
  {
    platform::MutexLock lock(stateMutex_);
    if (finished_ || executing_) return;
    executing_ = !cancelled_;
  }
  if (!isCancelled()) main();
  {
    platform::MutexLock lock(stateMutex_);
    executing_ = false;
    finished_ = true;
  }
  didFinish();
}

void Operation::cancel() {
  platform::MutexLock lock(stateMutex_);
  cancelled_ = true;
}

bool Operation::isExecuting() const {
  platform::MutexLock lock(stateMutex_);
  return executing_;
}

bool Operation::isFinished() const {
  platform::MutexLock lock(stateMutex_);
  return finished_;
}

bool Operation::isCancelled() const {
  platform::MutexLock lock(stateMutex_);
  return cancelled_;
}

int Operation::queuePriority() const {
  platform::MutexLock lock(stateMutex_);
  return priority_;
}

void Operation::setQueuePriority(int priority) {
  platform::MutexLock lock(stateMutex_);
  priority_ = priority;
}

void Operation::addDependency(std::shared_ptr<Operation> operation) {
  if (!operation || operation.get() == this) return;
  platform::MutexLock lock(stateMutex_);
  if (std::find(dependencies_.begin(), dependencies_.end(), operation) == dependencies_.end())
    dependencies_.push_back(std::move(operation));
}

void Operation::removeDependency(const std::shared_ptr<Operation>& operation) {
  platform::MutexLock lock(stateMutex_);
  std::erase(dependencies_, operation);
}

std::vector<std::shared_ptr<Operation>> Operation::dependencies() const {
  platform::MutexLock lock(stateMutex_);
  return dependencies_;
}

bool Operation::isReady() const {
  for (const auto& dependency : dependencies())
    if (!dependency->isFinished()) return false;
  return true;
}

void Operation::didFinish() {
  std::shared_ptr<OperationQueue> queue;
  {
    platform::MutexLock lock(stateMutex_);
    queue = queue_.lock();
  }
  if (queue) queue->operationDidFinish(*this);
}

std::shared_ptr<OperationQueue> OperationQueue::create() {
  return std::shared_ptr<OperationQueue>(new OperationQueue());
}

void OperationQueue::addOperation(std::shared_ptr<Operation> operation) {
  if (!operation) return;
  {
    platform::MutexLock opLock(operation->stateMutex_);
    operation->queue_ = weak_from_this();
  }
  {
    platform::MutexLock lock(mutex_);
    operations_.push_back(std::move(operation));
  }
  startReady();
}

void OperationQueue::cancelAllOperations() {
  for (auto& op : operations()) op->cancel();
}

int OperationQueue::maxConcurrentOperationCount() const {
  platform::MutexLock lock(mutex_);
  return maxConcurrent_;
}

void OperationQueue::setMaxConcurrentOperationCount(int count) {
  {
    platform::MutexLock lock(mutex_);
    maxConcurrent_ = count;
  }
  startReady();
}

void OperationQueue::changeMaxConcurrentOperationCount(int delta) {
  {
    platform::MutexLock lock(mutex_);
    if (maxConcurrent_ < 0) return;
    maxConcurrent_ = std::max(0, maxConcurrent_ + delta);
  }
  if (delta > 0) startReady();
}

bool OperationQueue::isSuspended() const {
  platform::MutexLock lock(mutex_);
  return suspended_;
}

void OperationQueue::setSuspended(bool suspended) {
  {
    platform::MutexLock lock(mutex_);
    suspended_ = suspended;
  }
  startReady();
}

std::vector<std::shared_ptr<Operation>> OperationQueue::operations() const {
  platform::MutexLock lock(mutex_);
  return operations_;
}

std::size_t OperationQueue::operationCount() const {
  platform::MutexLock lock(mutex_);
  return operations_.size();
}

void OperationQueue::operationDidFinish(Operation& operation) {
  std::shared_ptr<Operation> keep;
  {
    platform::MutexLock lock(mutex_);
    for (auto it = operations_.begin(); it != operations_.end(); ++it) {
      if (it->get() != &operation) continue;
      keep = *it;
      operations_.erase(it);
      auto s = std::find(started_.begin(), started_.end(), &operation);
      if (s != started_.end()) {
        started_.erase(s);
        --running_;
      }
      break;
    }
  }
  startReady();
  // keep goes last, outside the lock: the operation may be released here.
}

void OperationQueue::startReady() {
  // Readiness asks other operations (and their locks): never under this queue's lock.
  std::vector<std::shared_ptr<Operation>> waiting;
  {
    platform::MutexLock lock(mutex_);
    if (suspended_) return;
    for (auto& op : operations_)
      if (std::find(started_.begin(), started_.end(), op.get()) == started_.end()) waiting.push_back(op);
  }
  std::vector<Operation*> ready;
  for (auto& op : waiting)
    if (op->isReady()) ready.push_back(op.get());
  std::vector<std::shared_ptr<Operation>> toStart;
  {
    platform::MutexLock lock(mutex_);
    while (!suspended_ && (maxConcurrent_ < 0 || running_ < static_cast<std::size_t>(maxConcurrent_))) {
      std::shared_ptr<Operation> best;
      for (auto& op : operations_) {
        if (std::find(ready.begin(), ready.end(), op.get()) == ready.end()) continue;
        if (std::find(started_.begin(), started_.end(), op.get()) != started_.end()) continue;
        if (!best || op->queuePriority() > best->queuePriority()) best = op;
      }
      if (!best) break;
      started_.push_back(best.get());
      ++running_;
      toStart.push_back(best);
    }
  }
  for (auto& op : toStart) op->start();
}

}  // namespace kavro
