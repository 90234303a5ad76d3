#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "kit/core/DataLoadAndParser.h"
#include "kit/ui/UIBasicController.h"
#include "kit/ui/UIPlaceHolderTextView.h"

namespace kavro {

class FansUgcForGroupController;

// Told after a post was sent from the community post form.
class FansUgcDelegate {
 public:
  virtual ~FansUgcDelegate() = default;
  virtual void onSubmitSuccessForUgcController(FansUgcForGroupController& ctrl) = 0;
};

// The community post form for a company, presented modally in a navigation controller of its
// own; its target is the company id. Posting needs a login: without one the login screen comes
// first and the post goes out after it. Main thread only.
class FansUgcForGroupController : public UIBasicController, public DataLoadAndParserDelegate {
 public:
  // The kind of object a post is about, as the server's "type" reads it.
  enum class TopicTarget : std::int32_t { Company = 1 };

  static std::shared_ptr<FansUgcForGroupController> openWithCoID(std::string_view coID,
                                                                 std::string_view coName,
                                                                 std::weak_ptr<FansUgcDelegate> delegate);
  ~FansUgcForGroupController() override;

  const std::string& targetID() const { return targetID_; }
  const std::string& targetName() const { return targetName_; }
  std::shared_ptr<FansUgcDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<FansUgcDelegate> d) { delegate_ = std::move(d); }

  void customView() override;
  // The send item: checks the text and the login, then posts.
  void sendTopic();
  bool isSending() const { return loader_ != nullptr; }
  void dataLoader(DataLoadAndParser& loader, const DataItemResult& result) override;

  const std::shared_ptr<UIPlaceHolderTextView>& contentView() const { return contentView_; }

 private:
  std::string targetID_;
  std::string targetName_;
  std::weak_ptr<FansUgcDelegate> delegate_;
  std::shared_ptr<UIPlaceHolderTextView> contentView_;
  std::shared_ptr<DataLoadAndParser> loader_;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  FansUgcForGroupController() = default;
};

KAVRO_CLASS(FansUgcForGroupController, UIBasicController)
    .action("sendTopic", 0, [](FansUgcForGroupController& form, const platform::Arguments&) {
      form.sendTopic();
      return platform::Value();
    });

}  // namespace kavro
