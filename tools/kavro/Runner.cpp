#include "tools/kavro/Runner.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <istream>
#include <ostream>
#include <set>
#include <sstream>

#include "app/api/ApiDataDict.h"
#include "app/api/ApiJob.h"
#include "app/home/ios_kavroAppDelegate.h"
#include "app/jobquery/JobSearchParam.h"
#include "demo/ApiFixtureServer.h"
#include "kit/core/AppUtil.h"
#include "kit/core/DataHttpConnection.h"
#include "kit/core/DataLoadAndParser.h"
#include "kit/ui/AppControllers.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URL.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Image.h"
#include "platform/location/LocationManager.h"
#include "platform/runtime/ClassRef.h"
#include "platform/system/PushRegistration.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Control.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/GlyphRenderer.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/SearchBar.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/SwipeGestureRecognizer.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/UIDriver.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/ViewDescription.h"
#include "platform/ui/Window.h"

namespace kavro::runner {

namespace {

// Virtual time a settled screen is given for its animations (a push takes 0.35 s).
constexpr double SettleSeconds = 0.5;
// The push service's answer to the registration at launch.
const platform::Data DemoPushToken{0x6b, 0x61, 0x76, 0x72, 0x6f, 0x2d, 0x64, 0x65, 0x6d, 0x6f};

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// The text of an argument: surrounding double quotes go.
std::string unquote(std::string_view s) {
  s = trim(s);
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
  return std::string(s);
}

// Bytes of a typed line a message or an echo repeats; a longer one is cut (at a character's start).
constexpr std::size_t EchoLimit = 400;

std::string cut(std::string_view text) {
  if (text.size() <= EchoLimit) return std::string(text);
  std::size_t end = EchoLimit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end)) + "... (" + std::to_string(text.size() - end) + " bytes more)";
}

// Control characters (an escape sequence typed into a field) shown as \xNN, never sent raw to the
// terminal.
std::string escaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) {
      char code[5];
      std::snprintf(code, sizeof code, "\\x%02X", u);
      out += code;
    } else {
      out += c;
    }
  }
  return out;
}

// First word and the rest.
std::pair<std::string_view, std::string_view> split(std::string_view line) {
  line = trim(line);
  std::size_t space = line.find_first_of(" \t");
  if (space == std::string_view::npos) return {line, {}};
  return {line.substr(0, space), trim(line.substr(space + 1))};
}

std::vector<std::string> words(std::string_view s) {
  std::istringstream in{std::string(s)};
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

// A number a command takes (ids, indexes, points, seconds): finite and within a billion, so that it
// fits an int wherever one is wanted.
std::optional<double> number(std::string_view s) {
  double v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  if (!std::isfinite(v) || std::fabs(v) > 1e9) return std::nullopt;
  return v;
}

// A '#' at the start of a word begins a comment, unless digits follow it ("tap #12").
std::string_view withoutComment(std::string_view line) {
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '#') continue;
    bool wordStart = i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t';
    bool id = i + 1 < line.size() && line[i + 1] >= '0' && line[i + 1] <= '9';
    if (wordStart && !id) return line.substr(0, i);
  }
  return line;
}

bool shown(const platform::View& v) { return !v.isHidden() && v.alpha() > 0; }

// What a person reads on a view.
std::string textOn(const platform::View& v) {
  std::string text = v.displayedText();
  if (text.empty()) {
    if (auto* button = dynamic_cast<const platform::Button*>(&v)) text = button->currentTitle();
  }
  return text;
}

// Every shown view, windows bottom to top, each before its subviews.
void collect(const std::shared_ptr<platform::View>& v, std::vector<std::shared_ptr<platform::View>>& out) {
  if (!shown(*v)) return;
  out.push_back(v);
  for (const auto& sub : v->subviews()) collect(sub, out);
}

std::vector<std::shared_ptr<platform::View>> viewsOnScreen() {
  platform::Application::layoutWindows();
  std::vector<std::shared_ptr<platform::View>> all;
  for (const auto& w : platform::Application::sharedApplication().windows()) collect(w, all);
  return all;
}

template <class T>
bool isKind(const platform::View& v) {
  return dynamic_cast<const T*>(&v) != nullptr;
}

// The platform's kinds of view by name, so that a target names any subclass of them too.
constexpr std::pair<std::string_view, bool (*)(const platform::View&)> PlatformKinds[] = {
    {"SearchBar", isKind<platform::SearchBar>},
    {"TextField", isKind<platform::TextField>},
    {"Button", isKind<platform::Button>},
    {"Label", isKind<platform::Label>},
    {"TableViewCell", isKind<platform::TableViewCell>},
    {"TableView", isKind<platform::TableView>},
    {"ScrollView", isKind<platform::ScrollView>},
};

bool isOfClass(const platform::View& v, std::string_view name) {
  if (v.className() == name) return true;
  for (const auto& [kind, test] : PlatformKinds) {
    if (kind == name) return test(v);
  }
  for (auto cls = platform::classOf(v); cls; cls = cls->superclass()) {
    if (cls->name() == name) return true;
  }
  return false;
}

// The pictures of the resources named name: a file under Images, named without its folder,
// "@2x" or extension (or with its extension), as the screens load it.
std::vector<std::shared_ptr<platform::Image>> picturesNamed(std::string_view name) {
  std::vector<std::shared_ptr<platform::Image>> out;
  auto root = platform::Environment::resourcePath("Images");
  if (!root || name.empty() || name.find('/') != std::string_view::npos) return out;
  namespace fs = std::filesystem;
  std::set<std::string> seen;
  std::error_code ec;
  // Resources are a few hundred files; a folder far larger is not looked through.
  int looked = 0;
  for (fs::recursive_directory_iterator it(*root, ec), end; !ec && it != end && looked < 4096;
       it.increment(ec), ++looked) {
    if (!it->is_regular_file(ec)) continue;
    const fs::path& file = it->path();
    std::string stem = file.stem().string();
    for (std::string_view scale : {"@2x", "@3x"})
      if (stem.ends_with(scale)) stem.resize(stem.size() - scale.size());
    const std::string plain = stem + file.extension().string();
    if (stem != name && plain != name) continue;
    const std::string relative = (fs::path("Images") / fs::relative(file.parent_path(), *root, ec) / plain)
                                     .lexically_normal()
                                     .string();
    if (!seen.insert(relative).second) continue;
    if (auto image = platform::Image::imageNamed(relative)) out.push_back(image);
  }
  return out;
}

// The view shows one of the pictures: a button's picture or background, or an image view's.
bool showsPicture(const platform::View& v, const std::vector<std::shared_ptr<platform::Image>>& pictures) {
  std::vector<std::shared_ptr<platform::Image>> shownImages;
  if (auto* button = dynamic_cast<const platform::Button*>(&v))
    shownImages = {button->currentImage(), button->currentBackgroundImage()};
  else if (auto* image = dynamic_cast<const platform::ImageView*>(&v))
    shownImages = {image->currentImage()};
  for (const auto& on : shownImages) {
    if (!on || !on->bitmap()) continue;
    for (const auto& picture : pictures)
      if (picture->bitmap() && *picture->bitmap() == *on->bitmap()) return true;
  }
  return false;
}

std::shared_ptr<platform::ScrollView> enclosingScrollView(std::shared_ptr<platform::View> v) {
  for (; v; v = v->superview()) {
    if (auto sv = std::dynamic_pointer_cast<platform::ScrollView>(v)) return sv;
  }
  return nullptr;
}

// The row or control a view sits in: a finger on a label lands on whatever that row or control
// puts under it.
std::shared_ptr<platform::View> touchOwner(const std::shared_ptr<platform::View>& v) {
  for (auto p = v; p; p = p->superview()) {
    if (isKind<platform::TableViewCell>(*p) || isKind<platform::Control>(*p)) return p;
  }
  return nullptr;
}

// The view a finger at a point on screen lands on, top window first.
std::shared_ptr<platform::View> hitAt(platform::Point p) {
  const auto& windows = platform::Application::sharedApplication().windows();
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    if (!shown(**it)) continue;
    if (auto hit = (*it)->hitTest((*it)->convertPointFromView(p, nullptr))) return hit;
  }
  return nullptr;
}

// The nearest scroll view around v that scrolls sideways (a pager): a horizontal swipe turns its
// page, whatever scrolls only up and down inside it.
std::shared_ptr<platform::ScrollView> sidewaysScrollView(std::shared_ptr<platform::View> v) {
  for (; v; v = v->superview()) {
    auto sv = std::dynamic_pointer_cast<platform::ScrollView>(v);
    if (sv && sv->isScrollEnabled() && sv->contentSize().width > sv->bounds().size.width) return sv;
  }
  return nullptr;
}

std::optional<unsigned> direction(std::string_view name) {
  if (name == "left") return platform::SwipeDirection::Left;
  if (name == "right") return platform::SwipeDirection::Right;
  if (name == "up") return platform::SwipeDirection::Up;
  if (name == "down") return platform::SwipeDirection::Down;
  return std::nullopt;
}

// Why a finger on the view does nothing; "" when it takes taps. A disabled control anywhere from
// the view up keeps the tap, and so does a view above it that takes no touches (the view itself
// may be a label, which passes touches to what holds it).
std::string whyNotTappable(const platform::View& view) {
  for (const platform::View* v = &view; v; v = v->superviewPointer()) {
    auto* control = dynamic_cast<const platform::Control*>(v);
    if (control && !control->isEnabled())
      return (v == &view ? "" : "its " + v->className() + " ") + std::string("is disabled");
    if ((v != &view || control) && !v->isUserInteractionEnabled())
      return (v == &view ? "" : "its " + v->className() + " ") + std::string("takes no touches");
  }
  return "";
}

// The words of a line; double quotes keep spaces inside a word ("a=b c" or a="b c").
std::vector<std::string> quotedWords(std::string_view s) {
  std::vector<std::string> out;
  std::string word;
  bool inWord = false, inQuotes = false;
  for (char c : s) {
    if (c == '"') {
      inQuotes = !inQuotes;
      inWord = true;
    } else if (!inQuotes && (c == ' ' || c == '\t')) {
      if (inWord) out.push_back(std::move(word));
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) out.push_back(std::move(word));
  return out;
}

// A form value decoded: '+' is a blank, %XX a byte.
std::string formDecoded(std::string_view text) {
  std::string plus(text);
  for (char& c : plus)
    if (c == '+') c = ' ';
  return platform::URL::percentDecode(plus);
}

// One request as the checks see it: the API path and its parameters, query and form body.
struct ApiCall {
  std::string path;
  std::vector<std::pair<std::string, std::string>> params;

  static ApiCall of(const test::RecordedRequest& request) {
    ApiCall call;
    std::string_view target = request.target;
    std::string_view query;
    if (auto mark = target.find('?'); mark != std::string_view::npos) {
      query = target.substr(mark + 1);
      target = target.substr(0, mark);
    }
    if (target.starts_with("/api/")) target.remove_prefix(5);
    call.path = platform::URL::percentDecode(target);
    auto add = [&call](std::string_view form) {
      while (!form.empty()) {
        std::size_t amp = form.find('&');
        std::string_view pair = form.substr(0, amp);
        form = amp == std::string_view::npos ? std::string_view() : form.substr(amp + 1);
        if (pair.empty()) continue;
        std::size_t eq = pair.find('=');
        call.params.emplace_back(formDecoded(pair.substr(0, eq)),
                                 eq == std::string_view::npos ? "" : formDecoded(pair.substr(eq + 1)));
      }
    };
    add(query);
    auto type = request.header("Content-Type");
    if (request.method == "POST" && (!type || type->find("x-www-form-urlencoded") != std::string::npos))
      add(request.body);
    return call;
  }
  bool holds(const std::string& key, const std::string& value) const {
    for (const auto& [k, v] : params)
      if (k == key && v == value) return true;
    return false;
  }
  std::string text() const {
    std::string out = path;
    for (std::size_t i = 0; i < params.size(); ++i)
      out += (i ? "&" : "?") + params[i].first + "=" + params[i].second;
    return out;
  }
};

// Waits for one loader's report.
class Wait : public DataLoadAndParserDelegate {
 public:
  std::shared_ptr<DataItemResult> result;
  void dataLoader(DataLoadAndParser&, const DataItemResult& r) override {
    result = std::make_shared<DataItemResult>(r);
  }
};

}  // namespace

std::string withoutUserInfo(std::string_view url) {
  const std::size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return std::string(url);
  const std::size_t host = scheme + 3;
  const std::size_t end = std::min(url.find_first_of("/?#", host), url.size());
  const std::size_t at = url.substr(host, end - host).rfind('@');
  if (at == std::string_view::npos) return std::string(url);
  return std::string(url.substr(0, host)) + std::string(url.substr(host + at + 1));
}

void Runner::giveToUser(const std::string& path) const {
  ::chmod(path.c_str(), static_cast<mode_t>(options_.pictureMode & 0666));
}

Runner::Runner(Options options, std::ostream& out, std::ostream& err)
    : options_(std::move(options)), out_(out), err_(err) {
  static std::atomic<std::uint64_t> made{0};
  serial_ = ++made;
}

Runner::~Runner() {
  if (!started_) return;
  ios_kavroAppDelegate::destroySharedServices();
  delegate_.reset();
  platform::RunLoop::main().discardAll();
  platform::RunLoop::main().setClock(platform::Clock::real());
  platform::Snapshot::setGlyphRenderer(nullptr);
  platform::LocationDevice::reset();
  if (demo_) demo_->stop();
}

bool Runner::start() {
  std::string api = options_.apiUrl;
  if (api.empty()) {
    demo_ = std::make_unique<test::ApiFixtureServer>(options_.demoRoot);
    demo_->setAnswerUnknownCallsAsServer(true);
    api = demo_->hostUrl();
  }
  platform::Environment::setApiHostUrl(api);
  clock_ = std::make_shared<platform::VirtualClock>(platform::Clock::real()->now());
  platform::RunLoop::main().setClock(clock_);
  platform::PushRegistration::sharedPushRegistration().setAnswer(DemoPushToken);
  // The device stands where the demo jobs are: Shanghai, People's Square.
  platform::LocationDevice::setCurrentLocation({31.2304, 121.4737, 10, clock_->now()});
  // Pictures for people: real glyphs when a CJK font is installed (tools/deps.sh installs one).
  auto glyphs = platform::GlyphRenderer::systemFont();
  if (!glyphs)
    err_ << "kavro: no CJK font found (fonts-wqy-microhei, or $KAVRO_FONT): snapshots draw text as boxes\n";
  platform::Snapshot::setGlyphRenderer(glyphs);

  auto& app = platform::Application::sharedApplication();
  delegate_ = std::make_shared<ios_kavroAppDelegate>();
  app.setDelegate(delegate_);
  started_ = true;
  if (!app.launch()) {
    err_ << "kavro: the application did not start\n";
    return false;
  }
  if (!waitUntilIdle()) {
    err_ << "kavro: " << waitFailure("the start did not settle") << "\n";
    return false;
  }
  return true;
}

namespace {
double patience = 60;
// Set by a signal handler: the waits of the command under way give up.
std::atomic<bool> interruptFlag{false};
// Set with it, and kept across commands: a script stops at the next line.
std::atomic<bool> stopFlag{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
}  // namespace

bool Runner::interruptRequested() { return interruptFlag.load(std::memory_order_relaxed); }

void Runner::interrupt() {
  interruptFlag.store(true, std::memory_order_relaxed);
  stopFlag.store(true, std::memory_order_relaxed);
}

namespace {

// Seconds of real time in words: whole ones, tenths below ten.
std::string realSeconds(double seconds) {
  std::ostringstream text;
  text << (seconds < 10 ? std::round(seconds * 10) / 10 : std::round(seconds)) << " s";
  return text.str();
}

}  // namespace

std::string Runner::waitFailure(std::string_view what) const {
  if (interrupted_) return std::string(what) + ": interrupted";
  // The time a person waited, not the virtual time the wait ran the application's clock.
  return std::string(what) + ": still waiting after " + realSeconds(waitedSeconds_) + " for " + stillOpen_;
}

double Runner::requestPatience() { return patience; }

void Runner::setRequestPatience(double seconds) { patience = seconds; }

std::vector<Runner::OpenRequestCheck>& Runner::OpenRequestChecks() {
  static std::vector<OpenRequestCheck> checks;
  return checks;
}

void Runner::addOpenRequestCheck(OpenRequestCheck check) { OpenRequestChecks().push_back(std::move(check)); }

std::string Runner::openRequests() {
  std::string open;
  if (AppUtil::isNetworkIndicatorVisible())
    open = "requests to the API host at " + withoutUserInfo(platform::Environment::apiHostUrl());
  for (const OpenRequestCheck& check : OpenRequestChecks()) {
    std::string more = check();
    if (!more.empty()) open += (open.empty() ? "" : "; ") + more;
  }
  return open;
}

bool Runner::passHoldingTime() {
  // An answer on a socket or work posted by another thread ends the wait at once; a short one,
  // since other threads' work (the map engine's) is looked at between passes.
  return platform::RunLoop::main().runOnceHoldingClock(0.002);
}

bool Runner::advance(double seconds, std::chrono::steady_clock::time_point giveUp) {
  auto& loop = platform::RunLoop::main();
  const double end = loop.now() + seconds;
  while (loop.now() < end) {
    if (interruptFlag.load(std::memory_order_relaxed)) {
      interrupted_ = true;
      return false;
    }
    if (std::string open = openRequests(); !open.empty()) {
      if (std::chrono::steady_clock::now() > giveUp) {
        stillOpen_ = open;
        return false;
      }
      passHoldingTime();
      continue;
    }
    loop.runOnce(std::min(0.05, end - loop.now()));
  }
  // What falls due exactly at the end.
  loop.runOnce(0);
  return true;
}

bool Runner::waitUntilIdle(double extraSeconds) {
  const auto begun = std::chrono::steady_clock::now();
  waitedSeconds_ = 0;
  const bool settled = settle(extraSeconds, begun);
  waitedSeconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
  // What the interrupt stopped waiting for is given up, as a person leaving the wait would: the
  // application hears its requests fail as cancelled, and the next command does not wait for them.
  if (interrupted_ && AppUtil::isNetworkIndicatorVisible()) DataHttpConnection::cancelOpenConnections();
  return settled;
}

bool Runner::settle(double extraSeconds, std::chrono::steady_clock::time_point begun) {
  auto& loop = platform::RunLoop::main();
  stillOpen_.clear();
  interrupted_ = false;
  const auto giveUp = begun + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                  std::chrono::duration<double>(requestPatience()));
  auto timedOut = [&] {
    if (interruptFlag.load(std::memory_order_relaxed)) {
      interrupted_ = true;
      return true;
    }
    if (std::chrono::steady_clock::now() <= giveUp) return false;
    stillOpen_ = openRequests();
    if (stillOpen_.empty()) stillOpen_ = "work that kept coming";
    return true;
  };
  // A settled screen may start loading (a screen loads when it appears), so settle until a round
  // starts no request.
  for (int round = 0; round < 20; ++round) {
    int quiet = 0;
    while (quiet < 2) {
      // While an API request is open the clock stands (its time-out runs on it); otherwise small
      // steps: a pass with open sockets polls them for real before virtual time moves.
      bool waiting = AppUtil::isNetworkIndicatorVisible();
      bool busy = waiting ? passHoldingTime() : loop.runOnce(0.05);
      quiet = (busy || waiting) ? 0 : quiet + 1;
      if (timedOut()) return false;
    }
    if (!advance(SettleSeconds, giveUp)) return false;
    if (!AppUtil::isNetworkIndicatorVisible() && !loop.runOnce(0)) break;
  }
  if (extraSeconds > 0 && !advance(extraSeconds, giveUp)) return false;
  return true;
}

// ---- Commands ----------------------------------------------------------------------------------

std::vector<Runner::CommandExtension>& Runner::Extensions() {
  static std::vector<CommandExtension> extensions;
  return extensions;
}

void Runner::addCommandExtension(CommandExtension extension) { Extensions().push_back(std::move(extension)); }

// Kept whole, as the extensions keep theirs: it is cut once where it is printed, so the count of
// bytes left out is of the message itself.
Outcome Runner::fail(const std::string& message) {
  message_ = message;
  return Outcome::Failed;
}

Outcome Runner::usage(const std::string& message) {
  message_ = message;
  return Outcome::Usage;
}

Outcome Runner::afterAction(bool done, std::string_view what) {
  if (!done) return fail(std::string(what) + ": " + platform::UIDriver::lastError());
  if (!waitUntilIdle()) return fail(waitFailure(what));
  return Outcome::Done;
}

Outcome Runner::execute(std::string_view line) {
  // A Ctrl-C before the command began was meant for the line being typed.
  interruptFlag.store(false, std::memory_order_relaxed);
  Outcome o = run(line);
  if (o != Outcome::Done)
    err_ << "kavro: " << (o == Outcome::Usage ? "usage: " : "") << escaped(cut(message_)) << "\n";
  return o;
}

Outcome Runner::run(std::string_view line) {
  message_.clear();
  line = withoutComment(line);
  auto [command, rest] = split(line);
  // "quit" ends a session or a script where those read it; given alone, there is nothing to end.
  if (command.empty()) return Outcome::Done;
  if (command == "quit") return rest.empty() ? Outcome::Done : usage("quit (it takes no words)");
  if (command == "show") return rest.empty() ? show() : usage("show (it takes no words)");
  if (command == "tap") return rest.empty() ? usage("tap #ID | @X,Y | TEXT") : tap(unquote(rest));
  if (command == "type") return rest.empty() ? usage("type TEXT") : type(unquote(rest));
  if (command == "return") return afterAction(platform::UIDriver::pressReturn(), "return");
  if (command == "back") return back();
  if (command == "swipe") return swipe(rest);
  if (command == "scroll") return scroll(rest);
  if (command == "alert") {
    auto index = number(rest);
    if (!index || *index < 0 || *index != int(*index))
      return usage("alert INDEX (a button's number, from 0)");
    return afterAction(platform::UIDriver::answerAlert(int(*index)), "alert");
  }
  if (command == "wait") {
    auto seconds = rest.empty() ? std::optional<double>(0) : number(rest);
    if (!seconds || *seconds < 0 || *seconds > 86400) return usage("wait [SECONDS] (0 to 86400)");
    if (!waitUntilIdle(*seconds)) return fail(waitFailure("wait"));
    return Outcome::Done;
  }
  if (command == "snap") return rest.empty() ? usage("snap FILE.png") : snap(unquote(rest));
  if (command == "expect") return expect(rest);
  if (command == "clear") return clear(rest);
  if (command == "search") return search(words(rest));
  if (command == "job") return job(words(rest));
  for (const CommandExtension& extension : Extensions()) {
    if (std::optional<Outcome> o = extension(*this, command, rest, message_, out_)) return *o;
  }
  return usage(
      "unknown command \"" + std::string(command) +
      "\"; commands: show, tap, type, clear, return, swipe, scroll, back, alert, wait, snap, expect, search, "
      "job, map, quit");
}

namespace {

// The most a script file may hold: it is read whole before its first line runs.
constexpr std::streamoff ScriptLimit = std::streamoff(4) << 20;

bool blank(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// The picture a "snap" or "map snap" line writes; "" for other lines.
std::string pictureOf(std::string_view line) {
  auto [command, rest] = split(withoutComment(line));
  if (command == "map") {
    auto [sub, file] = split(rest);
    command = sub;
    rest = file;
  }
  return command == "snap" && !rest.empty() ? unquote(rest) : "";
}

// A first-time guide's picture: written only where the guide shows, the first time its screen opens.
bool isGuidePicture(std::string_view picture) { return picture.ends_with("-guide.png"); }

}  // namespace

std::optional<Outcome> Runner::readScriptFile(std::istream& in, std::string_view name, std::string& text) {
  // Asked of the buffer: the stream's own seeks would move past what a file that grows now holds.
  std::streambuf* buffer = in.rdbuf();
  if (!buffer) return std::nullopt;
  const std::streampos start = buffer->pubseekoff(0, std::ios::cur, std::ios::in);
  if (start == std::streampos(-1)) return std::nullopt;
  const std::streampos size = buffer->pubseekoff(0, std::ios::end, std::ios::in);
  if (size == std::streampos(-1) || buffer->pubseekpos(start, std::ios::in) != start) return std::nullopt;
  const std::streamoff length = size - start;
  if (length > ScriptLimit) {
    err_ << "kavro: " << name << ": the script is larger than " << (ScriptLimit >> 20) << " MiB\n";
    return Outcome::Failed;
  }
  text.resize(static_cast<std::size_t>(length));
  in.read(text.data(), length);
  const std::streamoff got = in.gcount();
  const bool more = in.peek() != std::char_traits<char>::eof();
  in.clear();
  // A device that seeks but tells no size (/dev/zero) is read as a stream is.
  if (length == 0 && more && buffer->pubseekpos(start, std::ios::in) == start) return std::nullopt;
  const std::streampos after = buffer->pubseekoff(0, std::ios::end, std::ios::in);
  // Written while we read it (a build copying it in place): what we have may be any part of it. A
  // rewrite of the same length shows only in the content: it is read a second time, and must read
  // the same.
  bool same = got == length && !more && after == size;
  if (same && buffer->pubseekpos(start, std::ios::in) == start) {
    std::string again(static_cast<std::size_t>(length), '\0');
    in.read(again.data(), length);
    same = in.gcount() == length && again == text;
    in.clear();
  }
  if (!same) {
    if (got != length || more || after != size)
      err_ << "kavro: " << name << ": the file changed while it was read (" << length << " bytes, then "
           << (more ? std::streamoff(after - start) : got) << "); run it again once it is written\n";
    else
      err_ << "kavro: " << name << ": the file changed while it was read (its content, at the same length of "
           << length << " bytes); run it again once it is written\n";
    return Outcome::Failed;
  }
  if (blank(text)) {
    err_ << "kavro: " << name << ": the script is empty\n";
    return Outcome::Failed;
  }
  // Every line of a script file ends with a newline: one ending inside a line was cut short.
  if (text.back() != '\n') {
    const auto lines = std::count(text.begin(), text.end(), '\n') + 1;
    err_ << "kavro: " << name << ":" << lines
         << ": the file ends inside this line, as one cut short does (every line of a script ends with a "
            "newline)\n";
    return Outcome::Failed;
  }
  return Outcome::Done;
}

Outcome Runner::runScript(std::istream& in, std::string_view name) { return runLines(in, name, false); }

Outcome Runner::runTour(std::istream& in, std::string_view name) { return runLines(in, name, true); }

Outcome Runner::runLines(std::istream& stream, std::string_view name, bool tour) {
  // A file is read whole before it runs: one cut short or rewritten under us runs nothing.
  std::string whole;
  std::optional<Outcome> file = readScriptFile(stream, name, whole);
  if (file && *file != Outcome::Done) return *file;
  std::istringstream text(whole);
  std::istream& in = file ? static_cast<std::istream&>(text) : stream;
  // A script's own signals count from its start; one during a line stops it at that line.
  interruptFlag.store(false, std::memory_order_relaxed);
  stopFlag.store(false, std::memory_order_relaxed);

  std::string line;
  int number = 0;
  int skipping = 0;  // depth of "if" blocks being skipped
  int depth = 0;
  std::vector<int> openIfs;  // the lines of the "if"s not ended yet
  bool anything = false;
  // The tour's pictures: where each is, whether it was written, and why not.
  struct Picture {
    int line;
    std::string name;
    bool written = false;
    std::string missedBecause;
  };
  std::vector<Picture> pictures;
  std::string skippedBecause;  // the "if" that skips the lines now
  int quitAt = 0;              // the tour's "quit": the lines after it are only looked at
  // A line of a stream is held to the limit of a whole file; a NUL byte is no text (/dev/zero).
  auto nextLine = [&in, &line] {
    line.clear();
    for (int c; (c = in.get()) != std::char_traits<char>::eof();) {
      if (c == '\n') return true;
      line += static_cast<char>(c);
      if (c == 0 || line.size() > std::size_t(ScriptLimit)) return true;
    }
    return !line.empty();
  };
  while (nextLine()) {
    ++number;
    // An editor's byte-order mark before the first command is not part of it.
    if (number == 1 && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
    if (line.find('\0') != std::string::npos || line.size() > std::size_t(ScriptLimit)) {
      err_ << "kavro: " << name << ":" << number
           << (line.size() > std::size_t(ScriptLimit)
                   ? ": the line is longer than " + std::to_string(ScriptLimit >> 20) + " MiB"
                   : std::string(": the line holds a NUL byte: the script is no text"))
           << "\n";
      return Outcome::Failed;
    }
    anything = anything || !blank(line);
    auto [command, rest] = split(withoutComment(line));
    if (command.empty() || command.front() == '#') continue;
    auto where = [&] { return std::string(name) + ":" + std::to_string(number) + ": "; };
    std::string picture = tour ? pictureOf(line) : "";
    if (!picture.empty()) {
      std::string why =
          quitAt ? "the tour ended at its \"quit\" on line " + std::to_string(quitAt) : skippedBecause;
      pictures.push_back(Picture{number, picture, false, why});
    }
    if (quitAt) continue;
    if (command == "end") {
      if (depth == 0) {
        err_ << "kavro: " << where() << "\"end\" without \"if\"\n";
        return Outcome::Failed;
      }
      --depth;
      openIfs.pop_back();
      if (skipping > 0 && --skipping == 0) skippedBecause.clear();
      continue;
    }
    if (command == "if") {
      if (rest.empty()) {
        err_ << "kavro: " << where() << "usage: if TARGET (then the lines to run, then \"end\")\n";
        return Outcome::Failed;
      }
      ++depth;
      openIfs.push_back(number);
      if (skipping > 0) {
        ++skipping;
        continue;
      }
      std::string why;
      if (!find(unquote(rest), &why)) {
        out_ << "> " << escaped(cut(trim(line))) << "  (not on screen: skipped)\n";
        skipping = 1;
        skippedBecause = platform::quoted(std::string(trim(withoutComment(line)))) + " on line " +
                         std::to_string(number) + " found nothing on screen";
      }
      continue;
    }
    if (command == "quit") {
      // A script ends where it ends, not somewhere inside a block that may be skipped.
      if (depth > 0) {
        err_ << "kavro: " << where() << "usage: \"quit\" inside \"if\"; end the block first\n";
        return Outcome::Failed;
      }
      // The tour's pictures after it are still looked for: each is one it did not write.
      if (!tour || !file) break;
      quitAt = number;
      continue;
    }
    if (skipping > 0) continue;
    // A signal between two commands, or during one that was waiting for nothing, stops the script.
    if (stopFlag.load(std::memory_order_relaxed)) {
      err_ << "kavro: " << where() << "interrupted before this line\n";
      return Outcome::Failed;
    }
    out_ << "> " << escaped(cut(trim(line))) << "\n" << std::flush;
    Outcome o = run(line);
    out_ << std::flush;
    if (o != Outcome::Done) {
      err_ << "kavro: " << where() << (o == Outcome::Usage ? "usage: " : "") << escaped(cut(message_))
           << "\n";
      return Outcome::Failed;
    }
    // The output that took nothing more: what follows would be lost as well.
    if (!out_.good()) {
      err_ << "kavro: " << where() << "cannot write to " << options_.outputName << "\n";
      outputFailureSaid_ = true;
      return Outcome::Failed;
    }
    if (!picture.empty()) pictures.back().written = true;
  }
  if (in.bad()) {
    err_ << "kavro: " << name << ": reading stopped at line " << number << "\n";
    return Outcome::Failed;
  }
  if (depth > 0) {
    err_ << "kavro: " << name << ":" << openIfs.back() << ": \"if\" without \"end\"\n";
    return Outcome::Failed;
  }
  // Read to its end without a command or comment: nothing was run that was meant to be.
  if (!anything) {
    err_ << "kavro: " << name << ": the script is empty\n";
    return Outcome::Failed;
  }
  for (const Picture& p : pictures) {
    if (p.written || isGuidePicture(p.name)) continue;
    err_ << "kavro: " << name << ":" << p.line << ": the tour did not write " << escaped(cut(p.name)) << ": "
         << escaped(cut(p.missedBecause)) << "\n";
    return Outcome::Failed;
  }
  return Outcome::Done;
}

namespace {

constexpr std::string_view CommandList =
    "show | tap #ID|@X,Y|TEXT | type TEXT | clear | return | swipe left|right|up|down [TARGET] |\n"
    "scroll DY [TARGET] | back | alert INDEX | wait [SECONDS] | snap FILE |\n"
    "expect [no] TEXT | expect enabled|disabled TARGET | expect [no] request PATH [KEY=VALUE...] |\n"
    "clear requests | search ... | job ID | map ... | quit   (kavro --help tells more)\n";

}  // namespace

void Runner::interact(const LineReader& next, bool greeting) {
  if (greeting) out_ << describeScreen() << "Commands: " << CommandList << std::flush;
  std::string line;
  while (next(line)) {
    auto [command, rest] = split(line);
    if (command == "quit" || command == "exit") break;
    if (command == "help") {
      out_ << CommandList << std::flush;
      continue;
    }
    execute(line);
    out_ << std::flush;
  }
}

void Runner::interact(std::istream& in, bool prompt) {
  interact(
      [&](std::string& line) {
        if (prompt) out_ << "kavro> " << std::flush;
        return bool(std::getline(in, line));
      },
      prompt);
}

Outcome Runner::show() {
  out_ << describeScreen();
  return Outcome::Done;
}

std::string Runner::describeScreen() {
  std::string out;
  platform::Application::layoutWindows();
  for (const auto& w : platform::Application::sharedApplication().windows()) {
    if (shown(*w)) describe(w, 0, out);
  }
  return out;
}

int Runner::idOf(const std::shared_ptr<platform::View>& view) {
  auto it = ids_.find(view.get());
  if (it != ids_.end() && !it->second.view.expired()) return it->second.id;
  int id = nextId_++;
  ids_[view.get()] = Known{view, id};
  return id;
}

void Runner::describe(const std::shared_ptr<platform::View>& v, int depth, std::string& out) {
  if (!shown(*v)) return;
  out.append(std::size_t(depth) * 2, ' ');
  out += "#" + std::to_string(idOf(v)) + " " + v->className() + " ";
  out += platform::formatRect(v->convertRectToView(v->bounds(), nullptr));
  if (auto vc = v->viewController()) out += " <" + AppControllers::classNameOf(*vc) + ">";
  if (auto* cell = dynamic_cast<platform::TableViewCell*>(v.get())) {
    if (auto table = cell->tableView()) {
      if (auto ip = table->indexPathForCell(cell))
        out += " row=" + std::to_string(ip->section) + "." + std::to_string(ip->row);
    }
  }
  std::vector<std::string> facts;
  v->describeProperties(facts);
  for (const auto& f : facts) out += " " + escaped(f);
  out += '\n';
  for (const auto& sub : std::vector<std::shared_ptr<platform::View>>(v->subviews()))
    describe(sub, depth + 1, out);
}

std::string Runner::screenTexts() {
  std::vector<std::string> texts;
  std::set<std::string> seen;
  for (const auto& v : viewsOnScreen()) {
    std::string t = textOn(*v);
    if (t.empty() || platform::UIDriver::visibleRect(*v).isEmpty() || !seen.insert(t).second) continue;
    texts.push_back(platform::quoted(t));
  }
  std::string message = "on screen:";
  const std::size_t shownTexts = 24;
  for (std::size_t i = 0; i < texts.size() && i < shownTexts; ++i) message += (i ? ", " : " ") + texts[i];
  if (texts.empty()) message += " no text";
  if (texts.size() > shownTexts) message += ", ... (" + std::to_string(texts.size() - shownTexts) + " more)";
  return message;
}

std::string Runner::nothingNamed(std::string_view target) {
  return "nothing on screen is " + platform::quoted(target) + "; " + screenTexts();
}

std::shared_ptr<platform::View> Runner::find(std::string_view target, std::string* why) {
  if (target.size() > 1 && target.front() == '#') {
    auto id = number(target.substr(1));
    if (id) {
      for (const auto& [ptr, known] : ids_) {
        if (known.id != int(*id)) continue;
        auto v = known.view.lock();
        if (v && v->window() && shown(*v)) return v;
      }
    }
    *why = "no view " + std::string(target) + " on screen (\"show\" lists the ids)";
    return nullptr;
  }
  auto matches = platform::UIDriver::findViews(target);
  if (!matches.empty()) {
    // A title that reads like a button (the screen's title "登录" over its button "登录"): the
    // button or row a person would tap goes first, among matches alike in exactness.
    auto exact = [&](const platform::View& v) {
      return v.displayedText() == target || v.accessibilityLabel() == target;
    };
    const bool firstExact = exact(*matches.front());
    for (const auto& v : matches) {
      if (exact(*v) != firstExact) break;
      if (touchOwner(v) && whyNotTappable(*v).empty()) return v;
    }
    return matches.front();
  }
  for (const auto& v : viewsOnScreen()) {
    if (isOfClass(*v, target)) return v;
  }
  // A button showing only a picture is named by the picture's name.
  if (auto pictures = picturesNamed(target); !pictures.empty()) {
    for (const auto& v : viewsOnScreen()) {
      if (showsPicture(*v, pictures) && !platform::UIDriver::visibleRect(*v).isEmpty()) return v;
    }
  }
  *why = nothingNamed(target);
  return nullptr;
}

std::shared_ptr<platform::View> Runner::target(std::string_view argument, std::string_view command) {
  std::string why;
  auto v = find(unquote(argument), &why);
  if (!v) fail(std::string(command) + ": " + why);
  return v;
}

namespace {

// Why the finger found no point of a view: the platform names a modal alert or action sheet by the
// window it stands in, a person by the alert itself.
std::string touchFailure() {
  std::string why = platform::UIDriver::lastError();
  constexpr std::string_view window = " is covered by Window";
  if (!why.ends_with(window)) return why;
  const auto& windows = platform::Application::sharedApplication().windows();
  for (auto w = windows.rbegin(); w != windows.rend(); ++w) {
    if (!shown(**w)) continue;
    std::vector<std::shared_ptr<platform::View>> inside;
    collect(*w, inside);
    for (const auto& v : inside) {
      std::string title;
      if (auto* alert = dynamic_cast<platform::AlertView*>(v.get()))
        title = alert->title().empty() ? alert->message() : alert->title();
      else if (auto* sheet = dynamic_cast<platform::ActionSheet*>(v.get()))
        title = sheet->title();
      else
        continue;
      why.resize(why.size() - std::string_view("Window").size());
      return why + v->className() + (title.empty() ? "" : " " + platform::quoted(title));
    }
    break;
  }
  return why;
}

// The platform's views that do nothing with a tap of their own; a class of the application may.
bool isInert(const platform::View& v) {
  static const std::set<std::string, std::less<>> inert = {
      "View", "Window", "ImageView", "Label", "ScrollView", "TableView", "NavigationBar", "Toolbar"};
  return inert.contains(v.className());
}

// Why a finger landing on the view does nothing; "" when the view or one around it takes the tap:
// an enabled control, a row, a gesture recognizer, or a view of the application's own.
std::string whyTapDoesNothing(const std::shared_ptr<platform::View>& hit) {
  for (platform::View* v = hit.get(); v; v = v->superviewPointer()) {
    if (auto* control = dynamic_cast<platform::Control*>(v)) {
      if (control->isEnabled()) return "";
      return v->className() + (textOn(*v).empty() ? "" : " " + platform::quoted(textOn(*v))) + " is disabled";
    }
    if (isKind<platform::TableViewCell>(*v) || !isInert(*v)) return "";
    for (const auto& g : v->gestureRecognizers())
      if (g->isEnabled()) return "";
  }
  return "nothing there takes a tap";
}

}  // namespace

Outcome Runner::tap(std::string_view target) {
  if (target.size() > 1 && target.front() == '@') {
    auto comma = target.find(',');
    std::optional<double> x, y;
    if (comma != std::string_view::npos) {
      x = number(trim(target.substr(1, comma - 1)));
      y = number(trim(target.substr(comma + 1)));
    }
    if (!x || !y) return usage("tap @X,Y (points on screen)");
    // A point off the screen would only find nothing there; the reason is the point itself.
    const platform::Rect screen = platform::Screen::mainScreen().bounds();
    if (!screen.containsPoint({*x, *y})) {
      std::ostringstream text;
      text << "tap " << target << ": the point is off the screen of " << screen.size.width << " x "
           << screen.size.height << " points (0 <= x < " << screen.size.width << ", 0 <= y < "
           << screen.size.height << ")";
      return fail(text.str());
    }
    auto hit = hitAt({*x, *y});
    std::string why = hit ? whyTapDoesNothing(hit) : "nothing is there";
    if (!why.empty()) return fail("tap " + std::string(target) + ": " + why);
    return afterAction(platform::UIDriver::tapAt({*x, *y}), "tap");
  }
  auto v = this->target(target, "tap");
  if (!v) return Outcome::Failed;
  // The finger goes where the view shows, not onto a control over it (a row's check box over the
  // start of a short title).
  auto point = platform::UIDriver::touchPoint(*v);
  if (!point) return fail("tap " + platform::quoted(unquote(target)) + ": " + touchFailure());
  if (auto hit = hitAt(*point)) {
    if (std::string why = whyTapDoesNothing(hit); !why.empty())
      return fail("tap " + platform::quoted(unquote(target)) + ": " + why);
  }
  // A text names the view that shows it whole, else one whose text holds it: which one was tapped
  // is said then, as the part may stand in several texts.
  const std::string wanted = unquote(target);
  std::string whole;
  if (!wanted.starts_with('#') && v->displayedText() != wanted && v->accessibilityLabel() != wanted) {
    if (v->displayedText().find(wanted) != std::string::npos)
      whole = v->displayedText();
    else if (v->accessibilityLabel().find(wanted) != std::string::npos)
      whole = v->accessibilityLabel();
  }
  const Outcome tapped = afterAction(platform::UIDriver::tapAt(*point), "tap");
  if (!whole.empty() && tapped == Outcome::Done)
    out_ << "tap: " << escaped(cut(platform::quoted(wanted))) << " is part of "
         << escaped(cut(platform::quoted(whole))) << ", which it tapped\n";
  return tapped;
}

Outcome Runner::back() {
  if (platform::UIDriver::back()) return afterAction(true, "back");
  std::string why = platform::UIDriver::lastError();
  // A screen opened from the home screen has no back button: its left item leads home.
  auto all = viewsOnScreen();
  for (auto it = all.rbegin(); it != all.rend(); ++it) {
    if (!dynamic_cast<platform::NavigationBar*>(it->get())) continue;
    double middle = (*it)->bounds().size.width / 2;
    for (const auto& sub : (*it)->subviews()) {
      if (shown(*sub) && dynamic_cast<platform::Button*>(sub.get()) && sub->frame().maxX() <= middle)
        return afterAction(platform::UIDriver::tap(*sub), "back");
    }
    break;
  }
  return fail("back: " + why);
}

Outcome Runner::swipe(std::string_view args) {
  auto [dirName, rest] = split(args);
  auto dir = direction(dirName);
  if (!dir) return usage("swipe left|right|up|down [TARGET]");
  std::shared_ptr<platform::View> v;
  if (!rest.empty()) {
    if (!(v = target(rest, "swipe"))) return Outcome::Failed;
  } else {
    auto all = viewsOnScreen();
    for (auto it = all.rbegin(); it != all.rend() && !v; ++it) {
      if (dynamic_cast<platform::ScrollView*>(it->get()) && !platform::UIDriver::visibleRect(**it).isEmpty())
        v = *it;
    }
    if (!v && !all.empty()) v = all.back();
    if (!v) return fail("swipe: nothing on screen");
  }
  // The finger goes down on it, not on what covers it.
  if (!platform::UIDriver::touchPoint(*v)) return fail("swipe: " + touchFailure());
  bool sideways = *dir == platform::SwipeDirection::Left || *dir == platform::SwipeDirection::Right;
  if (auto pager = sideways ? sidewaysScrollView(v) : nullptr) {
    // A finger swiping left brings the next page in: one page width further.
    double width = pager->bounds().size.width;
    double x = pager->contentOffset().x + (*dir == platform::SwipeDirection::Left ? width : -width);
    if (x < 0 || x + width > pager->contentSize().width + 0.5)
      return fail("swipe: no page further " + std::string(dirName) + " in the " + pager->className());
    return afterAction(platform::UIDriver::scrollBy(*pager, {x - pager->contentOffset().x, 0}), "swipe");
  }
  return afterAction(platform::UIDriver::swipe(*v, *dir), "swipe");
}

Outcome Runner::scroll(std::string_view args) {
  auto [amount, rest] = split(args);
  auto dy = number(amount);
  if (!dy) return usage("scroll DY [TARGET] (points; positive shows what is further down)");
  std::shared_ptr<platform::ScrollView> sv;
  std::shared_ptr<platform::View> at;  // where the finger goes down
  if (!rest.empty()) {
    at = target(rest, "scroll");
    if (!at) return Outcome::Failed;
    sv = enclosingScrollView(at);
    if (!sv) return fail("scroll: " + platform::quoted(unquote(rest)) + " is in no scroll view");
  } else {
    for (const auto& v : viewsOnScreen()) {
      if ((sv = std::dynamic_pointer_cast<platform::ScrollView>(v)) &&
          !platform::UIDriver::visibleRect(*sv).isEmpty())
        break;
      sv = nullptr;
    }
    if (!sv) return fail("scroll: " + nothingNamed("a scroll view"));
    at = sv;
  }
  if (!platform::UIDriver::touchPoint(*at)) return fail("scroll: " + touchFailure());
  return afterAction(platform::UIDriver::scrollBy(*sv, {0, *dy}), "scroll");
}

Outcome Runner::snap(std::string_view path) {
  std::filesystem::path file(path);
  if (file.is_relative()) file = std::filesystem::path(options_.snapshotDir) / file;
  auto image = platform::Snapshot::imageOfScreen();
  platform::Error error;
  if (!image) return fail("snap: the screen could not be drawn");
  if (!platform::Snapshot::writePNG(*image, file.string(), &error)) {
    // The reason alone: the file's own words already name it.
    std::string reason = error.localizedDescription;
    const std::string named = "\"" + file.string() + "\": ";
    if (auto at = reason.find(named); at != std::string::npos) reason.erase(0, at + named.size());
    return fail("snap: cannot write " + file.string() + ": " + reason);
  }
  giveToUser(file.string());
  out_ << "wrote " << file.string() << "\n";
  return Outcome::Done;
}

// ---- Checks ------------------------------------------------------------------------------------

namespace {

// The first visible view whose text holds the text.
std::shared_ptr<platform::View> showing(std::string_view text) {
  for (const auto& v : viewsOnScreen()) {
    if (textOn(*v).find(text) != std::string::npos && !platform::UIDriver::visibleRect(*v).isEmpty())
      return v;
  }
  return nullptr;
}

constexpr std::string_view ExpectUsage =
    "expect [no] TEXT | expect enabled|disabled TARGET | expect [no] request PATH [KEY=VALUE...]";

}  // namespace

Outcome Runner::expect(std::string_view args) {
  args = trim(args);
  if (args.empty()) return usage(std::string(ExpectUsage));
  // A quoted text is a text, whatever its first word.
  if (args.front() != '"') {
    auto [first, rest] = split(args);
    if (first == "no") {
      if (rest.empty()) return usage(std::string(ExpectUsage));
      auto [second, after] = split(rest);
      if (second == "request") return expectRequest(after, false);
      std::string text = unquote(rest);
      if (auto v = showing(text))
        return fail("expected no " + platform::quoted(text) + " on screen; on screen: " + v->className() +
                    " " + platform::quoted(textOn(*v)));
      return Outcome::Done;
    }
    if (first == "request") return expectRequest(rest, true);
    if (first == "enabled" || first == "disabled") {
      if (rest.empty()) return usage("expect " + std::string(first) + " TARGET");
      auto v = target(rest, "expect " + std::string(first));
      if (!v) return Outcome::Failed;
      std::string why = whyNotTappable(*v);
      std::string named = v->className() + " " + platform::quoted(textOn(*v));
      // Enabled, but what covers it takes the finger.
      std::string covered;
      if (why.empty() && !platform::UIDriver::touchPoint(*v)) {
        covered = touchFailure();
        if (auto at = covered.find(" is covered by "); at != std::string::npos) covered.erase(0, at + 1);
      }
      if (first == "enabled" && !(why + covered).empty())
        return fail("expected " + platform::quoted(unquote(rest)) + " enabled; on screen: " + named + " " +
                    why + covered);
      if (first == "disabled" && why.empty())
        return fail("expected " + platform::quoted(unquote(rest)) + " disabled; on screen: " + named + " " +
                    (covered.empty() ? "takes taps" : covered));
      return Outcome::Done;
    }
  }
  std::string text = unquote(args);
  if (!showing(text)) return fail("expected " + platform::quoted(text) + " on screen; " + screenTexts());
  return Outcome::Done;
}

Outcome Runner::expectRequest(std::string_view args, bool wanted) {
  const std::string form = std::string("expect ") + (wanted ? "" : "no ") + "request PATH [KEY=VALUE...]";
  auto w = quotedWords(args);
  if (w.empty()) return usage(form);
  std::string_view path = w[0];
  if (path.starts_with("/api/")) path.remove_prefix(5);
  if (path.starts_with("/")) path.remove_prefix(1);
  std::vector<std::pair<std::string, std::string>> wants;
  for (std::size_t i = 1; i < w.size(); ++i) {
    std::size_t eq = w[i].find('=');
    if (eq == std::string::npos || eq == 0)
      return usage(form + ": " + platform::quoted(w[i]) + " is no KEY=VALUE");
    wants.emplace_back(w[i].substr(0, eq), w[i].substr(eq + 1));
  }
  if (!demo_)
    return fail("expect request: only the built-in demo server records requests (--api names another)");
  std::string wanting = std::string(path);
  for (const auto& [k, v] : wants) wanting += " " + k + "=" + platform::quoted(v);
  auto requests = demo_->requests();
  std::vector<ApiCall> calls;
  for (std::size_t i = std::min(requestsSeen_, requests.size()); i < requests.size(); ++i)
    calls.push_back(ApiCall::of(requests[i]));
  const ApiCall* match = nullptr;
  for (const auto& call : calls) {
    bool all = call.path == path;
    for (const auto& [k, v] : wants) all = all && call.holds(k, v);
    if (all) {
      match = &call;
      break;
    }
  }
  if (!wanted) {
    if (match) return fail("expected no request " + wanting + "; received " + match->text());
    return Outcome::Done;
  }
  if (match) return Outcome::Done;
  // The calls to the same path first: they tell what differed.
  std::string received;
  int listed = 0;
  for (int samePath = 1; samePath >= 0; --samePath) {
    for (const auto& call : calls) {
      if ((call.path == path) != bool(samePath) || listed >= 8) continue;
      received += (listed++ ? ", " : " ") + call.text();
    }
  }
  if (calls.size() > std::size_t(listed))
    received += ", ... (" + std::to_string(calls.size() - listed) + " more)";
  return fail("expected a request " + wanting + "; received:" + (calls.empty() ? " none" : received));
}

namespace {

// The text input being edited: the key window's first responder, else the upper window's.
std::shared_ptr<platform::View> editingView() {
  auto& app = platform::Application::sharedApplication();
  if (auto key = app.keyWindow())
    if (auto v = key->firstResponder()) return v;
  const auto& windows = app.windows();
  for (auto it = windows.rbegin(); it != windows.rend(); ++it)
    if (auto v = (*it)->firstResponder()) return v;
  return nullptr;
}

}  // namespace

Outcome Runner::type(const std::string& text) {
  auto v = editingView();
  if (!v) return fail("type: no text field is being edited (tap one first)");
  auto* field = dynamic_cast<platform::TextField*>(v.get());
  auto* tv = dynamic_cast<platform::TextView*>(v.get());
  if (!field && !tv) return fail("type: " + v->className() + " takes no text");
  // The text goes in as one input, as an input method commits a phrase: a key at a time costs the
  // field its whole text per key. A field that refuses it whole (a length limit) gets it a key at
  // a time, so that what fits goes in.
  if (field ? field->insertText(text) : tv->insertText(text)) return afterAction(true, "type");
  return afterAction(platform::UIDriver::type(text), "type");
}

Outcome Runner::clear(std::string_view args) {
  if (args == "requests") {
    requestsSeen_ = demo_ ? demo_->requests().size() : 0;
    return Outcome::Done;
  }
  if (!args.empty()) return usage("clear | clear requests");
  auto v = editingView();
  if (!v) return fail("clear: no text field is being edited (tap one first)");
  // Select all and delete: the field hears of it as of any key.
  std::string text;
  if (auto* field = dynamic_cast<platform::TextField*>(v.get())) {
    text = field->text();
    field->setSelectedRange({0, platform::utf16Length(text)});
  } else if (auto* tv = dynamic_cast<platform::TextView*>(v.get())) {
    text = tv->text();
    tv->setSelectedRange({0, platform::utf16Length(text)});
  } else {
    return fail("clear: " + v->className() + " takes no text");
  }
  if (text.empty()) return Outcome::Done;
  Outcome o = afterAction(platform::UIDriver::deleteBackward(1), "clear");
  if (o != Outcome::Done) return o;
  auto* field = dynamic_cast<platform::TextField*>(v.get());
  auto* tv = dynamic_cast<platform::TextView*>(v.get());
  if ((field && !field->text().empty()) || (tv && !tv->text().empty()))
    return fail("clear: the field kept " + platform::quoted(field ? field->text() : tv->text()));
  return Outcome::Done;
}

// ---- Server calls without screens ----------------------------------------------------------------

namespace {

// A page number: a whole number from 1 that fits the query.
std::optional<int> pageNumber(std::string_view text) {
  int v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || v < 1) return std::nullopt;
  return v;
}

// "" when the loader's answer came without error; else what went wrong.
std::string answerProblem(const Wait& wait, const std::string& what) {
  if (!wait.result) return what + ": the call ended without an answer";
  const DataItemResult& r = *wait.result;
  if (!r.hasError()) return "";
  if (r.localError()) return what + " failed: " + r.message();
  return "the server refused the " + what + ": " + r.message() +
         (r.statusCode() ? " (status " + std::to_string(r.statusCode()) + ")" : "");
}

}  // namespace

std::optional<Outcome> Runner::checkArea(const std::string& code) {
  // Area codes are six digits, listed by the area dictionary at the top level (provinces and cities,
  // XX0000) or under the province or city they belong to (XX0000, XXYY00).
  const bool digits = code.size() == 6 && code.find_first_not_of("0123456789") == std::string::npos;
  const std::string refused = "search: --area " + platform::quoted(code) +
                              " is no area code of the area dictionary (six digits, as 020000)";
  if (!digits) return usage(refused);
  std::vector<std::string> levels = {""};
  for (const std::string& parent : {code.substr(0, 2) + "0000", code.substr(0, 4) + "00"})
    if (parent != levels.back() && (parent != code || parent == code.substr(0, 2) + "0000"))
      levels.push_back(parent);
  for (const std::string& level : levels) {
    auto wait = std::make_shared<Wait>();
    auto loader = ApiDataDict::get_jobarea("jobarea", level, wait);
    const bool settled = waitUntilIdle();
    loader->stopLoading();
    if (!settled && (interrupted_ || !wait->result)) return fail(waitFailure("search"));
    if (auto problem = answerProblem(*wait, "area dictionary"); !problem.empty())
      return fail("search: " + problem);
    for (std::size_t i = 0; i < wait->result->count(); ++i)
      if (wait->result->getItem(i)->getString("code") == code) return std::nullopt;
  }
  return usage(refused);
}

Outcome Runner::search(const std::vector<std::string>& args) {
  auto param = JobSearchParam::create();
  std::string keywords;
  for (std::size_t i = 0; i < args.size(); ++i) {
    // --name VALUE or --name=VALUE
    const std::size_t eq = args[i].starts_with("--") ? args[i].find('=') : std::string::npos;
    const std::string name = args[i].substr(0, eq);
    if (name == "--area" || name == "--page") {
      std::string value;
      if (eq != std::string::npos) {
        value = args[i].substr(eq + 1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      }
      if (value.empty())
        return usage("search [KEYWORDS] [--area CODE] [--page N]: " + name + " needs a value");
      if (name == "--area") {
        if (auto refused = checkArea(value)) return *refused;
        param->setJobarea(value);
        param->setText_jobarea(value);
      } else if (auto page = pageNumber(value)) {
        param->setPageAt(*page);
      } else {
        return usage("search: --page needs a whole number from 1 to 2147483647, not " +
                     platform::quoted(value));
      }
    } else {
      keywords += (keywords.empty() ? "" : " ") + args[i];
    }
  }
  param->setKeywords(keywords);
  auto wait = std::make_shared<Wait>();
  auto loader = ApiJob::search_job_list(*param, wait);
  const bool settled = waitUntilIdle();
  loader->stopLoading();
  if (!settled && (interrupted_ || !wait->result)) return fail(waitFailure("search"));
  if (auto problem = answerProblem(*wait, "search"); !problem.empty()) return fail(problem);
  const auto& r = *wait->result;
  out_ << "search \"" << keywords << "\" in " << param->getText_jobarea() << ": " << r.maxCount()
       << (r.maxCount() == 1 ? " job" : " jobs") << ", page " << param->pageAt() << "\n";
  for (std::size_t i = 0; i < r.count(); ++i) {
    auto row = r.getItem(i);
    out_ << "  " << i + 1 << ". " << row->getString("jobname") << " | " << row->getString("coname") << " | "
         << row->getString("jobarea") << " | " << row->getString("providesalary") << " | "
         << row->getString("issuedate") << " [" << row->getString("jobid") << "]\n";
  }
  return Outcome::Done;
}

Outcome Runner::job(const std::vector<std::string>& args) {
  if (args.size() != 1) return usage("job JOBID");
  auto wait = std::make_shared<Wait>();
  auto loader = ApiJob::get_job_info(args[0], wait);
  const bool settled = waitUntilIdle();
  loader->stopLoading();
  if (!settled && (interrupted_ || !wait->result)) return fail(waitFailure("job"));
  if (auto problem = answerProblem(*wait, "job"); !problem.empty()) return fail(problem);
  const auto& r = *wait->result;
  out_ << "job " << args[0] << "\n";
  r.detailInfo()->dictData()->enumerate([&](const std::string& key, const platform::Value& value) {
    std::string text = value.description();
    for (std::size_t p = 0; (p = text.find('\n', p)) != std::string::npos; p += 5)
      text.replace(p, 1, "\n    ");
    out_ << "  " << key << ": " << text << "\n";
    return true;
  });
  return Outcome::Done;
}

}  // namespace kavro::runner
