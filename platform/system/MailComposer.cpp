#include "platform/system/MailComposer.h"

#include "platform/system/ComposerRegistry.h"

namespace platform {

namespace {

using Registry = ComposerRegistry<MailComposer, MailComposer::Record>;

Registry& shared() { return Registry::shared(); }

}  // namespace

bool MailComposer::canSendMail() { return shared().canSend; }
void MailComposer::setCanSendMail(bool can) { shared().canSend = can; }

bool MailComposer::present() {
  return shared().present(*this, presented_, record_, [this] {
    return Record{to_, cc_, bcc_, subject_, body_, isHTML_, attachments_, std::nullopt};
  });
}

void MailComposer::finish(MailComposeResult result, std::optional<Error> error) {
  auto self = shared().finish(*this, presented_, record_, result);
  if (!self) return;
  if (auto d = delegate_.lock()) d->mailComposerDidFinish(*this, result, error);
}

std::vector<MailComposer::Record> MailComposer::presentedMails() { return shared().records(); }

std::shared_ptr<MailComposer> MailComposer::presentedComposer() { return shared().onScreen(); }

void MailComposer::reset() {
  if (auto c = shared().reset()) c->presented_ = false;
}

}  // namespace platform
