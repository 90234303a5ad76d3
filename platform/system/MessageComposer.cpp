#include "platform/system/MessageComposer.h"

namespace platform {

namespace {

struct Shared {
  bool canSend = true;
  std::vector<std::shared_ptr<MessageComposer::Record>> records;
  std::shared_ptr<MessageComposer> onScreen;
};

Shared& shared() {
  static Shared s;
  return s;
}

}  // namespace

bool MessageComposer::canSendText() { return shared().canSend; }
void MessageComposer::setCanSendText(bool can) { shared().canSend = can; }

bool MessageComposer::addAttachmentData(Data data, std::string typeIdentifier, std::string fileName) {
  if (data.empty()) return false;
  attachments_.push_back(MessageAttachment{std::move(data), std::move(typeIdentifier), std::move(fileName)});
  return true;
}

bool MessageComposer::present() {
  Shared& s = shared();
  if (!s.canSend || presented_) return false;
  presented_ = true;
  record_ = std::make_shared<Record>(Record{recipients_, subject_, body_, attachments_, std::nullopt});
  s.records.push_back(record_);
  s.onScreen = shared_from_this();
  return true;
}

void MessageComposer::finish(MessageComposeResult result) {
  if (!presented_) return;
  presented_ = false;
  record_->result = result;
  auto self = shared_from_this();  // the delegate may drop the last other reference
  Shared& s = shared();
  if (s.onScreen == self) s.onScreen.reset();
  if (auto d = delegate_.lock()) d->messageComposerDidFinish(*this, result);
}

std::vector<MessageComposer::Record> MessageComposer::presentedMessages() {
  std::vector<Record> out;
  for (const auto& r : shared().records) out.push_back(*r);
  return out;
}

std::shared_ptr<MessageComposer> MessageComposer::presentedComposer() { return shared().onScreen; }

void MessageComposer::reset() {
  Shared& s = shared();
  s.canSend = true;
  s.records.clear();
  if (s.onScreen) s.onScreen->presented_ = false;
  s.onScreen.reset();
}

}  // namespace platform
