#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Data.h"

namespace platform {

class MessageComposer;

enum class MessageComposeResult { Cancelled = 0, Sent = 1, Failed = 2 };

struct MessageAttachment {
  Data data;
  std::string typeIdentifier;  // the MIME type or type name the caller gave
  std::string fileName;
  bool operator==(const MessageAttachment&) const = default;
};

class MessageComposerDelegate {
 public:
  virtual ~MessageComposerDelegate() = default;
  // The user has sent or cancelled the message; the composer is off screen.
  virtual void messageComposerDidFinish(MessageComposer& composer, MessageComposeResult result) = 0;
};

// The text-message (SMS) composer. A screen fills one in and presents it; it then stays on screen
// until the user answers, which tests and the runner do with finish(). Nothing is sent anywhere:
// every presentation is recorded with what was asked and, once given, the answer, so tests can see
// it. Whether the device can send texts is settable (yes by default). Main thread only.
class MessageComposer : public std::enable_shared_from_this<MessageComposer> {
 public:
  static std::shared_ptr<MessageComposer> create() {
    return std::shared_ptr<MessageComposer>(new MessageComposer());
  }
  static bool canSendText();
  static void setCanSendText(bool can);

  const std::vector<std::string>& recipients() const { return recipients_; }
  void setRecipients(std::vector<std::string> recipients) { recipients_ = std::move(recipients); }
  const std::string& subject() const { return subject_; }
  void setSubject(std::string subject) { subject_ = std::move(subject); }
  const std::string& body() const { return body_; }
  void setBody(std::string body) { body_ = std::move(body); }
  const std::vector<MessageAttachment>& attachments() const { return attachments_; }
  // False for empty data.
  bool addAttachmentData(Data data, std::string typeIdentifier, std::string fileName);

  void setMessageComposeDelegate(std::weak_ptr<MessageComposerDelegate> delegate) {
    delegate_ = std::move(delegate);
  }

  // Shows the composer (records it). False, and nothing shown, when texts cannot be sent or it is on
  // screen already.
  bool present();
  bool isPresented() const { return presented_; }
  // The user's answer: off screen, the record completed, then the delegate told. Does nothing when
  // the composer is not on screen.
  void finish(MessageComposeResult result);

  // What was asked, oldest first.
  struct Record {
    std::vector<std::string> recipients;
    std::string subject;
    std::string body;
    std::vector<MessageAttachment> attachments;
    std::optional<MessageComposeResult> result;  // none while on screen
  };
  static std::vector<Record> presentedMessages();
  // The composer on screen, if one is.
  static std::shared_ptr<MessageComposer> presentedComposer();
  // Forgets the records and the setting (tests).
  static void reset();

 private:
  std::vector<std::string> recipients_;
  std::string subject_;
  std::string body_;
  std::vector<MessageAttachment> attachments_;
  std::weak_ptr<MessageComposerDelegate> delegate_;
  bool presented_ = false;
  std::shared_ptr<Record> record_;

 protected:
  MessageComposer() = default;
};

}  // namespace platform
