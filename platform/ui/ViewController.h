#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Responder.h"

namespace platform {

class NavigationController;
class NavigationItem;
class TabBarController;
class TabBarItem;
class View;
class Window;

// The platform's values.
enum class InterfaceOrientation {
  Portrait = 1,
  PortraitUpsideDown = 2,
  LandscapeLeft = 4,
  LandscapeRight = 3
};
enum class ModalTransitionStyle { CoverVertical = 0, FlipHorizontal = 1, CrossDissolve = 2, PartialCurl = 3 };
enum class ModalPresentationStyle { FullScreen = 0, PageSheet = 1, FormSheet = 2, CurrentContext = 3 };

// One screen's controller. Its view is made on first access (loadView, then viewDidLoad; again
// after a memory warning unloaded it while off screen). It hears will/did appear and disappear
// exactly once per transition, parents first: when it becomes a window's root, when a container
// (navigation, tab bar, a parent's child) shows or hides it, and around modal presentations.
// Animated transitions do "will" at once and "did" (and the completion) after the transition's
// duration through the main run loop; a new transition first finishes the one under way.
//
// A modal presentation goes out from the root of the presenting chain (the controller without a
// parent, or the top presented one): the presented controller's view covers the window (the
// application frame unless it wants a full-screen layout); when the presentation has finished the
// presenting view leaves the window, and it comes back before a dismissal starts. Presenting from
// a controller that already presents refuses, as the platform does (nothing happens).
//
// Controllers are made with std::make_shared. Main thread only.
class ViewController : public Responder {
 public:
  // Seconds of an animated push, pop, presentation or dismissal.
  static constexpr double TransitionDuration = 0.35;

  enum class AppearState { Disappeared, Appearing, Appeared, Disappearing };

  ViewController();
  ~ViewController() override;
  ViewController(const ViewController&) = delete;
  ViewController& operator=(const ViewController&) = delete;

  // --- The view -------------------------------------------------------------------------------
  // Loads the view when needed.
  const std::shared_ptr<View>& view();
  bool isViewLoaded() const { return view_ != nullptr; }
  // Takes another view (null unloads: viewWillUnload/viewDidUnload are the caller's business).
  void setView(std::shared_ptr<View> view);
  // Makes the view: the base makes a plain view of the application frame, flexible in width
  // and height.
  virtual void loadView();
  virtual void viewDidLoad() {}
  virtual void viewWillUnload() {}
  virtual void viewDidUnload() {}
  virtual void viewWillAppear(bool animated) {}
  virtual void viewDidAppear(bool animated) {}
  virtual void viewWillDisappear(bool animated) {}
  virtual void viewDidDisappear(bool animated) {}
  virtual void viewWillLayoutSubviews() {}
  virtual void viewDidLayoutSubviews() {}
  // The base unloads the view when it is not in a window (viewWillUnload, view released,
  // viewDidUnload). Called for every live controller on MemoryWarningNotification.
  virtual void didReceiveMemoryWarning();
  // Portrait only by default.
  virtual bool shouldAutorotateToInterfaceOrientation(InterfaceOrientation o) {
    return o == InterfaceOrientation::Portrait;
  }
  InterfaceOrientation interfaceOrientation() const { return InterfaceOrientation::Portrait; }
  AppearState appearState() const { return appearState_; }
  bool isViewVisible() const { return appearState_ == AppearState::Appeared; }

  // --- Titles and items -----------------------------------------------------------------------
  const std::string& title() const { return title_; }
  virtual void setTitle(std::string title);
  // Made on first use; its title follows the controller's title unless set itself.
  const std::shared_ptr<NavigationItem>& navigationItem();
  const std::shared_ptr<TabBarItem>& tabBarItem();
  bool hidesBottomBarWhenPushed() const { return hidesBottomBarWhenPushed_; }
  void setHidesBottomBarWhenPushed(bool v) { hidesBottomBarWhenPushed_ = v; }
  bool wantsFullScreenLayout() const { return wantsFullScreenLayout_; }
  void setWantsFullScreenLayout(bool v) { wantsFullScreenLayout_ = v; }
  bool isEditing() const { return editing_; }
  virtual void setEditing(bool editing, bool animated);

  // --- Containment ----------------------------------------------------------------------------
  std::shared_ptr<ViewController> parentViewController() const { return parent_.lock(); }
  const std::vector<std::shared_ptr<ViewController>>& childViewControllers() const { return children_; }
  // willMoveToParentViewController is the caller's business; didMove is called here.
  void addChildViewController(std::shared_ptr<ViewController> child);
  // Calls didMoveToParentViewController(nullptr)... after removing; willMove is the caller's.
  void removeFromParentViewController();
  virtual void willMoveToParentViewController(ViewController* parent) {}
  virtual void didMoveToParentViewController(ViewController* parent) {}
  // The nearest navigation / tab bar controller among the ancestors (and the presenting chain
  // for a presented controller's children).
  std::shared_ptr<NavigationController> navigationController() const;
  std::shared_ptr<TabBarController> tabBarController() const;

  // --- Modal presentation ---------------------------------------------------------------------
  void presentViewController(std::shared_ptr<ViewController> vc, bool animated,
                             std::function<void()> completion = {});
  void presentModalViewController(std::shared_ptr<ViewController> vc, bool animated) {
    presentViewController(std::move(vc), animated);
  }
  // Sent to the presenting controller, or to the presented one (which asks its presenter): the
  // presented controller (and whatever it presents) goes away.
  void dismissViewControllerAnimated(bool animated, std::function<void()> completion = {});
  void dismissModalViewControllerAnimated(bool animated) { dismissViewControllerAnimated(animated); }
  // What this controller (or the root of its chain) presents; what presents it.
  std::shared_ptr<ViewController> presentedViewController() const;
  std::shared_ptr<ViewController> presentingViewController() const;
  std::shared_ptr<ViewController> modalViewController() const { return presentedViewController(); }
  ModalTransitionStyle modalTransitionStyle() const { return transitionStyle_; }
  void setModalTransitionStyle(ModalTransitionStyle s) { transitionStyle_ = s; }
  ModalPresentationStyle modalPresentationStyle() const { return presentationStyle_; }
  void setModalPresentationStyle(ModalPresentationStyle s) { presentationStyle_ = s; }

  Responder* nextResponder() const override;

  // --- For containers -------------------------------------------------------------------------
  // One appearance transition of this controller and of the children that appear with it.
  void beginAppearanceTransition(bool appearing, bool animated);
  void endAppearanceTransition();
  // Finishes the push, pop or presentation under way at once (did-appear, completion).
  static void finishPendingTransitions();
  // Drops them unrun (tests, with Application::destroySharedApplication).
  static void discardPendingTransitions();

 protected:
  // The children that appear and disappear with this controller: the base answers the children
  // whose views are inside this controller's view.
  virtual std::vector<std::shared_ptr<ViewController>> appearanceChildren() const;
  // Runs fn at once when not animated, else after TransitionDuration through the main run loop;
  // a later finishPendingTransitions() runs it early.
  static void afterTransition(bool animated, std::function<void()> fn);
  // The frame a root or presented controller's view gets in a window.
  Rect rootViewFrame(const Window& w) const;

 private:
  friend class Window;
  std::shared_ptr<ViewController> presentationRoot();

  std::shared_ptr<View> view_;
  std::string title_;
  std::shared_ptr<NavigationItem> navigationItem_;
  std::shared_ptr<TabBarItem> tabBarItem_;
  std::weak_ptr<ViewController> parent_;
  std::vector<std::shared_ptr<ViewController>> children_;
  std::shared_ptr<ViewController> presented_;
  std::weak_ptr<ViewController> presenting_;
  AppearState appearState_ = AppearState::Disappeared;
  bool appearAnimated_ = false;
  std::vector<std::shared_ptr<ViewController>> appearingWith_;
  bool hidesBottomBarWhenPushed_ = false;
  bool wantsFullScreenLayout_ = false;
  bool editing_ = false;
  ModalTransitionStyle transitionStyle_ = ModalTransitionStyle::CoverVertical;
  ModalPresentationStyle presentationStyle_ = ModalPresentationStyle::FullScreen;
  NotificationCenter::Token memoryWarningToken_ = 0;
};

}  // namespace platform
