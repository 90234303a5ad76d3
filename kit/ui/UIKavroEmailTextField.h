#pragma once
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kit/core/DataItemDetail.h"
#include "kit/core/DataItemResult.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextField.h"

namespace kavro {

inline constexpr std::string_view UIKavroEmailTextFieldOnSelectedNotification =
    "UIKavroEmailTextFieldOnSelectedNotification";

// Hears that the user picked a suggested address (the notification's object is the field).
class EmailSelectedObserver {
 public:
  virtual ~EmailSelectedObserver() = default;
  virtual void onEmailSelected(const platform::Notification& notification) = 0;
};

// The e-mail input of registration and account forms. While the user types, a drop-down under the
// field offers the typed name with each known mail-domain suffix, narrowed by what follows the
// first "@". The suffixes are a server dictionary fetched once and then kept in the cache database
// ("STORE_CACHE_EMAIL_SUFFIX", "suffix_email") without age limit. Main thread only.
class UIKavroEmailTextField : public platform::TextField,
                              public platform::TableViewDataSource,
                              public platform::TableViewDelegate {
 public:
  static constexpr double MaxListHeight = 165;
  // Fetches the dictionary of the given name and hands over the answer (the application installs
  // the server call; without one nothing is fetched).
  using DictionaryFetcher =
      std::function<void(const std::string& dictName, std::function<void(const DataItemResult&)> done)>;
  static void setDictionaryFetcher(DictionaryFetcher fetcher);

  static std::shared_ptr<UIKavroEmailTextField> create(platform::Rect frame);
  ~UIKavroEmailTextField() override;

  void bindParentView(const std::shared_ptr<platform::View>& parent, double top);
  void registerEmailEventForTarget(const std::shared_ptr<EmailSelectedObserver>& target);
  void removeEmailEventForTarget(const EmailSelectedObserver* target);
  void adjustEmailSuffix();
  void adjustEmailListSize();
  // The dictionary's answer.
  void listViewDataOnReceived(const DataItemResult& result);
  // A row was picked.
  void selectedIndexPath(const platform::IndexPath& ip);

  const std::vector<std::shared_ptr<DataItemDetail>>& fullEmailList() const { return fullEmailList_; }
  const std::vector<std::shared_ptr<DataItemDetail>>& suggestions() const { return suggestions_; }
  const std::shared_ptr<platform::TableView>& emailListView() const { return emailListView_; }
  const std::shared_ptr<platform::ImageView>& emailTipsView() const { return emailTipsView_; }
  platform::Size emailTipsMaxSize() const { return emailTipsMaxSize_; }

  // TableView data source and delegate.
  int numberOfRowsInSection(platform::TableView& tv, int section) override;
  std::shared_ptr<platform::TableViewCell> cellForRowAtIndexPath(platform::TableView& tv,
                                                                 const platform::IndexPath& ip) override;
  std::optional<double> heightForRowAtIndexPath(platform::TableView& tv,
                                                const platform::IndexPath& ip) override;
  void didSelectRowAtIndexPath(platform::TableView& tv, const platform::IndexPath& ip) override;

 private:
  void setUp();
  void hideTips();

  std::vector<std::shared_ptr<DataItemDetail>> fullEmailList_;
  std::vector<std::shared_ptr<DataItemDetail>> suggestions_;
  std::shared_ptr<platform::TableView> emailListView_;
  std::shared_ptr<platform::ImageView> emailTipsView_;
  platform::Size emailTipsMaxSize_;
  std::map<const EmailSelectedObserver*, platform::NotificationCenter::Token> observers_;

 protected:
  explicit UIKavroEmailTextField(platform::Rect frame);
};

}  // namespace kavro
