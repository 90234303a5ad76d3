#include "platform/system/MailComposer.h"

#include "platform/system/ComposerRegistry.h"

namespace platform {

namespace {

using MailRegistry = ComposerRegistry<MailComposer, MailComposer::Record>;

MailRegistry& mailRegistry() { return MailRegistry::shared(); }

}  // namespace

bool MailComposer::canSendMail() { return mailRegistry().canSend; }
void MailComposer::setCanSendMail(bool can) { mailRegistry().canSend = can; }

bool MailComposer::present() {
  return mailRegistry().present(*this, presented_, record_, [this] {
    return Record{to_, cc_, bcc_, subject_, body_, isHTML_, attachments_, std::nullopt};
  });
}

void MailComposer::finish(MailComposeResult result, std::optional<Error> error) {
  auto self = mailRegistry().finish(*this, presented_, record_, result);
  if (!self) return;
  if (auto d = delegate_.lock()) d->mailComposerDidFinish(*this, result, error);
}

std::vector<MailComposer::Record> MailComposer::presentedMails() { return mailRegistry().records(); }

std::shared_ptr<MailComposer> MailComposer::presentedComposer() { return mailRegistry().onScreen(); }

void MailComposer::reset() {
  if (auto c = mailRegistry().reset()) c->presented_ = false;
}

}  // namespace platform
