#include "platform/system/MessageComposer.h"

#include "platform/system/ComposerRegistry.h"

namespace platform {

namespace {

using MessageRegistry = ComposerRegistry<MessageComposer, MessageComposer::Record>;

MessageRegistry& messageRegistry() { return MessageRegistry::shared(); }

}  // namespace

bool MessageComposer::canSendText() { return messageRegistry().canSend; }
void MessageComposer::setCanSendText(bool can) { messageRegistry().canSend = can; }

bool MessageComposer::addAttachmentData(Data data, std::string typeIdentifier, std::string fileName) {
  if (data.empty()) return false;
  attachments_.push_back(MessageAttachment{std::move(data), std::move(typeIdentifier), std::move(fileName)});
  return true;
}

bool MessageComposer::present() {
  return messageRegistry().present(*this, presented_, record_, [this] {
    return Record{recipients_, subject_, body_, attachments_, std::nullopt};
  });
}

void MessageComposer::finish(MessageComposeResult result) {
  auto self = messageRegistry().finish(*this, presented_, record_, result);
  if (!self) return;
  if (auto d = delegate_.lock()) d->messageComposerDidFinish(*this, result);
}

std::vector<MessageComposer::Record> MessageComposer::presentedMessages() {
  return messageRegistry().records();
}

std::shared_ptr<MessageComposer> MessageComposer::presentedComposer() { return messageRegistry().onScreen(); }

void MessageComposer::reset() {
  if (auto c = messageRegistry().reset()) c->presented_ = false;
}

}  // namespace platform
