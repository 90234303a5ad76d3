#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"

namespace platform {

class MailComposer;

enum class MailComposeResult { Cancelled = 0, Saved = 1, Sent = 2, Failed = 3 };

struct MailAttachment {
  Data data;
  std::string mimeType;
  std::string fileName;
  bool operator==(const MailAttachment&) const = default;
};

class MailComposerDelegate {
 public:
  virtual ~MailComposerDelegate() = default;
  // The user has sent, saved or cancelled the mail, or sending failed (error given); the composer
  // is off screen.
  virtual void mailComposerDidFinish(MailComposer& composer, MailComposeResult result,
                                     const std::optional<Error>& error) = 0;
};

// The e-mail composer. A screen fills one in and presents it; it stays on screen until the user
// answers, which tests and the runner do with finish(). Nothing is sent: every presentation is
// recorded with what was asked and, once given, the answer. Whether the device can send mail is
// settable (yes by default). Main thread only.
class MailComposer : public std::enable_shared_from_this<MailComposer> {
 public:
  static std::shared_ptr<MailComposer> create() { return std::shared_ptr<MailComposer>(new MailComposer()); }
  static bool canSendMail();
  static void setCanSendMail(bool can);

  const std::vector<std::string>& toRecipients() const { return to_; }
  void setToRecipients(std::vector<std::string> recipients) { to_ = std::move(recipients); }
  const std::vector<std::string>& ccRecipients() const { return cc_; }
  void setCcRecipients(std::vector<std::string> recipients) { cc_ = std::move(recipients); }
  const std::vector<std::string>& bccRecipients() const { return bcc_; }
  void setBccRecipients(std::vector<std::string> recipients) { bcc_ = std::move(recipients); }
  const std::string& subject() const { return subject_; }
  void setSubject(std::string subject) { subject_ = std::move(subject); }
  const std::string& messageBody() const { return body_; }
  bool isHTML() const { return isHTML_; }
  void setMessageBody(std::string body, bool isHTML) {
    body_ = std::move(body);
    isHTML_ = isHTML;
  }
  const std::vector<MailAttachment>& attachments() const { return attachments_; }
  void addAttachmentData(Data data, std::string mimeType, std::string fileName) {
    attachments_.push_back(MailAttachment{std::move(data), std::move(mimeType), std::move(fileName)});
  }

  void setMailComposeDelegate(std::weak_ptr<MailComposerDelegate> delegate) {
    delegate_ = std::move(delegate);
  }

  // Shows the composer (records it). False, and nothing shown, when mail cannot be sent or it is on
  // screen already.
  bool present();
  bool isPresented() const { return presented_; }
  // The user's answer: off screen, the record completed, then the delegate told. Does nothing when
  // the composer is not on screen.
  void finish(MailComposeResult result, std::optional<Error> error = std::nullopt);

  struct Record {
    std::vector<std::string> toRecipients;
    std::vector<std::string> ccRecipients;
    std::vector<std::string> bccRecipients;
    std::string subject;
    std::string messageBody;
    bool isHTML = false;
    std::vector<MailAttachment> attachments;
    std::optional<MailComposeResult> result;  // none while on screen
  };
  // What was asked, oldest first.
  static std::vector<Record> presentedMails();
  static std::shared_ptr<MailComposer> presentedComposer();
  // Forgets the records and the setting (tests).
  static void reset();

 private:
  std::vector<std::string> to_;
  std::vector<std::string> cc_;
  std::vector<std::string> bcc_;
  std::string subject_;
  std::string body_;
  bool isHTML_ = false;
  std::vector<MailAttachment> attachments_;
  std::weak_ptr<MailComposerDelegate> delegate_;
  bool presented_ = false;
  std::shared_ptr<Record> record_;

 protected:
  MailComposer() = default;
};

}  // namespace platform
