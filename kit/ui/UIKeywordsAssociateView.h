#pragma once
#include <functional>
#include <memory>
#include <string>

#include "kit/core/DataItemDetail.h"
#include "kit/core/DataLoadAndParser.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Button.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/TableView.h"

namespace kavro {

class UIKeywordsAssociateView;

// The host screen of a keyword drop-down.
class UIKeywordsAssociateViewDelegate {
 public:
  virtual ~UIKeywordsAssociateViewDelegate() = default;
  virtual void associateViewPicked(UIKeywordsAssociateView& view, const DataItemDetail& picked) = 0;
  virtual void onFocusAssociateView(UIKeywordsAssociateView& view) = 0;
  virtual void onCloseAssociateView(UIKeywordsAssociateView& view) = 0;
};

// The drop-down of keyword suggestions under a search bar: an abstract base that waits until
// typing pauses for 0.5 s and then asks its subclass to fetch suggestions for the latest text.
// Every keystroke restarts the wait and stops a request still running. The suggestion list
// (associateView) sends its data and selection calls to the subclass. Main thread only.
class UIKeywordsAssociateView : public platform::View,
                                public platform::TableViewDataSource,
                                public platform::TableViewDelegate,
                                public platform::GestureRecognizerDelegate {
 public:
  static constexpr double PauseSeconds = 0.5;
  ~UIKeywordsAssociateView() override;

  // The host calls it from its search bar's text-change callback.
  void changeKeywords(const std::string& text);
  void focusAssociateView();
  void closeAssociateView();
  std::shared_ptr<platform::Button> createFooterButton(platform::Rect frame, const std::string& title,
                                                       std::function<void()> action);
  virtual void changeSkin();

  // Subclass hooks: fetch for loadingKeyword (setting lastKeyword and associateLoader), and fill
  // the list for an empty text.
  virtual void startFetchNewAssociateKeywords() {}
  virtual void showEmptyKeywords() {}

  const std::shared_ptr<platform::TableView>& associateView() const { return associateView_; }
  const std::string& loadingKeyword() const { return loadingKeyword_; }
  const std::string& lastKeyword() const { return lastKeyword_; }
  void setLastKeyword(std::string k) { lastKeyword_ = std::move(k); }
  const std::shared_ptr<platform::Timer>& associateTimer() const { return associateTimer_; }
  const std::shared_ptr<DataLoadAndParser>& associateLoader() const { return associateLoader_; }
  void setAssociateLoader(std::shared_ptr<DataLoadAndParser> loader) { associateLoader_ = std::move(loader); }
  const std::weak_ptr<UIKeywordsAssociateViewDelegate>& delegate() const { return delegate_; }
  void setDelegate(std::weak_ptr<UIKeywordsAssociateViewDelegate> d) { delegate_ = std::move(d); }

  // An empty list by default; subclasses give their rows.
  int numberOfRowsInSection(platform::TableView& tv, int section) override { return 0; }
  std::shared_ptr<platform::TableViewCell> cellForRowAtIndexPath(platform::TableView& tv,
                                                                 const platform::IndexPath& ip) override;
  // Every touch on the list tells the host that the user turned to the suggestions, and still
  // reaches the list.
  std::optional<bool> gestureRecognizerShouldReceiveTouch(platform::GestureRecognizer& gr,
                                                          const platform::Touch& touch) override;

 protected:
  explicit UIKeywordsAssociateView(platform::Rect frame);
  // Runs what the constructor cannot (the list's callbacks, the empty state); factories of
  // subclasses call it once the object is complete.
  void initWithFrame();

 private:
  std::shared_ptr<platform::TableView> associateView_;
  std::string loadingKeyword_;
  std::string lastKeyword_;
  std::shared_ptr<platform::Timer> associateTimer_;
  std::shared_ptr<DataLoadAndParser> associateLoader_;
  std::weak_ptr<UIKeywordsAssociateViewDelegate> delegate_;
};

}  // namespace kavro
