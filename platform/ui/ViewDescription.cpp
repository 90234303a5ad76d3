#include "platform/ui/ViewDescription.h"

#include <cmath>
#include <cstdio>

#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"

namespace platform {

std::string formatNumber(double v) {
  double r = std::round(v * 100) / 100;
  if (r == 0) r = 0;  // no "-0"
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f", r);
  std::string s = buf;
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  return s;
}

std::string quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string formatRect(const Rect& r) {
  return "(" + formatNumber(r.origin.x) + ", " + formatNumber(r.origin.y) + ", " +
         formatNumber(r.size.width) + ", " + formatNumber(r.size.height) + ")";
}

namespace {

void describe(const View& v, int depth, std::string& out) {
  out.append(std::size_t(depth) * 2, ' ');
  out += v.className();
  out += ' ';
  out += formatRect(v.frame());
  if (auto vc = v.viewController()) out += " <" + vc->className() + ">";
  if (v.isHidden()) {
    out += " hidden\n";
    return;
  }
  std::vector<std::string> facts;
  v.describeProperties(facts);
  for (const auto& f : facts) out += " " + f;
  out += '\n';
  for (const auto& sub : v.subviews()) describe(*sub, depth + 1, out);
}

}  // namespace

std::string describeTree(View& root) {
  root.layoutIfNeeded();
  std::string out;
  describe(root, 0, out);
  return out;
}

}  // namespace platform
