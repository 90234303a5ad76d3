#include "mapsdk/search/RouteStepText.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "mapsdk/engine/VCodePage.h"

namespace gmengine {

namespace {

const char* const kTurnNames[25] = {"",
                                    "直行",
                                    "稍向右转",
                                    "右前方转弯",
                                    "右转",
                                    "稍向右后转弯",
                                    "右后方转弯",
                                    "调头",
                                    "左后方转弯",
                                    "稍向左后转弯",
                                    "左转",
                                    "左前方转弯",
                                    "稍向左转",
                                    "正北方向",
                                    "东北方向",
                                    "正东方向",
                                    "东南方向",
                                    "正南方向",
                                    "西南方向",
                                    "正西方向",
                                    "西北方向",
                                    "",
                                    "",
                                    "",
                                    ""};
const char* const kDriveKinds[7] = {"",     "从起点出发",       "到达终点",        "到达途经点",
                                    "行驶", "到达终点(在左侧)", "到达终点(在右侧)"};
const char* const kWalkKinds[7] = {"",     "从起点出发",       "到达终点",        "到达途经点",
                                   "步行", "到达终点(在左侧)", "到达终点(在右侧)"};
const char* const kRoadKinds[20] = {
    "",           "环岛",           "无属性道路",     "主路",      "高速连接路", "交叉点内路段",
    "连接道路",   "停车场内部道路", "服务区内部道路", "桥",        "步行街",     "辅路",
    "匝道",       "全封闭道路",     "未定义交通区域", "POI连接路", "隧道",       "步行道",
    "公交专用道", "提前右转道"};

CVString GbkText(const char* text) { return MultiByteToCVString(CP_ACP, text); }

// A stop name gets 站 unless it ends with it.
CVString StopName(const char* gbk) {
  CVString name = GbkText(gbk);
  if (name.GetAt(name.GetLength() - 1) != u'站') name += u'站';
  return name;
}

// A line name loses its bracketed part and gets 路 unless it ends with 线 or 路.
CVString LineName(const char* gbk) {
  CVString name = GbkText(gbk);
  int bracket = name.Find(CVString(u"("));
  if (bracket >= 0) name = name.Mid(0, bracket);
  char16_t last = name.GetAt(name.GetLength() - 1);
  if (last != u'线' && last != u'路') name += u'路';
  return name;
}

CVString Bold(const CVString& text) { return CVString("<font bold=\"1\">") + text + CVString("</font>"); }

CVString Count(int n) {
  CVString s;
  s.Format(u"%d", n);
  return s;
}

bool IsEnd(int kind) { return kind == 2 || kind == 5 || kind == 6; }

CVString EndMarkup(int kind) {
  CVString end = CVString("到达") + Bold(CVString("终点"));
  if (kind == 5) return end + CVString("(在") + Bold(CVString("左侧")) + CVString(")");
  if (kind == 6) return end + CVString("(在") + Bold(CVString("右侧")) + CVString(")");
  return end;
}

CVString RoadOf(const tag_Link& link) {
  if (link.roadName[0]) return GbkText(link.roadName);
  if (link.roadKind == 1 || link.roadKind == 9 || link.roadKind == 12 || link.roadKind == 16) {
    return GbkText(link.roadKindName);
  }
  return CVString();
}

void BuildPlanTexts(CVArray<tag_BusLine>& rides, CVArray<tag_BusTransStop>& stops, tag_BusRoute& route,
                    int planIndex) {
  const int n = rides.GetSize();
  unsigned total = static_cast<unsigned>(stops[0].walkDistance);
  {
    tag_BusTransStop& first = stops[0];
    CVString s = StopName(first.onName);
    CVString d = DistanceText(first.walkDistance);
    CVString l = LineName(rides[0].name);
    first.walkSummary = CVString("步行,到达") + s;
    if (first.walkDistance >= 11) first.walkSummary += CVString(" - ") + d;
    first.rideText = CVString("在") + s + CVString("上车,乘坐") + l + CVString(" - ") +
                     Count(rides[0].stationCount) + CVString("站");
    if (first.walkDistance >= 11) {
      first.walkText = CVString("步行") + d + CVString(",到达") + s;
      first.walkMarkup = Bold(CVString("步行")) + d + CVString(",到达") + Bold(s);
    }
  }
  for (int j = 0; j < n; ++j) {
    tag_BusLine& ride = rides[j];
    tag_BusTransStop& next = stops[j + 1];
    CVString l = LineName(ride.name);
    CVString e = StopName(next.offName);
    CVString count = Count(ride.stationCount);
    ride.text = CVString("乘坐") + l + CVString(", 经过") + count + CVString("站, 到达") + e;
    ride.markup = CVString("乘坐") + Bold(l) + CVString(", 经过") + count + CVString("站, 到达") + Bold(e);
    // Alternatives: the ride at the same position in the route's later plans, when its reserved
    // text differs from this ride's; each name once.
    std::set<std::u16string> seen;
    CVString alternatives;
    for (int p = planIndex + 1; p < route.plans.GetSize(); ++p) {
      const CVArray<tag_BusLine>& other = route.plans[p];
      if (j >= other.GetSize() || std::strcmp(other[j].reserved2, ride.reserved2) == 0) continue;
      CVString name = LineName(other[j].name);
      if (!seen.insert(name.str()).second) continue;
      if (!alternatives.IsEmpty()) alternatives += u',';
      alternatives += name;
    }
    if (!alternatives.IsEmpty()) {
      ride.text += CVString(".也可乘坐") + alternatives;
      ride.markup += CVString("<br/><font color=\"0x808080\">也可乘坐:</font><font color=\"0x3d6dcc\">") +
                     alternatives + CVString("</font>");
    }
    CVString nName = StopName(next.onName);
    CVString d = DistanceText(next.walkDistance);
    if (next.walkDistance < 11) {
      next.walkSummary = CVString("在") + e + CVString("下车");
    } else {
      next.walkText = CVString("步行") + d + CVString(",到达") + nName;
      next.walkMarkup = Bold(CVString("步行")) + d + CVString(",到达") + Bold(nName);
      next.walkSummary = CVString("在") + e + CVString("下车,步行 - ") + d;
    }
    if (j == n - 1) {
      next.rideText = CVString("到达") + GbkText(next.onName);
    } else {
      next.rideText = CVString("在") + nName + CVString("上车,乘坐") + LineName(rides[j + 1].name) +
                      CVString(" - ") + Count(rides[j + 1].stationCount) + CVString("站");
    }
    total += static_cast<unsigned>(ride.distance) + static_cast<unsigned>(next.walkDistance);
  }
  route.planDistances.Add(total);
}

}  // namespace

const char* TurnName(int turn) { return turn >= 0 && turn <= 24 ? kTurnNames[turn] : ""; }

const char* KeyPointKindName(int mode, int kind) {
  if (kind < 0 || kind > 6) return "";
  return mode == 2 ? kWalkKinds[kind] : kDriveKinds[kind];
}

const char* RoadKindName(int kind) { return kind >= 0 && kind < 20 ? kRoadKinds[kind] : ""; }

CVString DistanceText(int metres) {
  CVString text;
  if (metres < 1) return text;
  if (metres < 1000) {
    int rounded = metres <= 10 ? 10 : (metres + 5) / 10 * 10;
    text.Format(u"%d米", rounded);
  } else {
    text.Format(u"%.1f公里", metres / 1000.0);
  }
  return text;
}

void BuildBusRouteTexts(tag_BusRouteRst& record) {
  for (tag_BusRoute& route : record.routes) {
    const int plans = std::min(route.plans.GetSize(), route.stops.GetSize());
    for (int p = 0; p < plans; ++p) {
      CVArray<tag_BusLine>& rides = route.plans[p];
      CVArray<tag_BusTransStop>& stops = route.stops[p];
      if (rides.IsEmpty() || stops.GetSize() != rides.GetSize() + 1) continue;
      BuildPlanTexts(rides, stops, route, p);
    }
  }
}

void BuildCarRouteTexts(tag_CarRoute& route) {
  CVArray<tag_CarRouteKeyPt>& kps = route.keyPoints;
  CVArray<tag_Link>& links = route.links;
  const int count = kps.GetSize();
  for (int i = 0; i < count; ++i) {
    if (i < links.GetSize() && links[i].length == 0 && IsEnd(kps[i].kind)) {
      kps[i].text = GbkText(kps[i].kindName);
      kps[i].text2 = kps[i].text;
      kps[i].markup = EndMarkup(kps[i].kind);
      return;
    }
    if (i < links.GetSize() && links[i].length == 0 && kps[i].kind == 1) {
      CVString turn = GbkText(kps[i].turnName);
      kps[i].text = CVString("从起点向") + turn + CVString("出发");
      kps[i].text2 = kps[i].text;
      kps[i].markup = CVString("从") + Bold(CVString("起点")) + CVString("向") + turn + CVString("出发");
      if (i + 1 >= count) return;
      ++i;
    }
    if (i >= links.GetSize()) continue;
    tag_Link& link = links[i];
    CVString road = RoadOf(link);
    CVString p, pm;
    if (!road.IsEmpty()) {
      p = CVString("沿") + road;
      pm = CVString("沿") + Bold(road);
    }
    CVString tail = GbkText(kps[i].kindName) + DistanceText(link.length) + CVString(",");
    link.text = p + tail;
    link.markup = pm + tail;
    CVString t = GbkText(kps[i].turnName);
    CVString tm = Bold(t);
    CVString t2 = t;
    if (i + 1 < links.GetSize()) {
      const tag_Link& next = links[i + 1];
      if (next.length < 1 && i + 1 < count && IsEnd(kps[i + 1].kind)) {
        t += GbkText(kps[i + 1].kindName);
        tm += EndMarkup(kps[i + 1].kind);
        t2 = t;
      } else if (next.length >= 1) {
        CVString r2 = RoadOf(next);
        if (!r2.IsEmpty()) {
          if (!next.roadName[0] && (next.roadKind == 9 || next.roadKind == 12)) {
            t += CVString("上") + r2;
            tm += CVString("上") + Bold(r2);
          } else {
            t += CVString("进入") + r2;
            tm += CVString("进入") + Bold(r2);
          }
        }
        CVString d = DistanceText(next.length);
        t2 = d.IsEmpty() ? t : t + CVString(" - ") + d;
      }
    }
    kps[i].text = t;
    kps[i].text2 = t2;
    kps[i].markup = tm;
  }
}

}  // namespace gmengine
