// kavro: the headless runner of the recruitment client.
#include <fcntl.h>
#include <langinfo.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Environment.h"
#include "platform/foundation/URL.h"
#include "platform/ui/Application.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "tools/kavro/LineEditor.h"
#include "tools/kavro/MapCommands.h"
#include "tools/kavro/Runner.h"

namespace {

namespace fs = std::filesystem;
using kavro::runner::ExitStatus;
using kavro::runner::Outcome;

constexpr const char* kVersion = "0.3.0";

void usage(std::FILE* to) {
  std::fprintf(
      to,
      "kavro %s: headless runner of the Kavro recruitment client\n"
      "\n"
      "usage: kavro [OPTIONS]                    start at the home screen and read commands\n"
      "       kavro [OPTIONS] --script FILE|-    run the commands of a file ('-': standard input)\n"
      "       kavro [OPTIONS] tour [DIR]         walk the built screens, one PNG per screen in DIR\n"
      "                                          (default ./tour), on a fresh home unless --home\n"
      "       kavro [OPTIONS] COMMAND [ARGS...]  one command, then quit\n"
      "Options may stand anywhere; after \"--\" every word belongs to the command. Relative paths are\n"
      "taken from the current folder.\n"
      "\n"
      "options:\n"
      "  --api URL      the API host (default $KAVRO_API_URL, else a demo server on 127.0.0.1\n"
      "                 answering from the sample answers shipped beside the binary)\n"
      "  --home DIR     the client's files (default $KAVRO_HOME, else ~/.kavro; the tour: a fresh\n"
      "                 temporary folder, removed at the end)\n"
      "  --out DIR      where snapshots with a relative path go, made when missing (default: the\n"
      "                 current folder; the tour: its DIR)\n"
      "  --script FILE  run the commands of FILE ('-': standard input)\n"
      "  -h, --help     this text\n"
      "  --version      the version\n"
      "\n"
      "commands:\n"
      "  show                       the screen as an indented tree (#ID class frame <controller> texts)\n"
      "  tap #ID | @X,Y | TEXT      tap a view by id, a point on screen, or its text, label, class or\n"
      "                             picture name; a TEXT shown by no view whole taps one whose text\n"
      "                             holds it, and says which text that was\n"
      "  type TEXT                  type into the focused field\n"
      "  clear                      empty the focused field\n"
      "  return                     the keyboard's return key\n"
      "  swipe left|right|up|down [TARGET]\n"
      "  scroll DY [TARGET]         drag a scroll view by DY points\n"
      "  back                       the navigation bar's back button\n"
      "  alert INDEX                answer the alert on top with its button INDEX (from 0)\n"
      "  wait [SECONDS]             until the run loop and the network are idle, then SECONDS more\n"
      "  snap FILE                  write a PNG of the screen\n"
      "  expect [no] TEXT           a visible view shows TEXT (or none does)\n"
      "  expect enabled|disabled TARGET\n"
      "                             TARGET (as for tap) takes taps, or is there and does not\n"
      "  expect [no] request PATH [KEY=VALUE...]\n"
      "                             the demo server received (or did not) a request for /api/PATH\n"
      "                             with each KEY=VALUE, since the start or \"clear requests\"\n"
      "  clear requests             forget the requests received so far\n"
      "  search [KEYWORDS] [--area CODE] [--page N]   a job search, printing the parsed rows\n"
      "  job JOBID                  one job's detail record\n"
      "  map open                   the map screen of the map SDK at the default centre (over a demo\n"
      "                             map service unless $KAVRO_MAP_URL names one)\n"
      "                             (the map commands work on the map on screen: the job map, a\n"
      "                             location map, or this map screen)\n"
      "  map pan DX DY              drag the map by DX, DY points\n"
      "  map zoom in|out|LEVEL      zoom by one level, or to LEVEL (3 to 18)\n"
      "  map search KEYWORD         places for the keyword, marked on the map\n"
      "  map route                  a driving route drawn on the map\n"
      "  map offline                download the demo city for use without the network\n"
      "  map status                 the map's centre, level and tiles\n"
      "  map host close             the demo map service stops answering (as the network gone)\n"
      "  map snap FILE              a PNG of the map\n"
      "  map close                  close the map screen\n"
      "  map locate LAT LON         move the device there (it starts at 31.2304 121.4737)\n"
      "  map wait                   until the map's tiles have arrived and are drawn\n"
      "  map traffic on|off         show or hide the traffic on the map\n"
      "  map places on|off          show or hide the small places (hidden at first)\n"
      "  map expect drawn           the map shows streets, not blank or black, each tile the map\n"
      "                             service's for its place and level\n"
      "  map expect pins [N]        N pins (without N at least one) stand on the visible map\n"
      "  map expect marks [N]       N search marks (without N at least one) show as their icons\n"
      "  map expect places          the small places on the visible map show their dots\n"
      "  map expect traffic         traffic tiles came for the visible map and are drawn\n"
      "  help                       (typed) the commands\n"
      "  quit                       end the session or the script\n"
      "\n"
      "A script holds one command a line; '#' starts a comment; \"if TARGET\" ... \"end\" runs its\n"
      "lines only when TARGET is on screen. A script stops at the first failed command (exit 1).\n"
      "Standard input that is no terminal is a script too. A script file (at most 4 MiB) is read\n"
      "whole first: empty, cut inside a line or changed while read, it runs nothing (exit 1).\n"
      "Output the disk will not take fails the run (exit 1). Ctrl-C fails the command under way as\n"
      "interrupted and stops a script; SIGTERM and SIGHUP do too, then end the process as they do.\n"
      "On a terminal, lines can be edited and earlier ones recalled (history in the home folder).\n"
      "\n"
      "environment:\n"
      "  KAVRO_API_URL    the API host when --api is not given\n"
      "  KAVRO_MAP_URL    the map service (default: a demo map service on 127.0.0.1)\n"
      "  KAVRO_MAP_HOST   the same, read when KAVRO_MAP_URL is not set\n"
      "  KAVRO_HOME       the home folder when --home is not given\n"
      "  KAVRO_RESOURCES  the resources folder (default: resources beside the binary)\n"
      "  KAVRO_FONT       the font for snapshot text (default: a CJK font of the system)\n"
      "  HOME             where ~/.kavro is\n"
      "\n"
      "exit: 0 done, 1 a command or the start failed, 2 misused\n",
      kVersion);
}

std::string exeDir() {
  std::error_code ec;
  auto exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(".") : exe.parent_path().string();
}

int die(ExitStatus status, const std::string& message) {
  std::fprintf(stderr, "kavro: %s\n", message.c_str());
  return static_cast<int>(status);
}

// Standard output took everything written to it; else that is said (on the error stream) and the
// run fails: a full disk or a closed pipe must not pass for a run that did its work.
bool written(std::FILE* out) {
  // The reason is the failed write's: a long text failed inside its printing, before the flush.
  if (std::fflush(out) == 0 && !std::ferror(out)) return true;
  const int error = errno;
  std::fprintf(stderr, "kavro: cannot write to standard output%s%s\n", error ? ": " : "",
               error ? std::strerror(error) : "");
  return false;
}

// An http or https URL with a host.
bool isHostUrl(const std::string& text) {
  auto url = platform::URL::parse(text);
  return url && (url->scheme() == "http" || url->scheme() == "https") && !url->host().empty();
}

std::string absolute(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

// The databases live in the data folder under the home root; a home that cannot hold it ends the
// start before anything else is tried. The data folder itself is the application's to make: found
// missing at its start, it knows the start as a first install.
std::string homeProblem() {
  fs::path documents = platform::Environment::documentsPath();
  fs::path data = documents / "kavro_client_data";
  std::error_code ec;
  fs::path folder = fs::is_directory(data, ec) ? data : documents;
  fs::create_directories(folder, ec);
  if (ec || !fs::is_directory(folder))
    return "cannot use the home folder " + platform::Environment::homeRoot() + ": cannot make " +
           folder.string() + (ec ? ": " + ec.message() : "");
  // Written byte by byte ourselves: a stream's buffer would hide why the disk said no. A full disk,
  // a quota or a read-only one says so at the write (or at the close, on a network disk); no sync:
  // one on a busy disk held every start up for milliseconds, and the stores sync their own writes
  // and say when those fail.
  fs::path probe = folder / ".kavro-write-check";
  int error = 0;
  int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) {
    error = errno;
  } else {
    if (::write(fd, "x", 1) != 1) error = errno ? errno : EIO;
    if (::close(fd) != 0 && error == 0) error = errno ? errno : EIO;
    fs::remove(probe, ec);
  }
  if (error == 0) return "";
  std::string where =
      "cannot use the home folder " + platform::Environment::homeRoot() + ": " + folder.string();
  if (error == ENOSPC || error == EDQUOT) return where + ": the disk is full";
  if (error == EROFS) return where + " is on a read-only disk";
  return where + " is not writable (" + std::strerror(error) + ")";
}

// A script file that can be read, or why not.
std::string scriptProblem(const std::string& path) {
  std::error_code ec;
  auto status = fs::status(path, ec);
  if (ec) return "cannot read the script " + path + ": " + ec.message();
  if (fs::is_directory(status)) return "cannot read the script " + path + ": it is a folder";
  std::ifstream in(path);
  if (!in) return "cannot read the script " + path + ": " + std::strerror(errno);
  return "";
}

// The resources folder the application reads its texts and pictures from, or why it cannot be one:
// without it the screens would come up blank.
std::string resourcesProblem() {
  const std::string root = platform::Environment::resourceRoot();
  const char* set = std::getenv("KAVRO_RESOURCES");
  const std::string named = set && *set ? "$KAVRO_RESOURCES (" + root + ")" : "the resources folder " + root;
  std::error_code ec;
  const auto status = fs::status(root, ec);
  if (!fs::exists(status)) return named + " is not there";
  if (!fs::is_directory(status)) return named + " is not a folder";
  if (fs::is_empty(root, ec) || ec)
    return named + " is empty" + (ec ? " or unreadable: " + ec.message() : "");
  return "";
}

// The signal that asked the run to end (SIGINT, SIGTERM or SIGHUP), 0 while none came. The command
// under way gives up its waits and fails as interrupted, a script stops there, and the run closes
// as after "quit" (its temporary home removed); a termination or hang-up then ends the process as
// that signal ends it.
// An atomic: the handler may run on any thread that does not block the signal.
std::atomic<int> endingSignalCame = 0;

extern "C" void takeEndingSignal(int signal) {
  endingSignalCame = signal;
  kavro::runner::Runner::interrupt();
}

// Taken from here on, until the line editor puts its own (and gives these back after it).
void takeEndingSignals() {
  struct sigaction take {};
  take.sa_handler = takeEndingSignal;
  sigemptyset(&take.sa_mask);
  take.sa_flags = SA_RESTART;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &take, nullptr);
}

// A folder made for the run and removed with everything in it at the end.
class TemporaryHome {
 public:
  TemporaryHome() {
    std::error_code ec;
    fs::path base = fs::temp_directory_path(ec);
    std::string pattern = (ec ? fs::path("/tmp") : base).string() + "/kavro-home-XXXXXX";
    if (::mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TemporaryHome() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  TemporaryHome(const TemporaryHome&) = delete;
  TemporaryHome& operator=(const TemporaryHome&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

struct Arguments {
  std::string api, script;
  std::optional<std::string> home, out;
  std::vector<std::string> command;
};

// The runner's options wherever they stand; other words make the command (whose own options,
// such as search's --page, stay with it). nullopt after a message when misused or answered.
std::optional<Arguments> parse(int argc, char** argv, int& code) {
  Arguments args;
  bool commandOnly = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (commandOnly) {
      args.command.push_back(a);
      continue;
    }
    if (a == "--") {
      commandOnly = true;
      continue;
    }
    if (a == "--version" || a == "--help" || a == "-h") {
      // Asked for a text, nothing else is done: a word beside it was meant for something.
      if (argc > 2) {
        const std::string other = i == 1 ? argv[2] : argv[1];
        return code = die(ExitStatus::Usage, a + " stands alone, not with \"" + other + "\" (kavro --help)"),
               std::nullopt;
      }
      if (a == "--version")
        std::printf("kavro %s\n", kVersion);
      else
        usage(stdout);
      return code = static_cast<int>(written(stdout) ? ExitStatus::Done : ExitStatus::Failed), std::nullopt;
    }
    std::string name = a, value;
    bool inlineValue = false;
    if (auto eq = a.find('='); a.starts_with("--") && eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
      inlineValue = true;
    }
    if (name == "--api" || name == "--home" || name == "--script" || name == "--out") {
      if (!inlineValue) {
        if (i + 1 >= argc)
          return code = die(ExitStatus::Usage, a + " needs a value (kavro --help)"), std::nullopt;
        value = argv[++i];
      }
      if (value.empty())
        return code = die(ExitStatus::Usage, name + " needs a value, not an empty word"), std::nullopt;
      if (name == "--api")
        args.api = value;
      else if (name == "--home")
        args.home = absolute(value);
      else if (name == "--out")
        args.out = value;
      else
        args.script = value;
      continue;
    }
    if (args.command.empty() && a.size() > 1 && a[0] == '-')
      return code = die(ExitStatus::Usage, "unknown option " + a + " (kavro --help)"), std::nullopt;
    args.command.push_back(a);
  }
  return args;
}

// The terminal's characters: the line editor reads Chinese as characters only in a UTF-8 locale,
// and nothing is set before main. Only the character type: numbers keep their "C" form.
void useTerminalCharacters() {
  const char* set = std::setlocale(LC_CTYPE, "");
  if (set && std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0) return;
  if (!std::setlocale(LC_CTYPE, "C.UTF-8")) std::setlocale(LC_CTYPE, "en_US.UTF-8");
}

// The field that takes typed text (the key window's first responder, else the topmost one's) hides
// what is typed into it.
bool secureFieldEdited() {
  auto& app = platform::Application::sharedApplication();
  std::shared_ptr<platform::View> editing;
  if (auto key = app.keyWindow()) editing = key->firstResponder();
  const auto windows = app.windows();
  for (auto w = windows.rbegin(); !editing && w != windows.rend(); ++w)
    if (*w) editing = (*w)->firstResponder();
  if (auto* field = dynamic_cast<platform::TextField*>(editing.get())) return field->isSecureTextEntry();
  if (auto* text = dynamic_cast<platform::TextView*>(editing.get())) return text->isSecureTextEntry();
  return false;
}

// A line typed at the terminal goes into the history unless it types into a field that hides its
// text: a password is not kept in a file.
bool keptInHistory(const std::string& line) {
  const std::size_t start = line.find_first_not_of(" \t");
  if (start == std::string::npos) return true;
  const std::size_t end = line.find_first_of(" \t", start);
  if (line.substr(start, end == std::string::npos ? std::string::npos : end - start) != "type") return true;
  return !secureFieldEdited();
}

}  // namespace

int main(int argc, char** argv) {
  // The user's umask, before the files of the home make the process's own private.
  const mode_t userMask = ::umask(077);
  ::umask(userMask);
  int code = 0;
  auto parsed = parse(argc, argv, code);
  if (!parsed) return code;
  Arguments& args = *parsed;

  std::string api = args.api;
  if (api.empty()) {
    const char* env = std::getenv("KAVRO_API_URL");
    api = env ? env : "";
    if (!api.empty() && !isHostUrl(api))
      return die(ExitStatus::Usage, "bad $KAVRO_API_URL \"" + kavro::runner::withoutUserInfo(api) +
                                        "\": expected http://HOST[:PORT]");
  } else if (!isHostUrl(api)) {
    return die(ExitStatus::Usage,
               "bad --api URL \"" + kavro::runner::withoutUserInfo(api) + "\": expected http://HOST[:PORT]");
  }
  if (const char* map = std::getenv("KAVRO_MAP_URL"); map && *map) {
    if (!isHostUrl(map))
      return die(ExitStatus::Usage, "bad $KAVRO_MAP_URL \"" + kavro::runner::withoutUserInfo(map) +
                                        "\": expected http://HOST[:PORT]");
    // The map commands take their host from here.
    ::setenv("KAVRO_MAP_HOST", map, 1);
  }
  if (auto problem = resourcesProblem(); !problem.empty()) return die(ExitStatus::Usage, problem);
  if (!args.script.empty() && !args.command.empty())
    return die(ExitStatus::Usage, "--script and a command do not go together");
  if (!args.script.empty() && args.script != "-") {
    if (auto problem = scriptProblem(args.script); !problem.empty()) return die(ExitStatus::Usage, problem);
  }
  const bool tour = !args.command.empty() && args.command[0] == "tour";
  std::string out = args.out.value_or(".");
  if (tour) {
    if (args.command.size() > 2) return die(ExitStatus::Usage, "usage: kavro tour [DIR]");
    if (!args.out) out = args.command.size() == 2 ? args.command[1] : "tour";
  }
  if (tour || args.out) {
    std::error_code ec;
    fs::create_directories(out, ec);
    if (ec || !fs::is_directory(out))
      return die(ExitStatus::Failed,
                 "cannot make the folder " + out + (ec ? ": " + ec.message() : ": a file is in the way"));
  }
  takeEndingSignals();
  // The tour gives the same pictures every run: it starts on an empty home.
  std::optional<TemporaryHome> temporaryHome;
  if (args.home) {
    platform::Environment::setHomeRoot(*args.home);
  } else if (tour) {
    temporaryHome.emplace();
    if (temporaryHome->path().empty()) return die(ExitStatus::Failed, "cannot make a temporary home folder");
    platform::Environment::setHomeRoot(temporaryHome->path());
  }
  if (auto problem = homeProblem(); !problem.empty()) return die(ExitStatus::Failed, problem);

  Outcome outcome = Outcome::Done;
  int endingSignal = 0;
  {
    kavro::runner::Options options;
    options.apiUrl = api;
    options.demoRoot = exeDir() + "/demo/api";
    options.snapshotDir = out;
    options.pictureMode = 0666 & ~userMask;
    kavro::runner::registerMapCommands();
    kavro::runner::Runner runner(options, std::cout, std::cerr);
    if (!runner.start()) return static_cast<int>(ExitStatus::Failed);

    if (tour) {
      std::string file = exeDir() + "/tour.txt";
      if (auto problem = scriptProblem(file); !problem.empty()) return die(ExitStatus::Failed, problem);
      std::ifstream in(file);
      outcome = runner.runTour(in, "tour.txt");
    } else if (args.script == "-" || (args.script.empty() && args.command.empty() && !isatty(0))) {
      // Input that is no terminal is a script, whether named or not: a file redirected in is read
      // whole and refused empty or cut, as with --script.
      outcome = runner.runScript(std::cin, "-");
    } else if (!args.script.empty()) {
      std::ifstream in(args.script);
      outcome = runner.runScript(in, args.script);
    } else if (!args.command.empty()) {
      std::string line;
      for (const auto& word : args.command) line += (line.empty() ? "" : " ") + word;
      outcome = runner.execute(line);
    } else if (isatty(0) && isatty(1)) {
      useTerminalCharacters();
      kavro::runner::LineEditor editor(
          "kavro> ", platform::Environment::homeRoot() + "/kavro_history",
          [](int) { kavro::runner::Runner::interrupt(); }, keptInHistory);
      runner.interact([&](std::string& line) { return editor.read(line); }, true);
      endingSignal = editor.endingSignal();
    } else {
      // Typed at a terminal whose answers go elsewhere: a line at a time, without editing.
      runner.interact(
          [](std::string& line) {
            return endingSignalCame != SIGTERM && endingSignalCame != SIGHUP &&
                   bool(std::getline(std::cin, line));
          },
          false);
    }
    if (runner.outputFailureSaid() || !written(stdout)) outcome = Outcome::Failed;
  }
  if (endingSignalCame && !endingSignal) {
    // Come after the last wait looked: the run still stops as interrupted.
    if (outcome == Outcome::Done && endingSignalCame == SIGINT) {
      std::fprintf(stderr, "kavro: interrupted\n");
      outcome = Outcome::Failed;
    }
    if (endingSignalCame != SIGINT) endingSignal = endingSignalCame;
  }
  // Closed as after "quit", the process ends as the signal that asked it to would have ended it.
  if (endingSignal) {
    // The tour's home goes first: the signal ends the process before any destructor would.
    temporaryHome.reset();
    std::signal(endingSignal, SIG_DFL);
    std::raise(endingSignal);
  }
  return static_cast<int>(kavro::runner::exitStatusFor(outcome));
}
