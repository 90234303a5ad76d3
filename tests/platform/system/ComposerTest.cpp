#include <gtest/gtest.h>

#include "platform/system/MailComposer.h"
#include "platform/system/MessageComposer.h"

namespace platform {
namespace {

struct MessageListener : MessageComposerDelegate {
  std::vector<MessageComposeResult> results;
  void messageComposerDidFinish(MessageComposer& composer, MessageComposeResult result) override {
    EXPECT_FALSE(composer.isPresented());
    results.push_back(result);
  }
};

struct MailListener : MailComposerDelegate {
  std::vector<MailComposeResult> results;
  std::optional<Error> error;
  void mailComposerDidFinish(MailComposer&, MailComposeResult result,
                             const std::optional<Error>& e) override {
    results.push_back(result);
    error = e;
  }
};

TEST(MessageComposer, RecordsWhatWasAskedAndTheAnswer) {
  MessageComposer::reset();
  auto listener = std::make_shared<MessageListener>();
  {
    auto composer = MessageComposer::create();
    composer->setRecipients({"13800000000", "13900000000"});
    composer->setBody("Job: engineer");
    EXPECT_FALSE(composer->addAttachmentData({}, "image/png", "empty.png"));
    EXPECT_TRUE(composer->addAttachmentData({1, 2}, "image/png", "a.png"));
    composer->setMessageComposeDelegate(listener);
    EXPECT_TRUE(composer->present());
    EXPECT_FALSE(composer->present());
  }
  // The presentation keeps the composer alive until it is answered.
  auto shown = MessageComposer::presentedComposer();
  ASSERT_TRUE(shown);
  auto records = MessageComposer::presentedMessages();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].recipients, (std::vector<std::string>{"13800000000", "13900000000"}));
  EXPECT_EQ(records[0].body, "Job: engineer");
  EXPECT_EQ(records[0].attachments.size(), 1u);
  EXPECT_FALSE(records[0].result);

  shown->finish(MessageComposeResult::Sent);
  shown->finish(MessageComposeResult::Cancelled);  // off screen already: ignored
  EXPECT_EQ(listener->results, (std::vector<MessageComposeResult>{MessageComposeResult::Sent}));
  EXPECT_EQ(MessageComposer::presentedMessages()[0].result, MessageComposeResult::Sent);
  EXPECT_FALSE(MessageComposer::presentedComposer());

  MessageComposer::setCanSendText(false);
  EXPECT_FALSE(MessageComposer::canSendText());
  EXPECT_FALSE(MessageComposer::create()->present());
  EXPECT_EQ(MessageComposer::presentedMessages().size(), 1u);
  MessageComposer::reset();
  EXPECT_TRUE(MessageComposer::canSendText());
  EXPECT_TRUE(MessageComposer::presentedMessages().empty());

  // A reset takes a composer left on screen off it: it can be shown again, as the only record.
  auto left = MessageComposer::create();
  left->setBody("Again");
  ASSERT_TRUE(left->present());
  MessageComposer::reset();
  EXPECT_FALSE(left->isPresented());
  EXPECT_FALSE(MessageComposer::presentedComposer());
  ASSERT_TRUE(left->present());
  EXPECT_EQ(MessageComposer::presentedComposer(), left);
  ASSERT_EQ(MessageComposer::presentedMessages().size(), 1u);
  EXPECT_EQ(MessageComposer::presentedMessages()[0].body, "Again");
  MessageComposer::reset();
}

TEST(MailComposer, RecordsWhatWasAskedAndTheAnswer) {
  MailComposer::reset();
  auto listener = std::make_shared<MailListener>();
  auto composer = MailComposer::create();
  composer->setToRecipients({"hr@example.com"});
  composer->setCcRecipients({"me@example.com"});
  composer->setSubject("Application");
  composer->setMessageBody("<b>Hello</b>", true);
  composer->addAttachmentData({7, 7, 7}, "application/pdf", "resume.pdf");
  composer->setMailComposeDelegate(listener);
  ASSERT_TRUE(composer->present());
  auto record = MailComposer::presentedMails().at(0);
  EXPECT_EQ(record.toRecipients, (std::vector<std::string>{"hr@example.com"}));
  EXPECT_EQ(record.ccRecipients, (std::vector<std::string>{"me@example.com"}));
  EXPECT_EQ(record.subject, "Application");
  EXPECT_TRUE(record.isHTML);
  EXPECT_EQ(record.attachments.at(0), (MailAttachment{{7, 7, 7}, "application/pdf", "resume.pdf"}));

  composer->finish(MailComposeResult::Failed, Error{"MailErrorDomain", 1, "offline", nullptr, nullptr});
  EXPECT_EQ(listener->results, (std::vector<MailComposeResult>{MailComposeResult::Failed}));
  ASSERT_TRUE(listener->error);
  EXPECT_EQ(listener->error->localizedDescription, "offline");
  EXPECT_EQ(MailComposer::presentedMails().at(0).result, MailComposeResult::Failed);

  MailComposer::setCanSendMail(false);
  EXPECT_FALSE(MailComposer::create()->present());
  MailComposer::reset();

  // A reset takes a composer left on screen off it: it can be shown again, as the only record.
  auto left = MailComposer::create();
  left->setSubject("Again");
  ASSERT_TRUE(left->present());
  MailComposer::reset();
  EXPECT_FALSE(left->isPresented());
  EXPECT_FALSE(MailComposer::presentedComposer());
  EXPECT_TRUE(MailComposer::presentedMails().empty());
  ASSERT_TRUE(left->present());
  EXPECT_EQ(MailComposer::presentedComposer(), left);
  ASSERT_EQ(MailComposer::presentedMails().size(), 1u);
  EXPECT_EQ(MailComposer::presentedMails()[0].subject, "Again");
  MailComposer::reset();
}

}  // namespace
}  // namespace platform
