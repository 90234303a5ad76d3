#!/usr/bin/env python3
"""Writes the demo server's sample: dictionaries, companies, jobs, groups and community posts.

    tools/demo/make_sample.py [OUT_DIR]      (default: demo/data/sample)

The output is the same on every run (its own small generator of numbers, no clock, no hashing of
strings by Python), so a change to the sample shows as a plain diff of the files.
"""

import datetime
import math
import os
import sys

SAMPLE_DATE = (2013, 6, 10)  # the day the sample's newest jobs were issued

# ---- numbers ------------------------------------------------------------------------------------


class Numbers:
    """xorshift64*: the same sequence on every Python."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFFFFFFFFFF or 1

    def next(self):
        x = self.state
        x ^= (x >> 12)
        x ^= (x << 25) & 0xFFFFFFFFFFFFFFFF
        x ^= (x >> 27)
        self.state = x
        return (x * 0x2545F4914F6CDD1D) & 0xFFFFFFFFFFFFFFFF

    def below(self, n):
        return (self.next() >> 11) % n

    def pick(self, items):
        return items[self.below(len(items))]

    def unit(self):
        return (self.next() >> 11) / float(1 << 53)

    def between(self, lo, hi):
        return lo + (hi - lo) * self.unit()


# ---- areas --------------------------------------------------------------------------------------
# (code, name, hot, lat, lon, districts); a province holds cities instead of districts.

MUNICIPALITIES = [
    ("010000", "北京", 1, 39.9042, 116.4074,
     [("010100", "海淀区"), ("010200", "朝阳区"), ("010300", "东城区"), ("010400", "西城区"), ("010500", "丰台区")]),
    ("020000", "上海", 1, 31.2304, 121.4737,
     [("020100", "浦东新区"), ("020200", "黄浦区"), ("020300", "徐汇区"), ("020400", "长宁区"),
      ("020500", "静安区"), ("020600", "闵行区")]),
    ("040000", "深圳", 1, 22.5431, 114.0579,
     [("040100", "南山区"), ("040200", "福田区"), ("040300", "罗湖区"), ("040400", "宝安区")]),
    ("050000", "天津", 1, 39.3434, 117.3616, [("050100", "和平区"), ("050200", "滨海新区")]),
    ("060000", "重庆", 1, 29.5630, 106.5516, [("060100", "渝中区"), ("060200", "江北区")]),
]

PROVINCES = [
    ("030000", "广东省", [
        ("030200", "广州", 1, 23.1291, 113.2644, [("030201", "天河区"), ("030202", "越秀区"), ("030203", "海珠区")]),
        ("030600", "佛山", 0, 23.0215, 113.1214, [("030601", "禅城区"), ("030602", "南海区")]),
        ("030800", "东莞", 0, 23.0207, 113.7518, [("030801", "南城区"), ("030802", "松山湖")]),
    ]),
    ("070000", "江苏省", [
        ("070200", "南京", 1, 32.0603, 118.7969, [("070201", "玄武区"), ("070202", "鼓楼区"), ("070203", "建邺区")]),
        ("070300", "苏州", 0, 31.2989, 120.5853, [("070301", "工业园区"), ("070302", "姑苏区")]),
        ("070400", "无锡", 0, 31.4912, 120.3119, [("070401", "梁溪区"), ("070402", "滨湖区")]),
    ]),
    ("080000", "浙江省", [
        ("080200", "杭州", 1, 30.2741, 120.1551, [("080201", "西湖区"), ("080202", "滨江区"), ("080203", "上城区")]),
        ("080300", "宁波", 0, 29.8683, 121.5440, [("080301", "鄞州区"), ("080302", "海曙区")]),
    ]),
    ("090000", "四川省", [
        ("090200", "成都", 1, 30.5728, 104.0668, [("090201", "高新区"), ("090202", "锦江区"), ("090203", "武侯区")]),
    ]),
    ("180000", "湖北省", [
        ("180200", "武汉", 1, 30.5928, 114.3055, [("180201", "洪山区"), ("180202", "江汉区"), ("180203", "武昌区")]),
    ]),
    ("200000", "陕西省", [
        ("200200", "西安", 0, 34.3416, 108.9398, [("200201", "雁塔区"), ("200202", "碑林区")]),
    ]),
]

LANDMARKS = {
    "020100": ["陆家嘴", "张江高科", "金桥"], "020200": ["人民广场", "外滩"], "020300": ["徐家汇", "漕河泾"],
    "020500": ["南京西路", "静安寺"], "010100": ["中关村", "五道口", "上地"], "010200": ["国贸", "望京", "三里屯"],
    "040100": ["科技园", "蛇口"], "040200": ["车公庙", "华强北"], "030201": ["珠江新城", "天河城"],
    "080201": ["黄龙", "文三路"], "080202": ["滨江高新区"], "070201": ["新街口"], "090201": ["天府软件园"],
    "180201": ["光谷"],
}

STREETS = ["人民路", "中山路", "科技路", "创新大道", "建设路", "解放路", "和平路", "学院路", "长江路", "高新大道",
           "南京路", "东方路", "世纪大道", "软件园路", "滨河路"]

# ---- dictionaries -------------------------------------------------------------------------------

FUNCTIONS = [
    ("0100", "计算机/互联网/通信", [
        ("0101", "软件工程师", ["Java开发工程师", "C++软件工程师", "Python开发工程师", "iOS开发工程师",
                                "Android开发工程师", "Go后端工程师", "嵌入式软件工程师"]),
        ("0102", "前端开发", ["前端开发工程师", "Web前端工程师（JavaScript）"]),
        ("0103", "软件测试", ["测试工程师", "自动化测试工程师"]),
        ("0104", "数据分析", ["数据分析师", "大数据开发工程师", "数据挖掘工程师"]),
        ("0105", "运维/系统管理", ["运维工程师", "Linux系统管理员"]),
    ]),
    ("0200", "销售", [
        ("0201", "销售代表", ["销售代表", "电话销售专员"]),
        ("0202", "客户经理", ["客户经理", "大客户经理"]),
        ("0203", "销售管理", ["销售经理", "区域销售总监"]),
    ]),
    ("0300", "市场/公关", [
        ("0301", "市场专员", ["市场专员", "Marketing Assistant"]),
        ("0302", "品牌/运营", ["品牌经理", "新媒体运营"]),
    ]),
    ("0400", "财务/会计", [("0401", "会计", ["会计", "出纳"]), ("0402", "财务分析", ["财务分析师", "财务主管"])]),
    ("0500", "人力资源", [("0501", "招聘", ["招聘专员", "HR实习生"]), ("0502", "人事管理", ["人事经理", "薪酬福利专员"])]),
    ("0600", "行政/后勤", [("0601", "行政", ["行政专员", "行政助理"]), ("0602", "前台", ["前台接待"])]),
    ("0700", "设计", [("0701", "平面设计", ["平面设计师"]), ("0702", "交互/UI设计", ["UI设计师", "交互设计师"])]),
    ("0800", "生产/质量", [("0801", "生产管理", ["生产主管", "车间主任"]), ("0802", "质量管理", ["质量工程师", "品质检验员"])]),
]

INDUSTRIES = [("01", "计算机软件"), ("02", "互联网/电子商务"), ("03", "电子技术/半导体"), ("04", "通信/电信"),
              ("05", "金融/银行"), ("06", "贸易/进出口"), ("07", "快速消费品"), ("08", "房地产"),
              ("09", "教育/培训"), ("10", "咨询服务"), ("11", "汽车及零配件"), ("12", "医疗/制药")]

# Filter dictionaries: the first entry of each is "no limit" (a code of zeros).
ISSUEDATES = [("0", "所有日期"), ("1", "近一天"), ("2", "近三天"), ("3", "近一周"), ("4", "近两周"), ("5", "近一个月")]
SALARIES = [("00", "不限"), ("01", "2000以下"), ("02", "2000-2999"), ("03", "3000-4499"), ("04", "4500-5999"),
            ("05", "6000-7999"), ("06", "8000-9999"), ("07", "10000-14999"), ("08", "15000-19999"),
            ("09", "20000以上"), ("10", "面议")]
DEGREES = [("00", "不限"), ("01", "初中及以下"), ("02", "高中/中专"), ("03", "大专"), ("04", "本科"), ("05", "硕士"),
           ("06", "博士")]
WORKYEARS = [("00", "不限"), ("01", "在读学生"), ("02", "应届毕业生"), ("03", "1年"), ("04", "2年"), ("05", "3-4年"),
             ("06", "5-7年"), ("07", "8-9年"), ("08", "10年以上")]
TERMS = [("00", "不限"), ("01", "全职"), ("02", "兼职"), ("03", "实习"), ("04", "全职/兼职")]
COTYPES = [("00", "不限"), ("01", "外资（欧美）"), ("02", "外资（非欧美）"), ("03", "合资"), ("04", "国企"),
           ("05", "民营公司"), ("06", "上市公司"), ("07", "事业单位"), ("08", "创业公司")]
COSIZES = [("00", "不限"), ("01", "少于50人"), ("02", "50-150人"), ("03", "150-500人"), ("04", "500-1000人"),
           ("05", "1000-5000人"), ("06", "5000-10000人"), ("07", "10000人以上")]
GENDERS = [("0", "男"), ("1", "女")]
EMAIL_SUFFIXES = ["qq.com", "163.com", "126.com", "sina.com", "gmail.com", "hotmail.com", "sohu.com"]
LANGUAGES = ["英语 良好", "英语 熟练", "英语 一般", "日语 良好", ""]

# ---- companies and jobs -------------------------------------------------------------------------

BRANDS = ["浦江", "星河", "东方", "信达", "云帆", "鼎新", "华创", "远景", "长风", "明德", "锐思", "恒通", "蓝海",
          "启明", "天成", "博远", "新桥", "众和", "金石", "青禾", "瑞丰", "凌云", "同创", "嘉誉", "安信", "德科",
          "海纳", "宏图", "立信", "未来"]
SUFFIXES = {
    "01": ["软件有限公司", "信息技术有限公司", "数据科技有限公司"], "02": ["网络科技有限公司", "电子商务有限公司"],
    "03": ["微电子有限公司", "半导体有限公司"], "04": ["通信技术有限公司"], "05": ["金融服务有限公司", "银行"],
    "06": ["贸易有限公司", "进出口有限公司"], "07": ["食品有限公司", "日用品有限公司"], "08": ["置业有限公司"],
    "09": ["教育科技有限公司", "培训学校"], "10": ["咨询有限公司", "管理咨询有限公司"],
    "11": ["汽车部件有限公司"], "12": ["医药有限公司", "生物科技有限公司"],
}
COINFO = ("{name}成立于{year}年，总部位于{city}，从事{industry}相关业务，现有员工{size}。"
          "公司重视人才培养，提供有竞争力的薪酬和完善的培训体系。")
JOBINFO = ("岗位职责：\n1. 负责{func}相关工作，完成部门下达的目标；\n2. 与团队协作，持续改进工作流程。\n"
           "任职要求：\n1. {degree}及以上学历，{workyear}；\n2. 责任心强，善于沟通。")
TOPICS = ["面试流程很规范，技术面问得很细。", "有人知道今年校招什么时候开始吗？", "公司食堂不错，班车也方便。",
          "新人培训安排得很充实，带教的同事很耐心。", "请问这边的加班情况怎么样？", "刚拿到offer，下周入职，求前辈指点！",
          "办公环境很好，离地铁站很近。", "年终奖一般发几个月？"]
USERS = ["小王", "lee", "阿杰", "Lucy", "张同学", "求职小白", "老周", "Mia"]

# Anchors: the jobs and companies of the runner's examples and of the older fixtures.
ANCHOR_COMPANIES = [
    # coid, name, district, cotype, cosize, industry, address, lat, lon
    ("2310486", "上海浦江数据科技有限公司", "020100", "05", "03", "01", "上海市浦东新区张江高科技园区碧波路 690 号",
     31.2037, 121.5907),
    ("1872254", "北京东方信达咨询有限公司", "010200", "05", "02", "10", "北京市朝阳区建国路 88 号", 39.9087, 116.4605),
    ("3021877", '广州 "星河" 贸易有限公司', "030201", "03", "02", "06", "广州市天河区珠江新城华夏路 10 号",
     23.1200, 113.3245),
]
ANCHOR_JOBS = [
    # jobid, name, coid, area, function, issuedate, saltype, degree, workyear, term, language
    ("45127603", "高级软件工程师（C++）", "2310486", "020100", "0101", (2013, 6, 10), "06", "04", "05", "01", "英语 熟练"),
    ("45127711", "数据分析实习生", "2310486", "020100", "0104", (2013, 5, 18), "01", "04", "01", "03", "英语 良好"),
    ("45127802", "测试工程师", "2310486", "010100", "0103", (2013, 5, 16), "05", "03", "04", "01", ""),
    ("45088190", "客户经理 & 渠道专员", "1872254", "010200", "0202", (2013, 5, 19), "10", "03", "03", "01", ""),
    ("44990012", "Marketing Assistant", "3021877", "030201", "0301", (2013, 5, 18), "04", "04", "02", "01", "英语 熟练"),
]
GROUPS = [("9001", "浦江数据集团", "集团下设软件、数据与咨询三家子公司，2013 年校园招聘覆盖上海、北京、成都。")]

COMPANY_COUNT = 72
JOB_COUNT = 460


def days_before(date, days):
    day = datetime.date(*date) - datetime.timedelta(days=days)
    return (day.year, day.month, day.day)


def experience(code, names):
    if code in ("01", "02"):
        return "在读学生或应届毕业生均可"
    return names[code] + ("以上" if code in ("03", "04") else "") + "相关工作经验"


def text_date(date):
    return "%04d-%02d-%02d" % date


def tsv(value):
    return str(value).replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n")


def write(path, header, rows):
    with open(path, "w", encoding="utf-8", newline="\n") as out:
        out.write("\t".join(header) + "\n")
        for row in rows:
            out.write("\t".join(tsv(v) for v in row) + "\n")


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "..", "demo", "data", "sample")
    os.makedirs(out_dir, exist_ok=True)
    numbers = Numbers(20130610)

    # Areas: name, centre and parent of every code.
    areas = {}  # code -> dict(name, city, lat, lon, parent, hassub)
    dictionary = []  # (ddtype, parent, code, value, hassub, ishot)
    root = []

    def add_city(code, name, hot, lat, lon, districts, parent):
        areas[code] = dict(name=name, city=name, lat=lat, lon=lon, district="")
        level = [("jobarea", code, code, name, 0, 0)]
        for dcode, dname in districts:
            dlat = lat + numbers.between(-0.06, 0.06)
            dlon = lon + numbers.between(-0.07, 0.07)
            areas[dcode] = dict(name=dname, city=name, lat=dlat, lon=dlon, district=dname)
            level.append(("jobarea", code, dcode, dname, 0, 0))
        dictionary.extend(level)
        return ("jobarea", parent, code, name, 1, hot)

    hot, provinces = [], []
    for code, name, is_hot, lat, lon, districts in MUNICIPALITIES:
        hot.append(add_city(code, name, is_hot, lat, lon, districts, ""))
    for pcode, pname, cities in PROVINCES:
        areas[pcode] = dict(name=pname, city=pname, lat=cities[0][3], lon=cities[0][4], district="")
        level = [("jobarea", pcode, pcode, pname, 0, 0)]
        for code, name, is_hot, lat, lon, districts in cities:
            row = add_city(code, name, is_hot, lat, lon, districts, pcode)
            level.append(row[:5] + (0,))
            if is_hot:
                hot.append(row[:1] + ("",) + row[2:])
        dictionary.extend(level)
        provinces.append(("jobarea", "", pcode, pname, 1, 0))
    root = hot + provinces
    dictionary = root + dictionary
    # The resume's area dictionaries and the salary area are the same tree.
    for alias in ("hukou", "location", "salaryarea"):
        dictionary += [(alias,) + row[1:] for row in dictionary if row[0] == "jobarea"]

    for district, names in LANDMARKS.items():
        for i, name in enumerate(names):
            dictionary.append(("landmark", district, "%s%02d" % (district, i + 1), name, 0, 0))
    landmarks_of = {d: ["%s%02d" % (d, i + 1) for i in range(len(n))] for d, n in LANDMARKS.items()}

    for code, name, subs in FUNCTIONS:
        dictionary.append(("funtype", "", code, name, 1, 0))
        dictionary.append(("funtype", code, code, name, 0, 0))
        for scode, sname, _ in subs:
            dictionary.append(("funtype", code, scode, sname, 0, 0))
    for code, name in INDUSTRIES:
        dictionary.append(("indtype", "", code, name, 0, 0))
    flat = [("issuedate", ISSUEDATES), ("saltype", SALARIES), ("degree", DEGREES), ("resumedegree", DEGREES[1:]),
            ("workyear", WORKYEARS), ("workterm", TERMS), ("cotype", COTYPES), ("cosize", COSIZES),
            ("gender", GENDERS), ("email_suffix", [(str(i + 1), s) for i, s in enumerate(EMAIL_SUFFIXES)])]
    for ddtype, entries in flat:
        for code, name in entries:
            dictionary.append((ddtype, "", code, name, 0, 0))
    write(os.path.join(out_dir, "dictionary.tsv"), ["ddtype", "parent", "code", "value", "hassub", "ishot"],
          dictionary)

    area_rows = [(code, a["city"], a["district"], "%.6f" % a["lat"], "%.6f" % a["lon"])
                 for code, a in sorted(areas.items())]
    write(os.path.join(out_dir, "areas.tsv"), ["code", "city", "district", "lat", "lon"], area_rows)

    districts = sorted(code for code, a in areas.items() if a["district"])
    # Busier cities get more companies: Shanghai, Beijing, Shenzhen, Guangzhou, Hangzhou first.
    weighted = []
    for code in districts:
        weight = 3 if code[:2] in ("01", "02") else 2 if code[:2] in ("04", "03", "08") else 1
        weighted += [code] * weight

    def spot(lat, lon, km):
        dlat = numbers.between(-km, km) / 111.0
        dlon = numbers.between(-km, km) / (111.0 * math.cos(math.radians(lat)))
        return lat + dlat, lon + dlon

    companies = []
    used_names = set(c[1] for c in ANCHOR_COMPANIES)
    for coid, name, district, cotype, cosize, industry, address, lat, lon in ANCHOR_COMPANIES:
        companies.append(dict(coid=coid, name=name, area=district, cotype=cotype, cosize=cosize, indtype=industry,
                              caddr=address, lat=lat, lon=lon))
    # Every city has companies; busier cities have more.
    cities = sorted(set(areas[d]["city"] for d in districts))
    for i in range(COMPANY_COUNT):
        if i < 2 * len(cities):
            district = numbers.pick([d for d in districts if areas[d]["city"] == cities[i % len(cities)]])
        else:
            district = numbers.pick(weighted)
        industry = numbers.pick(INDUSTRIES)[0]
        city = areas[district]["city"]
        while True:
            name = city + numbers.pick(BRANDS) + numbers.pick(SUFFIXES[industry])
            if name not in used_names:
                break
        used_names.add(name)
        lat, lon = spot(areas[district]["lat"], areas[district]["lon"], 1.5)
        street = numbers.pick(STREETS)
        address = "%s市%s%s %d 号" % (city, areas[district]["district"], street, 1 + numbers.below(999))
        companies.append(dict(coid=str(2300000 + 173 * (i + 1)), name=name, area=district,
                              cotype=numbers.pick(COTYPES[1:])[0], cosize=numbers.pick(COSIZES[1:])[0],
                              indtype=industry, caddr=address, lat=lat, lon=lon))
    by_coid = {c["coid"]: c for c in companies}
    names_of = {code: name for code, name in INDUSTRIES}
    cosize_names = dict(COSIZES)
    company_rows = []
    for c in companies:
        city = areas[c["area"]]["city"]
        info = COINFO.format(name=c["name"], year=1995 + int(c["coid"]) % 17, city=city,
                             industry=names_of[c["indtype"]], size=cosize_names[c["cosize"]])
        fans = int(c["coid"]) % 300
        company_rows.append((c["coid"], c["name"], c["area"], c["cotype"], c["cosize"], c["indtype"], c["caddr"],
                             "%.6f" % c["lat"], "%.6f" % c["lon"], fans, info))
    write(os.path.join(out_dir, "companies.tsv"),
          ["coid", "coname", "area", "cotype", "cosize", "indtype", "caddr", "lat", "lon", "fansnum", "coinfo"],
          company_rows)

    subfunctions = [(scode, sname, names) for _, _, subs in FUNCTIONS for scode, sname, names in subs]
    salary_of_degree = {"01": "02", "02": "03", "03": "04", "04": "05", "05": "07", "06": "08"}
    jobs = []
    for jobid, name, coid, area, func, date, saltype, degree, workyear, term, language in ANCHOR_JOBS:
        jobs.append(dict(jobid=jobid, name=name, coid=coid, area=area, funtype=func, date=date, saltype=saltype,
                         degree=degree, workyear=workyear, term=term, language=language))
    generated_companies = companies[len(ANCHOR_COMPANIES):]
    # Shanghai and Beijing companies post most.
    posting = [c for c in generated_companies for _ in range(3 if c["area"][:2] in ("01", "02") else 1)]
    for i in range(JOB_COUNT):
        company = numbers.pick(posting) if i % 7 else numbers.pick(companies)
        scode, sname, titles = numbers.pick(subfunctions)
        title = numbers.pick(titles)
        if numbers.below(4) == 0 and not title.endswith("实习生"):
            title = numbers.pick(["高级", "资深", "初级"]) + title
        term = numbers.pick(["01", "01", "01", "01", "02", "03", "04"])
        if term == "03" and "实习" not in title:
            title += "（实习）"
        # Most jobs ask for a college or university degree; pay follows degree and experience.
        degree = numbers.pick(["02", "03", "03", "04", "04", "04", "04", "05", "05", "06"])
        workyear = "01" if term == "03" else numbers.pick(WORKYEARS[2:])[0]
        if term == "03":
            saltype = "01"
        elif term == "02":
            saltype = "02"
        elif numbers.below(8) == 0:
            saltype = "10"
        else:
            bump = 2 if int(workyear) >= 6 else 1 if int(workyear) == 5 else 0
            saltype = "%02d" % min(9, int(salary_of_degree[degree]) + bump)
        jobs.append(dict(jobid=str(45200000 + 89 * (i + 1)), name=title, coid=company["coid"], area=company["area"],
                         funtype=scode, date=days_before(SAMPLE_DATE, numbers.below(40)), saltype=saltype,
                         degree=degree, workyear=workyear, term=term, language=numbers.pick(LANGUAGES)))
    salary_names = dict(SALARIES)
    degree_names = dict(DEGREES)
    workyear_names = dict(WORKYEARS)
    func_names = {code: name for code, name, _ in subfunctions}
    job_rows = []
    anchor_ids = set(j[0] for j in ANCHOR_JOBS)
    for job in jobs:
        company = by_coid[job["coid"]]
        # A job sits at its company's building (the anchors exactly), or at an office elsewhere.
        if job["jobid"] in anchor_ids:
            lat, lon = company["lat"], company["lon"]
        elif job["area"] == company["area"]:
            lat, lon = spot(company["lat"], company["lon"], 0.4)
        else:
            lat, lon = spot(areas[job["area"]]["lat"], areas[job["area"]]["lon"], 1.0)
        marks = landmarks_of.get(job["area"], [])
        landmark = marks[int(job["jobid"]) % len(marks)] if marks else ""
        info = JOBINFO.format(func=func_names[job["funtype"]], degree=degree_names[job["degree"]],
                              workyear=experience(job["workyear"], workyear_names))
        job_rows.append((job["jobid"], job["name"], job["coid"], job["area"], job["funtype"], text_date(job["date"]),
                         job["saltype"], salary_names[job["saltype"]], job["degree"], job["workyear"], job["term"],
                         landmark, 1 + int(job["jobid"]) % 5, job["language"], "%.6f" % lat, "%.6f" % lon, info))
    write(os.path.join(out_dir, "jobs.tsv"),
          ["jobid", "jobname", "coid", "area", "funtype", "issuedate", "saltype", "providesalary", "degree",
           "workyear", "jobterm", "landmark", "jobnum", "language", "lat", "lon", "jobinfo"], job_rows)

    group_companies = ["2310486"] + [c["coid"] for c in generated_companies if c["indtype"] == "01"][:2]
    write(os.path.join(out_dir, "groups.tsv"), ["groupid", "groupname", "coids", "groupinfo"],
          [(g, n, ",".join(group_companies), info) for g, n, info in GROUPS])

    topic_rows = []
    for n, c in enumerate(companies):
        count = 2 if c["coid"] == "2310486" else int(c["coid"]) % 5
        for k in range(count):
            noticeid = 7700000 + 31 * n + k
            date = days_before(SAMPLE_DATE, (n + 3 * k) % 20)
            topic_rows.append((c["coid"], noticeid, USERS[(n + k) % len(USERS)],
                               "%s %02d:%02d" % (text_date(date), 9 + (n + k) % 12, (7 * n + 13 * k) % 60),
                               TOPICS[(n * 3 + k) % len(TOPICS)]))
    write(os.path.join(out_dir, "topics.tsv"), ["coid", "noticeid", "username", "createtime", "content"], topic_rows)


if __name__ == "__main__":
    main()
