#include "platform/system/MessageComposer.h"

#include "platform/system/ComposerRegistry.h"

namespace platform {

namespace {

using Registry = ComposerRegistry<MessageComposer, MessageComposer::Record>;

Registry& shared() { return Registry::shared(); }

}  // namespace

bool MessageComposer::canSendText() { return shared().canSend; }
void MessageComposer::setCanSendText(bool can) { shared().canSend = can; }

bool MessageComposer::addAttachmentData(Data data, std::string typeIdentifier, std::string fileName) {
  if (data.empty()) return false;
  attachments_.push_back(MessageAttachment{std::move(data), std::move(typeIdentifier), std::move(fileName)});
  return true;
}

bool MessageComposer::present() {
  return shared().present(*this, presented_, record_, [this] {
    return Record{recipients_, subject_, body_, attachments_, std::nullopt};
  });
}

void MessageComposer::finish(MessageComposeResult result) {
  auto self = shared().finish(*this, presented_, record_, result);
  if (!self) return;
  if (auto d = delegate_.lock()) d->messageComposerDidFinish(*this, result);
}

std::vector<MessageComposer::Record> MessageComposer::presentedMessages() { return shared().records(); }

std::shared_ptr<MessageComposer> MessageComposer::presentedComposer() { return shared().onScreen(); }

void MessageComposer::reset() {
  if (auto c = shared().reset()) c->presented_ = false;
}

}  // namespace platform
