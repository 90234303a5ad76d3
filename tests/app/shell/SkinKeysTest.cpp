// Every skin type the screens name is in the built-in skin, in the group they name it in and for
// the class that asks for it (an image for an image, a label's font for a measure, a view's entry
// for a view), and every image the built-in skin names is shipped. The sources are read for the names: a
// literal or a constant given to AppSkin, a skin key "@group@type", or a literal given to a helper that hands
// its parameter on to AppSkin.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using Strings = std::vector<std::string>;
using SkinKey = std::pair<std::string, std::string>;  // (group, type)
// Who asks for a skin type: the skin engine looks it up under this target. A view's class is not
// known from the source, so AnyView stands for every target but an image.
constexpr std::string_view ImageTarget = "UIImage";
constexpr std::string_view LabelTarget = "UILabel";
constexpr std::string_view AnyView = "(view)";

std::string readFile(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string withoutLineComments(const std::string& source) {
  static const std::regex comment(R"(//[^\n]*)");
  return std::regex_replace(source, comment, "");
}

Strings literalsIn(const std::string& text) {
  static const std::regex literal(R"x("([^"\\]*)")x");
  Strings out;
  for (std::sregex_iterator it(text.begin(), text.end(), literal), end; it != end; ++it)
    out.push_back((*it)[1]);
  return out;
}

// The arguments of the call whose "(" is at open, split at the top level.
Strings argumentsAt(const std::string& s, std::size_t open, std::size_t* close = nullptr) {
  Strings out;
  std::string current;
  int depth = 0;
  for (std::size_t i = open; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      std::size_t end = s.find('"', i + 1);
      if (end == std::string::npos) break;
      current += s.substr(i, end - i + 1);
      i = end;
      continue;
    }
    if (c == '(' || c == '[' || c == '{') {
      if (++depth == 1) continue;
    } else if (c == ')' || c == ']' || c == '}') {
      if (--depth == 0) {
        out.push_back(current);
        if (close) *close = i;
        return out;
      }
    } else if (c == ',' && depth == 1) {
      out.push_back(current);
      current.clear();
      continue;
    }
    current += c;
  }
  return {};
}

std::string trimmed(std::string s) {
  auto first = s.find_first_not_of(" \t\n");
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(" \t\n") - first + 1);
}

struct SourceFile {
  fs::path path;
  std::string text;
  std::map<std::string, Strings> constants;  // name = "literal" or { "literals" }
};

class SkinNameScanner {
 public:
  SkinNameScanner() {
    static const std::regex constant(R"x((\w+)(?:\[\])?\s*=\s*("[^"]*"|\{[^}]*\})\s*;)x");
    for (const char* folder : {"app", "kit/ui"}) {
      for (const auto& entry : fs::recursive_directory_iterator(fs::path(KAVRO_SOURCE_DIR) / folder)) {
        auto ext = entry.path().extension();
        if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
        SourceFile file{entry.path(), withoutLineComments(readFile(entry.path())), {}};
        for (std::sregex_iterator it(file.text.begin(), file.text.end(), constant), end; it != end; ++it) {
          file.constants.emplace((*it)[1], literalsIn((*it)[2]));
          globals_.emplace((*it)[1], literalsIn((*it)[2]));
        }
        files_.push_back(std::move(file));
      }
    }
    for (const auto& file : files_) scan(file);
  }

  const std::map<SkinKey, std::set<std::string>>& keys() const { return keys_; }
  const Strings& unresolved() const { return unresolved_; }

 private:
  // The texts an argument can be: its literals, "" for an empty one, a constant's values, or
  // what a local name was given; nothing when it is a parameter or a record's field.
  std::optional<Strings> resolve(const std::string& argument, const SourceFile& file, int depth = 0) const {
    std::string a = trimmed(argument);
    if (auto literals = literalsIn(a); !literals.empty()) return literals;
    if (a.empty() || a == "{}") return Strings{""};
    if (a.find('(') != std::string::npos || depth > 3) return std::nullopt;
    static const std::regex identifier(R"([A-Za-z_][\w:]*)");
    Strings out;
    for (std::sregex_iterator it(a.begin(), a.end(), identifier), end; it != end; ++it) {
      std::string name = it->str();
      if (auto pos = name.rfind("::"); pos != std::string::npos) name = name.substr(pos + 2);
      if (auto c = file.constants.find(name); c != file.constants.end()) {
        out.insert(out.end(), c->second.begin(), c->second.end());
        continue;
      }
      std::smatch m;
      if (file.text.find(name + " =") != std::string::npos &&
          std::regex_search(file.text, m, std::regex("\\b" + name + R"(\s*=\s*([^;=]+);)"))) {
        if (auto inner = resolve(m[1], file, depth + 1)) out.insert(out.end(), inner->begin(), inner->end());
        continue;
      }
      if (auto g = globals_.find(name); g != globals_.end())
        out.insert(out.end(), g->second.begin(), g->second.end());
    }
    if (out.empty()) return std::nullopt;
    return out;
  }

  void add(const std::string& type, std::optional<std::string> group, std::string_view asker) {
    if (!group) {  // a skin key
      if (!type.empty() && type[0] == '@') {
        auto second = type.find('@', 1);
        if (second == std::string::npos) return;
        keys_[{type.substr(1, second - 1), type.substr(second + 1)}].emplace(asker);
      } else {
        keys_[{"*", type}].emplace(asker);
      }
      return;
    }
    keys_[{group->empty() ? "*" : *group, type}].emplace(asker);
  }

  // The function around a use of the parameter: its name and the index of that parameter.
  static std::optional<std::pair<std::string, std::size_t>> enclosing(const std::string& text,
                                                                      std::size_t pos,
                                                                      const std::string& parameter) {
    static const std::regex signature(
        R"((\w+)\s*(?:=\s*\[[^\]]*\]\s*)?\(((?:[^()]|\([^()]*\))*)\)\s*(?:const\s*)?(?:override\s*)?(?::[^{;]*)?\{)");
    std::optional<std::pair<std::string, std::size_t>> found;
    // Helpers are short: their signature is near the use.
    std::size_t from = pos > 4000 ? pos - 4000 : 0;
    std::string before = text.substr(from, pos - from);
    for (std::sregex_iterator it(before.begin(), before.end(), signature), end; it != end; ++it) {
      std::string params = (*it)[2];
      std::stringstream split(params);
      std::string p;
      for (std::size_t i = 0; std::getline(split, p, ','); ++i) {
        if (std::regex_search(trimmed(p), std::regex("\\b" + parameter + "$"))) found = {(*it)[1], i};
      }
    }
    return found;
  }

  // Every call of the helper, with the literals or constants at the parameter's place.
  void throughHelper(const std::string& helper, std::size_t typeIndex, std::optional<std::size_t> groupIndex,
                     std::optional<std::string> group, std::string_view asker) {
    std::regex call("\\b" + helper + R"(\s*\()");
    for (const auto& file : files_) {
      if (file.text.find(helper) == std::string::npos) continue;
      for (std::sregex_iterator it(file.text.begin(), file.text.end(), call), end; it != end; ++it) {
        std::size_t open = static_cast<std::size_t>(it->position() + it->length() - 1);
        Strings args = argumentsAt(file.text, open);
        if (args.size() <= typeIndex) continue;
        static const std::regex declared(R"(^[A-Za-z_][\w:<>]*\s+[&*]?\w+$)");
        bool definition = false;
        for (const auto& a : args) definition = definition || std::regex_match(trimmed(a), declared);
        if (definition) continue;
        auto types = resolve(args[typeIndex], file);
        std::optional<Strings> groups;
        if (groupIndex) {
          if (args.size() > *groupIndex) groups = resolve(args[*groupIndex], file);
        } else {
          groups = Strings{group.value_or("")};
        }
        if (!types || !groups) continue;
        const bool grouped = group.has_value() || groupIndex.has_value();
        for (const auto& t : *types)
          for (const auto& g : *groups) add(t, grouped ? std::optional<std::string>(g) : std::nullopt, asker);
      }
    }
  }

  void scan(const SourceFile& file) {
    static const std::regex key(R"x("@(\w+)@([\w-]+)")x");
    // A record's skin key styles a label of its cell.
    for (std::sregex_iterator it(file.text.begin(), file.text.end(), key), end; it != end; ++it)
      keys_[{(*it)[1], (*it)[2]}].emplace(AnyView);

    static const std::regex call(
        R"(AppSkin::(apply|applyWithSkinKey|imageWithSkinType|imageWithSkinKey|sizeForText|sizeForTextWithSkinKey)\s*\()");
    for (std::sregex_iterator it(file.text.begin(), file.text.end(), call), end; it != end; ++it) {
      std::string kind = (*it)[1];
      std::size_t open = static_cast<std::size_t>(it->position() + it->length() - 1);
      Strings args = argumentsAt(file.text, open);
      std::string type, group;
      bool keyed =
          kind == "applyWithSkinKey" || kind == "imageWithSkinKey" || kind == "sizeForTextWithSkinKey";
      const bool image = kind == "imageWithSkinType" || kind == "imageWithSkinKey";
      const bool measure = kind == "sizeForText" || kind == "sizeForTextWithSkinKey";
      const std::string_view asker = image ? ImageTarget : measure ? LabelTarget : AnyView;
      std::size_t typeAt = image ? 0 : 1;
      if (args.size() <= typeAt) continue;  // the default skin of the control
      type = args[typeAt];
      if (!keyed && args.size() > typeAt + 1) group = args[typeAt + 1];
      // A record's own skin keys are the "@group@type" literals that filled it.
      if (type.find("()") != std::string::npos) continue;

      auto types = resolve(type, file);
      auto groups = keyed ? std::optional<Strings>(Strings{}) : resolve(group, file);
      if (types && groups) {
        for (const auto& t : *types) {
          if (keyed)
            add(t, std::nullopt, asker);
          else
            for (const auto& g : *groups) add(t, g, asker);
        }
        continue;
      }
      std::string place = file.path.filename().string() + ": " + trimmed(type);
      if (!types) {
        auto helper = enclosing(file.text, open, trimmed(type));
        if (!helper) {
          unresolved_.push_back(place);
          continue;
        }
        std::optional<std::size_t> groupIndex;
        std::optional<std::string> fixedGroup;
        if (!keyed) {
          if (groups) {
            fixedGroup = groups->empty() ? "" : groups->front();
          } else if (auto g = enclosing(file.text, open, trimmed(group)); g && g->first == helper->first) {
            groupIndex = g->second;
          } else {
            unresolved_.push_back(place);
            continue;
          }
        }
        throughHelper(helper->first, helper->second, groupIndex, fixedGroup, asker);
      } else {
        unresolved_.push_back(place);
      }
    }
  }

  std::vector<SourceFile> files_;
  std::map<std::string, Strings> globals_;
  std::map<SkinKey, std::set<std::string>> keys_;
  Strings unresolved_;
};

// The skin types of the built-in skin by group, with the targets each is declared for, read from
// its skin files, and their image names.
struct NativeSkin {
  std::map<std::string, std::map<std::string, std::set<std::string>>> types;
  std::vector<std::pair<fs::path, std::string>> images;  // (group folder, file name)

  NativeSkin() {
    fs::path root = fs::path(KAVRO_SOURCE_DIR) / "resources" / "Images";
    static const std::regex item(R"x(<item\s+skinTarget="([^"]*)"(?:\s+skinType="([^"]*)")?)x");
    static const std::regex image(
        R"x(<(?:backgroundImage|highlightedBackgroundImage|image|imageChecked|imageNotChecked|highlightedImage|separatorImage)[^>]*>([^<]+)<)x");
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
      if (entry.path().filename() != "skin.xml") continue;
      std::string group = fs::relative(entry.path().parent_path(), root).generic_string();
      if (group == ".") group = "*";
      std::string text = readFile(entry.path());
      for (std::sregex_iterator it(text.begin(), text.end(), item), end; it != end; ++it)
        types[group][(*it)[2].matched ? (*it)[2].str() : "*"].insert((*it)[1].str());
      for (std::sregex_iterator it(text.begin(), text.end(), image), end; it != end; ++it)
        images.emplace_back(entry.path().parent_path(), trimmed((*it)[1]));
    }
  }
};

TEST(SkinKeysTest, TheBuiltInSkinHasEverySkinTypeTheScreensName) {
  SkinNameScanner scanner;
  NativeSkin skin;
  EXPECT_TRUE(scanner.unresolved().empty())
      << "a skin type the scanner cannot follow (give AppSkin a literal, a constant or a helper's "
         "literal): "
      << ::testing::PrintToString(scanner.unresolved());
  // The scanner follows the ways the screens name their skins, and who asks.
  for (const SkinKey& known :
       {SkinKey{"common", "checkbox_circle"}, SkinKey{"job_related", "jobsearch_param_title"},
        SkinKey{"job_related", "jobsearch_result_bottom_report_button"},
        SkinKey{"job_related", "jobslist_result_internship"},
        SkinKey{"*", "skin_cell_display_jobname_readed"}, SkinKey{"app_home", "fans_badge_label"},
        SkinKey{"job_related", "jobdetail_report_section_head"}})
    EXPECT_TRUE(scanner.keys().contains(known)) << known.first << " " << known.second;
  EXPECT_TRUE(
      scanner.keys().at({"job_related", "jobslist_result_campus"}).contains(std::string(ImageTarget)));
  EXPECT_TRUE(scanner.keys().at({"*", "skin_cell_display_jobname"}).contains(std::string(LabelTarget)));

  for (const auto& [key, askers] : scanner.keys()) {
    const auto& [group, type] = key;
    if (type.empty() || type == "*") continue;
    auto declared = skin.types[group].find(type);
    if (declared == skin.types[group].end()) {
      ADD_FAILURE() << "the built-in skin lacks \"" << type << "\" in group \"" << group << "\"";
      continue;
    }
    const auto& targets = declared->second;
    for (const auto& asker : askers) {
      bool found = targets.contains("*");
      if (asker == AnyView) {
        for (const auto& t : targets) found = found || t != ImageTarget;
      } else {
        found = found || targets.contains(asker);
      }
      EXPECT_TRUE(found) << "\"" << type << "\" in group \"" << group << "\" is asked for by " << asker
                         << " but declared only for " << ::testing::PrintToString(targets);
    }
  }
}

TEST(SkinKeysTest, EveryImageTheBuiltInSkinNamesIsShipped) {
  NativeSkin skin;
  fs::path root = fs::path(KAVRO_SOURCE_DIR) / "resources" / "Images";
  ASSERT_FALSE(skin.images.empty());
  for (const auto& [folder, name] : skin.images) {
    bool shipped = fs::exists(folder / name) || fs::exists(root / name);
    EXPECT_TRUE(shipped) << name << " named in " << (folder / "skin.xml").string();
  }
}

}  // namespace
