#include "platform/ui/Keyboard.h"

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/RectValue.h"
#include "platform/ui/Screen.h"
#include "platform/ui/View.h"

namespace platform {

namespace {

std::shared_ptr<Dictionary> userInfo(Rect begin, Rect end) {
  auto d = MutableDictionary::create();
  d->setObject(RectValue::create(begin), KeyboardFrameBeginUserInfoKey);
  d->setObject(RectValue::create(end), KeyboardFrameEndUserInfoKey);
  d->setObject(Keyboard::AnimationDuration, KeyboardAnimationDurationUserInfoKey);
  d->setObject(Keyboard::AnimationCurve, KeyboardAnimationCurveUserInfoKey);
  return d;
}

}  // namespace

Keyboard& Keyboard::shared() {
  static Keyboard keyboard;
  return keyboard;
}

Rect Keyboard::frameWhenVisible() const {
  Rect s = Screen::mainScreen().bounds();
  return Rect(0, s.size.height - Height, s.size.width, Height);
}

Rect Keyboard::hiddenFrame() const {
  Rect s = Screen::mainScreen().bounds();
  return Rect(0, s.size.height, s.size.width, Height);
}

Rect Keyboard::frame() const { return visible_ ? frameWhenVisible() : hiddenFrame(); }

void Keyboard::inputDidBeginEditing(View& input) {
  input_ = std::static_pointer_cast<View>(input.shared_from_this());
  if (!visible_) show();
}

void Keyboard::inputDidEndEditing(View& input) {
  if (transfers_ > 0) {
    checkPending_ = true;
    return;
  }
  hideUnlessEditing();
}

void Keyboard::show() {
  visible_ = true;
  RunLoop::main().cancelPerforms(this);
  auto info = userInfo(hiddenFrame(), frameWhenVisible());
  NotificationCenter::defaultCenter().post(KeyboardWillShowNotification, nullptr, info);
  RunLoop::main().performAfter(AnimationDuration, this, [info] {
    NotificationCenter::defaultCenter().post(KeyboardDidShowNotification, nullptr, info);
  });
}

void Keyboard::hideUnlessEditing() {
  auto input = input_.lock();
  if (input && input->isFirstResponder()) return;
  input_.reset();
  if (!visible_) return;
  visible_ = false;
  RunLoop::main().cancelPerforms(this);
  auto info = userInfo(frameWhenVisible(), hiddenFrame());
  NotificationCenter::defaultCenter().post(KeyboardWillHideNotification, nullptr, info);
  RunLoop::main().performAfter(AnimationDuration, this, [info] {
    NotificationCenter::defaultCenter().post(KeyboardDidHideNotification, nullptr, info);
  });
}

Keyboard::FocusTransfer::FocusTransfer() { ++shared().transfers_; }

Keyboard::FocusTransfer::~FocusTransfer() {
  Keyboard& k = shared();
  if (--k.transfers_ == 0 && k.checkPending_) {
    k.checkPending_ = false;
    k.hideUnlessEditing();
  }
}

void Keyboard::reset() {
  RunLoop::main().cancelPerforms(this);
  visible_ = false;
  input_.reset();
  transfers_ = 0;
  checkPending_ = false;
}

}  // namespace platform
