#include "app/home/AppBaseDelegate.h"

namespace kavro {

std::shared_ptr<platform::Window> AppBaseDelegate::getWindow() {
  auto* delegate =
      dynamic_cast<AppBaseDelegate*>(platform::Application::sharedApplication().delegate().get());
  return delegate ? delegate->window() : nullptr;
}

}  // namespace kavro
