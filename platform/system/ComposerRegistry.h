#pragma once
// Internal to the mail and message composers: what was presented, and which one is on screen.
#include <memory>
#include <utility>
#include <vector>

namespace platform {

template <class Composer, class Record>
class ComposerRegistry {
 public:
  static ComposerRegistry& shared() {
    static ComposerRegistry registry;
    return registry;
  }

  bool canSend = true;

  // Puts the composer on screen with a record made by makeRecord(); false, and nothing recorded,
  // when sending is off or it is on screen already.
  template <class MakeRecord>
  bool present(Composer& composer, bool& presented, std::shared_ptr<Record>& record, MakeRecord makeRecord) {
    if (!canSend || presented) return false;
    presented = true;
    record = std::make_shared<Record>(makeRecord());
    records_.push_back(record);
    onScreen_ = composer.shared_from_this();
    return true;
  }

  // Takes the composer off screen with its answer recorded. The composer itself, to be held while
  // its delegate is told (which may drop the last other reference); nullptr when it was not on screen.
  template <class Result>
  std::shared_ptr<Composer> finish(Composer& composer, bool& presented, const std::shared_ptr<Record>& record,
                                   Result result) {
    if (!presented) return nullptr;
    presented = false;
    record->result = result;
    auto self = composer.shared_from_this();
    if (onScreen_ == self) onScreen_.reset();
    return self;
  }

  std::vector<Record> records() const {
    std::vector<Record> out;
    for (const auto& r : records_) out.push_back(*r);
    return out;
  }

  std::shared_ptr<Composer> onScreen() const { return onScreen_; }

  // Back to the start; the composer that was on screen, if one was.
  std::shared_ptr<Composer> reset() {
    canSend = true;
    records_.clear();
    return std::exchange(onScreen_, nullptr);
  }

 private:
  std::vector<std::shared_ptr<Record>> records_;
  std::shared_ptr<Composer> onScreen_;
};

}  // namespace platform
