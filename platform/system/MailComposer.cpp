#include "platform/system/MailComposer.h"

namespace platform {

namespace {

struct Shared {
  bool canSend = true;
  std::vector<std::shared_ptr<MailComposer::Record>> records;
  std::shared_ptr<MailComposer> onScreen;
};

Shared& shared() {
  static Shared s;
  return s;
}

}  // namespace

bool MailComposer::canSendMail() { return shared().canSend; }
void MailComposer::setCanSendMail(bool can) { shared().canSend = can; }

bool MailComposer::present() {
  Shared& s = shared();
  if (!s.canSend || presented_) return false;
  presented_ = true;
  record_ = std::make_shared<Record>(Record{to_, cc_, bcc_, subject_, body_, isHTML_, attachments_, std::nullopt});
  s.records.push_back(record_);
  s.onScreen = shared_from_this();
  return true;
}

void MailComposer::finish(MailComposeResult result, std::optional<Error> error) {
  if (!presented_) return;
  presented_ = false;
  record_->result = result;
  auto self = shared_from_this();  // the delegate may drop the last other reference
  Shared& s = shared();
  if (s.onScreen == self) s.onScreen.reset();
  if (auto d = delegate_.lock()) d->mailComposerDidFinish(*this, result, error);
}

std::vector<MailComposer::Record> MailComposer::presentedMails() {
  std::vector<Record> out;
  for (const auto& r : shared().records) out.push_back(*r);
  return out;
}

std::shared_ptr<MailComposer> MailComposer::presentedComposer() { return shared().onScreen; }

void MailComposer::reset() {
  Shared& s = shared();
  s.canSend = true;
  s.records.clear();
  if (s.onScreen) s.onScreen->presented_ = false;
  s.onScreen.reset();
}

}  // namespace platform
