#!/usr/bin/env python3
"""Writes records whose awards carry ranges, following docs/verifiable-draw.md (sections 3.3, 3.6, 4, 5).

The draw is simulated here on its own, without verify_document.py: its lists, hashes, streams and
eligible positions are computed from the text. Each record is written as NAME.json, and, when it has
one, its list file as NAME.list.csv.  Run: python3 make_ranged_records.py; it writes the *-ranged-* records of tests/data/records.
"""
import base64, datetime, decimal, hashlib, hmac, json, os, re

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "records")
T = "2026-12-09T19:30:00+08:00"
WHITE = "\t\n\v\f\r \x85\xa0\u1680\u2000\u2001\u2002\u2003\u2004\u2005\u2006\u2007\u2008\u2009\u200a" \
        "\u2028\u2029\u202f\u205f\u3000"


def enc(x):
    b = str(x).encode("utf-8")
    return str(len(b)).encode() + b":" + b


def canon(v):
    return json.dumps(v, ensure_ascii=False, separators=(",", ":"), sort_keys=True)


def trim(s):
    return s.strip(WHITE)


def as_date(v):
    v = trim(v)
    m = re.fullmatch(r"([0-9]+)(\.[0-9]+)?", v)
    if m:              # 3.6 (a): a serial day from 10000 (1927-05-18) to 73050 (2099-12-31), else no date
        ok = len(m.group(1)) <= 7 and 10000 <= int(m.group(1)) <= 73050
        return datetime.date(1899, 12, 30) + datetime.timedelta(int(m.group(1))) if ok else None
    m = re.fullmatch(r"([0-9]{4})(?:([-/.])([0-9]{1,2})\2([0-9]{1,2})|年([0-9]{1,2})月([0-9]{1,2})日)"
                     r"(?:(?: +|T)([0-9]{1,2}):([0-9]{2})(?::([0-9]{2}))?)?", v)
    if not m or int(m.group(7) or 0) > 23 or int(m.group(8) or 0) > 59 or int(m.group(9) or 0) > 59:
        return None
    try:
        d = datetime.date(int(m.group(1)), int(m.group(3) or m.group(5)), int(m.group(4) or m.group(6)))
    except ValueError:
        return None
    return d if d.year >= 1900 else None


def as_number(v):
    v = trim(v)
    return decimal.Decimal(v) if re.fullmatch(r"[+-]?[0-9]+(\.[0-9]+)?", v) else None


def meets(c, v):
    k, w = c["kind"], c["values"]
    if k == "oneOf":
        return trim(v) in w
    if k in ("onOrBefore", "onOrAfter"):
        d, day = as_date(v), datetime.date.fromisoformat(w[0])
        return d is not None and (d <= day if k == "onOrBefore" else d >= day)
    x = as_number(v)
    return x is not None and (x >= decimal.Decimal(w[0]) if k == "atLeast" else x <= decimal.Decimal(w[0]))


def words(conds, excluded):
    sign = {"onOrBefore": "≤", "atMost": "≤", "onOrAfter": "≥", "atLeast": "≥"}
    cw = [c["attribute"] + ("=" + "/".join(c["values"]) if c["kind"] == "oneOf" else sign[c["kind"]] + c["values"][0])
          for c in conds]
    pieces = (["仅限 " + "，".join(cw)] if cw else []) + ([f"不参与名单 {len(excluded)} 个号码除外"] if excluded else [])
    return "，".join(pieces)


def ranges(ps):
    out = []
    for p in sorted(ps):
        if out and out[-1][1] + 1 == p:
            out[-1][1] = p
        else:
            out.append([p, p])
    return out


def bitmap(ps, n, nbytes=None):
    """The bitmap of positions ps among n entrants (3.3): bit (p - 1) mod 8 of byte (p - 1) div 8, base64."""
    b = bytearray((n + 7) // 8 if nbytes is None else nbytes)
    for p in ps:
        b[(p - 1) // 8] |= 1 << (p - 1) % 8
    return base64.b64encode(bytes(b)).decode("ascii")


B64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"


def fingerprint(L):
    return hashlib.sha256(enc("tombolix-list-v2") + b"".join(enc(n) + enc(m) for n, m in L)).hexdigest()


class Stream:
    def __init__(self, key, a, k):
        self.key, self.a, self.k, self.j, self.buf = key, a, k, 0, b""

    def below(self, n):
        while True:
            if not self.buf:
                msg = enc("tombolix-round-v2") + enc(self.a) + enc(self.k) + enc(self.j)
                self.buf, self.j = hmac.new(self.key, msg, hashlib.sha256).digest(), self.j + 1
            u, self.buf = int.from_bytes(self.buf[:8], "big"), self.buf[8:]
            if u < 2**64 - 2**64 % n:
                return u % n


class Draw:
    """people: [(number, name, {attribute: value})] in position order (the committed list)."""

    def __init__(self, people, draw_id=1):
        self.entries, self.lists, self.draw_id = [], [], draw_id
        self.standing, self.W, self.rounds, self.next_result = {}, set(), {}, 1
        self.people, self.L, self.commit_in_force, self.prev_fp = people, None, None, None

    def add(self, typ, content):
        prev = self.entries[-1]["hash"] if self.entries else "0" * 64
        seq = len(self.entries) + 1
        h = hashlib.sha256(b"".join(enc(x) for x in ("tombolix-entry-v2", prev, seq, typ, T, canon(content)))).hexdigest()
        self.entries.append({"content": content, "hash": h, "previous": prev, "sequence": seq, "time": T, "type": typ})

    def commit(self, awards, seed, name="年会", reason="", cleared=False, people=None, alter=None):
        """awards: dicts with id, name, prize, count, perRound, repeat, and for a range: conditions, excluded;
        optional written_conditions / written_excluded / range / eligible / extra to write something else;
        bitmap: True to write eligible as a bitmap, or a function of the bitmap giving the text to write.
        alter: a function that changes the commit's content before it is hashed."""
        if people is not None:
            self.people = people
        L = [(n, m) for n, m, _ in self.people]
        fp = fingerprint(L)
        if fp != self.prev_fp:
            self.lists.append({"entrants": [list(k) for k in L]})
        self.prev_fp, self.L = fp, L
        if cleared:
            self.standing, self.W = {}, set()
        ids = {a["id"] for a in awards}
        self.standing = {r: s for r, s in self.standing.items() if s[0] in ids}
        norep = {a["id"] for a in awards if not a["repeat"]}
        out = self.W | {(s[1], s[2]) for s in self.standing.values() if s[0] in norep}
        excluded = [p for p, k in enumerate(L, 1) if k in out]
        self.E = set(range(1, len(L) + 1)) - set(excluded)
        self.awards, self.S, written = awards, {}, []
        for a in awards:
            conds, ex = a.get("conditions"), a.get("excluded")
            ranged = conds is not None or ex is not None
            conds, ex = conds or [], ex or []
            elig = [p for p, (n, m, attrs) in enumerate(self.people, 1)
                    if n != "" and n not in ex and all(meets(c, self.value(n, m, attrs, c["attribute"])) for c in conds)]
            elig = a.get("eligible", elig)
            self.S[a["id"]] = set(elig)
            w = {k: a[k] for k in ("count", "id", "name", "perRound", "prize", "repeat")}
            w["eligible"] = ranges(elig)
            if a.get("bitmap"):
                w["eligible"] = bitmap(elig, len(L))
                if callable(a["bitmap"]):
                    w["eligible"] = a["bitmap"](w["eligible"])
            wc, wx = a.get("written_conditions", conds), a.get("written_excluded", ex)
            w["range"] = a["range"] if "range" in a else words(wc, wx) if ranged else ""
            if ranged:
                w["conditions"], w["excludedNumbers"] = wc, wx
            w.update(a.get("extra", {}))
            for k in a.get("drop", ()):
                del w[k]
            written.append(w)
        self.seed = seed
        content = {"awards": written, "cleared": cleared, "commitment": hashlib.sha256(seed).hexdigest(),
                   "draw": self.draw_id, "entrants": len(L), "excluded": excluded, "fingerprint": fp,
                   "name": name, "reason": reason}
        if alter:
            alter(content)
        self.add("commit", content)
        self.commit_in_force = True

    number_column, name_column = "号码", "姓名"

    def value(self, n, m, attrs, attribute):
        """An attribute may be any header column, the number and name columns included (section 7)."""
        if attribute in attrs:
            return attrs[attribute]
        return n if attribute == self.number_column else m if attribute == self.name_column else ""

    def hall(self, numbers):
        self.key = hmac.new(self.seed, enc("tombolix-hall-v2") + enc(numbers), hashlib.sha256).digest()
        self.add("hall", {"numbers": numbers})

    def won(self, a):
        return sum(1 for s in self.standing.values() if s[0] == a)

    def current(self):
        return next((a for a in self.awards if self.won(a["id"]) < a["count"] and self.E & self.S[a["id"]]), None)

    def round(self):
        a = self.current()
        A = sorted(self.E & self.S[a["id"]])
        m, k = min(a["perRound"], a["count"] - self.won(a["id"]), len(A)), self.rounds.get(a["id"], 0) + 1
        st, winners, eligible = Stream(self.key, a["id"], k), [], len(A)
        for _ in range(m):
            if not A:
                break
            p = A[st.below(len(A))]
            A = [q for q in A if self.L[q - 1] != self.L[p - 1]]
            winners.append({"name": self.L[p - 1][1], "number": self.L[p - 1][0], "position": p,
                            "result": self.next_result})
            self.next_result += 1
        for w in winners:
            self.standing[w["result"]] = (a["id"], w["number"], w["name"])
            if not a["repeat"]:
                self.E -= {q for q, key in enumerate(self.L, 1) if key == (w["number"], w["name"])}
        self.rounds[a["id"]] = k
        self.add("round", {"award": a["id"], "eligible": eligible, "round": k, "winners": winners})
        return winners

    def draw_all(self):
        while self.current():
            self.round()

    def withdraw(self, result, reason="未到场"):
        s = self.standing.pop(result)
        self.W.add(s[1:])
        if self.commit_in_force:
            self.E -= {q for q, key in enumerate(self.L, 1) if key == s[1:]}
        self.add("withdrawal", {"award": s[0], "name": s[2], "number": s[1], "reason": reason, "result": result})

    def reveal(self):
        self.add("reveal", {"seed": self.seed.hex()})
        self.commit_in_force = None

    def write(self, name, listfile=None):
        rec = {"draw": {"id": self.draw_id}, "entries": self.entries, "format": "tombolix-record-2",
               "lists": self.lists, "results": [{"award": s[0], "id": r, "name": s[2], "number": s[1]}
                                                for r, s in sorted(self.standing.items())],
               "rule": "tombolix-draw-v2"}
        with open(os.path.join(HERE, name + ".json"), "w", encoding="utf-8", newline="") as f:
            f.write(canon(rec) + "\n")
        if listfile is not None:
            with open(os.path.join(HERE, name + ".list.csv"), "w", encoding="utf-8", newline="") as f:
                f.write(listfile)


def csv_of(header, people, cols, lead=""):
    q = lambda x: '"' + x.replace('"', '""') + '"'
    return lead + ",".join(header) + "\r\n" + "".join(",".join(q(x) for x in [n, m] + [a.get(c, "") for c in cols]) + "\r\n"
                                                      for n, m, a in people)


# ---- the draws ---------------------------------------------------------------

STAFF = [("1001", "张三", {"类别": "员工", "入职日期": "2020-03-01"}),
         ("1002", "李四", {"类别": "员工", "入职日期": "2025-12-10"}),      # joined after the day
         ("1003", "王五", {"类别": "来宾", "入职日期": "2019-01-01"}),      # a guest
         ("1004", "赵六", {"类别": "员工", "入职日期": "2024/6/1"}),
         ("1005", "钱七", {"类别": "来宾", "入职日期": ""}),
         ("1006", "孙八", {"类别": "员工", "入职日期": "45000"}),           # a spreadsheet serial: 2023-03-15
         ("", "吴十", {"类别": "员工", "入职日期": "2020-01-01"})]          # no number: never eligible
STAFF_CSV = csv_of(["抽奖号码", "姓名", "类别", "入职日期"], STAFF, ["类别", "入职日期"], "\ufeff")
EMPLOYEE = [{"attribute": "类别", "kind": "oneOf", "values": ["员工"]},
            {"attribute": "入职日期", "kind": "onOrBefore", "values": ["2025-12-09"]}]
SEED1, SEED2 = bytes(range(32)), bytes(range(32, 64))


def staff_awards(**change):
    a1 = dict(id=1, name="员工奖", prize="红包", count=2, perRound=2, repeat=False, conditions=EMPLOYEE)
    a2 = dict(id=2, name="幸运奖", prize="水杯", count=2, perRound=1, repeat=False, excluded=["1003"])
    a3 = dict(id=3, name="一等奖", prize="电视", count=1, perRound=1, repeat=False)
    awards = [a1, a2, a3]
    for i, kv in change.items():
        awards[int(i[1:]) - 1] = dict(awards[int(i[1:]) - 1], **kv)
    return awards


def staff(name, listfile=STAFF_CSV, **change):
    d = Draw(STAFF)
    d.commit(staff_awards(**change), SEED1)
    d.hall("3 14 159")
    d.draw_all()
    d.reveal()
    d.write(name, listfile)
    return d


# Two sittings; a person listed twice whose two rows differ; numbers; a title row above the header.
TEAM = [("2001", "陈一", {"部门": "市场部", "工龄": "3"}),
        ("2002", "林二", {"部门": "销售部", "工龄": "10"}),
        ("2003", "黄三", {"部门": "研发部", "工龄": "9.99"}),
        ("2002", "林二", {"部门": "研发部", "工龄": "12"}),     # the second row of 2002 林二
        ("2005", "何五", {"部门": "市场部", "工龄": "+007.50"}),
        ("2006", "郭六", {"部门": "销售部", "工龄": "1,000"}),  # not a number
        ("2007", "冯七", {"部门": " 销售部 ", "工龄": "8"})]
TEAM_CSV = "2026 年会名单,,,\r\n" + csv_of(["工号", "姓名", " 部门 ", "工龄"], TEAM, ["部门", "工龄"])
SALES = [{"attribute": "部门", "kind": "oneOf", "values": sorted(["市场部", "销售部"], key=lambda s: s.encode())},
         {"attribute": "工龄", "kind": "atLeast", "values": ["7.5"]}]


def team_awards(b_conditions, **change):
    a1 = dict(id=1, name="销售奖", prize="耳机", count=2, perRound=1, repeat=False, conditions=SALES, excluded=["2007"])
    a2 = dict(id=2, name="新人奖", prize="书", count=2, perRound=2, repeat=True, conditions=b_conditions, excluded=[])
    a3 = dict(id=3, name="一等奖", prize="电视", count=1, perRound=1, repeat=False)
    awards = [a1, a2, a3]
    for i, kv in change.items():
        awards[int(i[1:]) - 1] = dict(awards[int(i[1:]) - 1], **kv)
    return awards


def team(name, listfile=TEAM_CSV, first=None, second=None, alter=None):
    d = Draw(TEAM)
    d.commit(team_awards([{"attribute": "工龄", "kind": "atMost", "values": ["9.99"]}], **(first or {})), SEED1)
    d.hall("2 7")
    w = d.round()                         # 销售奖, round 1
    d.withdraw(w[0]["result"], "未到场")
    d.reveal()
    d.commit(team_awards([{"attribute": "工龄", "kind": "atMost", "values": ["10"]}], **(second or {})), SEED2,
             reason="奖项已改动", alter=alter)
    d.hall("")
    d.draw_all()
    d.reveal()
    d.write(name, listfile)
    return d


# Dates as people type them, and a year alone (no date: section 3.6 (a) reads only serials 10000 to 73050).
DATES = [("3001", "甲", {"入职": "2025年1月5日"}), ("3002", "乙", {"入职": "2025.1.5"}),
         ("3003", "丙", {"入职": "2025-1-5T09:30:00"}), ("3004", "丁", {"入职": " 2025/1/5 9:30 "}),
         ("3005", "戊", {"入职": "45662.99"}), ("3006", "己", {"入职": "2025-02-29"}),
         ("3007", "庚", {"入职": "2025/13/01"}), ("3008", "辛", {"入职": "2025"}),
         ("3009", "壬", {"入职": "2025-01-05 24:00"}), ("3010", "癸", {"入职": "2025-01-04"})]
DATES_CSV = csv_of(["号码", "姓名", "入职"], DATES, ["入职"])


def dates(name, conditions, listfile=DATES_CSV, **a):
    d = Draw(DATES)
    d.commit([dict(id=1, name="纪念奖", prize="纪念品", count=10, perRound=10, repeat=False, conditions=conditions, **a)],
             SEED1)
    d.hall("5")
    d.draw_all()
    d.reveal()
    d.write(name, listfile)
    return d


if __name__ == "__main__":
    for f in os.listdir(HERE):
        if "-ranged-" in f and (f.endswith(".json") or f.endswith(".list.csv")):
            os.remove(os.path.join(HERE, f))
    staff("honest-ranged-staff")
    staff("honest-ranged-staff-without-list-file", listfile=None)
    # Checks 1 to 8 cannot see attributes: without the list file a guest in eligible passes.
    staff("honest-ranged-guest-in-eligible-without-list-file", listfile=None, a1=dict(eligible=[1, 3, 4, 6]))
    team("honest-ranged-two-sittings")
    dates("honest-ranged-date-forms", [{"attribute": "入职", "kind": "onOrAfter", "values": ["2025-01-05"]},
                                       {"attribute": "入职", "kind": "onOrBefore", "values": ["2025-01-05"]}])
    # 辛's "2025" is no date (it is not 1905-07-17, as a serial 2025 would be): it meets neither condition.
    dates("honest-ranged-a-year-alone-is-not-a-date", [{"attribute": "入职", "kind": "onOrBefore",
                                                        "values": ["2025-01-05"]}])
    # The ends of the serial days, and digits just outside them.
    d = Draw([("4001", "子", {"入职": "9999"}), ("4002", "丑", {"入职": "10000"}), ("4003", "寅", {"入职": "0073050"}),
              ("4004", "卯", {"入职": "73051"}), ("4005", "辰", {"入职": "202501"}), ("4006", "巳", {"入职": "10000.75"})])
    SERIAL_ENDS = [{"attribute": "入职", "kind": "onOrAfter", "values": ["1927-05-18"]},
                   {"attribute": "入职", "kind": "onOrBefore", "values": ["2099-12-31"]}]
    SERIAL_CSV = csv_of(["号码", "姓名", "入职"], d.people, ["入职"])
    d.commit([dict(id=1, name="纪念奖", prize="纪念品", count=6, perRound=6, repeat=False, conditions=SERIAL_ENDS)], SEED1)
    d.hall("6")
    d.draw_all()
    d.reveal()
    d.write("honest-ranged-serial-ends", SERIAL_CSV)
    # An attribute may name the number or the name column.
    dates("honest-ranged-attribute-is-the-number-column", [{"attribute": "号码", "kind": "atLeast", "values": ["3005"]},
                                                           {"attribute": "姓名", "kind": "oneOf",
                                                            "values": sorted(["戊", "庚", "癸"], key=lambda s: s.encode())}])
    dates("honest-ranged-only-excluded-numbers", [], excluded=["3001", "3010", "9999"])

    # Section 2 compares texts exactly: the committed number "1003 " is not the excluded number "1003".
    d = Draw([("1001", "张三", {}), ("1003 ", "王五", {}), ("1004", "赵六", {})])
    d.commit([dict(id=1, name="幸运奖", prize="水杯", count=3, perRound=3, repeat=False, excluded=["1003"])], SEED1)
    d.hall("8")
    d.draw_all()
    d.reveal()
    d.write("honest-ranged-excluded-number-compared-exactly")

    staff("dishonest-ranged-guest-in-eligible", a1=dict(eligible=[1, 3, 4, 6]))
    staff("dishonest-ranged-serial-day-not-read", a1=dict(eligible=[1, 4]))
    staff("dishonest-ranged-words-do-not-match", a1=dict(range="仅限 类别=员工"))
    staff("dishonest-ranged-words-with-ascii-comma", a1=dict(range="仅限 类别=员工,入职日期≤2025-12-09"))
    staff("dishonest-ranged-words-of-excluded-count-wrong", a2=dict(range="不参与名单 2 个号码除外"))
    staff("dishonest-ranged-excluded-number-in-eligible", a2=dict(eligible=[1, 2, 3, 4, 5, 6]))
    staff("dishonest-ranged-excluded-number-in-eligible-without-list-file", listfile=None,
          a1=dict(excluded=["1004"], eligible=[1, 4, 6]))
    staff("dishonest-ranged-position-without-number-in-eligible", listfile=None, a1=dict(eligible=[1, 4, 6, 7]))
    staff("dishonest-ranged-eligible-of-excluded-only-narrowed", listfile=None, a2=dict(eligible=[1, 2, 4, 5]))
    staff("dishonest-ranged-list-file-without-the-attribute-column",
          listfile=csv_of(["抽奖号码", "姓名", "类别"], STAFF, ["类别"]))
    staff("dishonest-ranged-list-file-without-a-header-row",
          listfile="".join(f"{n},{m},{a['类别']},{a['入职日期']}\r\n" for n, m, a in STAFF))
    staff("dishonest-ranged-values-not-ascending",
          a1=dict(conditions=[{"attribute": "类别", "kind": "oneOf", "values": ["员工", "正式员工"]}, EMPLOYEE[1]],
                  written_conditions=[{"attribute": "类别", "kind": "oneOf", "values": ["正式员工", "员工"]}, EMPLOYEE[1]]))
    staff("dishonest-ranged-value-repeated",
          a1=dict(written_conditions=[{"attribute": "类别", "kind": "oneOf", "values": ["员工", "员工"]}, EMPLOYEE[1]]))
    staff("dishonest-ranged-attribute-not-trimmed",
          a1=dict(written_conditions=[{"attribute": "类别 ", "kind": "oneOf", "values": ["员工"]}, EMPLOYEE[1]]))
    staff("dishonest-ranged-day-not-in-normal-form",
          a1=dict(written_conditions=[EMPLOYEE[0], {"attribute": "入职日期", "kind": "onOrBefore", "values": ["2025/12/09"]}]))
    staff("dishonest-ranged-two-days",
          a1=dict(written_conditions=[EMPLOYEE[0], {"attribute": "入职日期", "kind": "onOrBefore",
                                                    "values": ["2025-12-09", "2026-01-01"]}]))
    staff("dishonest-ranged-unknown-kind",
          a1=dict(written_conditions=[EMPLOYEE[0], {"attribute": "入职日期", "kind": "before", "values": ["2025-12-09"]}],
                  range="仅限 类别=员工，入职日期≤2025-12-09"))
    staff("dishonest-ranged-excluded-numbers-not-ascending", a2=dict(excluded=["1003", "1001"]))
    staff("dishonest-ranged-excluded-number-not-trimmed", a2=dict(written_excluded=[" 1003"]))
    staff("dishonest-ranged-neither-condition-nor-excluded-number", a2=dict(excluded=[], range="全体"))
    staff("dishonest-ranged-conditions-on-an-award-without-range",
          a3=dict(extra={"conditions": [], "excludedNumbers": []}))
    staff("dishonest-ranged-excluded-numbers-missing", a1=dict(drop=["excludedNumbers"]))
    team("dishonest-ranged-number-not-in-normal-form",
         second=dict(a2=dict(written_conditions=[{"attribute": "工龄", "kind": "atMost", "values": ["10.0"]}])))
    team("dishonest-ranged-minus-zero", first=dict(a2=dict(conditions=[{"attribute": "工龄", "kind": "atLeast",
                                                                         "values": ["-0"]}])))
    team("dishonest-ranged-row-of-a-position-swapped", first=dict(a1=dict(eligible=[4, 5])))
    dates("dishonest-ranged-a-year-alone-read-as-a-serial",
          [{"attribute": "入职", "kind": "onOrBefore", "values": ["2025-01-05"]}], eligible=[1, 2, 3, 4, 5, 8, 10])
    dates("dishonest-ranged-a-year-alone-read-as-a-serial-of-1905",
          [{"attribute": "入职", "kind": "onOrBefore", "values": ["1905-07-17"]}], eligible=[8])
    d = Draw([("4001", "子", {"入职": "9999"}), ("4002", "丑", {"入职": "10000"}), ("4003", "寅", {"入职": "0073050"}),
              ("4004", "卯", {"入职": "73051"})])
    d.commit([dict(id=1, name="纪念奖", prize="纪念品", count=4, perRound=4, repeat=False,
                   conditions=[{"attribute": "入职", "kind": "onOrAfter", "values": ["1900-01-01"]}], eligible=[1, 2, 3, 4])],
             SEED1)
    d.hall("6")
    d.draw_all()
    d.reveal()
    d.write("dishonest-ranged-serial-beyond-the-ends-read", csv_of(["号码", "姓名", "入职"], d.people, ["入职"]))
    dates("dishonest-ranged-invalid-date-read", [{"attribute": "入职", "kind": "onOrAfter", "values": ["2025-01-05"]},
                                                 {"attribute": "入职", "kind": "onOrBefore", "values": ["2025-01-05"]}],
          eligible=[1, 2, 3, 4, 5, 6])

    # An award's eligible as a bitmap (3.3): the same sets as ranges, the same verdicts.
    ALL = dict(bitmap=True)
    staff("honest-ranged-bitmap-staff", a1=ALL, a2=ALL, a3=ALL)                          # KQ==, Ow==, Pw==: 7 entrants
    team("honest-ranged-bitmap-two-sittings", second=dict(a1=ALL, a2=ALL, a3=ALL))       # ranges, then bitmaps
    dates("honest-ranged-bitmap-only-excluded-numbers", [], excluded=["3001", "3010", "9999"], bitmap=True)  # /gE=
    d = Draw([])                                                    # no entrants: the bitmap is the empty string
    d.commit([dict(id=1, name="一等奖", prize="电视", count=1, perRound=1, repeat=False, bitmap=True)], SEED1)
    d.hall("1")
    d.reveal()
    d.write("honest-ranged-bitmap-of-no-entrants")
    staff("honest-ranged-bitmap-guest-in-eligible-without-list-file", listfile=None, a1=dict(eligible=[1, 3, 4, 6], bitmap=True))
    staff("dishonest-ranged-bitmap-guest-in-eligible", a1=dict(eligible=[1, 3, 4, 6], bitmap=True))
    staff("dishonest-ranged-bitmap-excluded-number-in-eligible", a2=dict(eligible=[1, 2, 3, 4, 5, 6], bitmap=True))
    staff("dishonest-ranged-bitmap-excluded-number-in-eligible-without-list-file", listfile=None,
          a1=dict(excluded=["1004"], eligible=[1, 4, 6], bitmap=True))
    # The one form of a bitmap: each of these stands, to a lenient decoder, for the honest set (or one more
    # position no one holds), and each is refused (check 1).
    staff("dishonest-ranged-bitmap-bit-beyond-entrants", listfile=None, a3=dict(eligible=[1, 2, 3, 4, 5, 6, 8], bitmap=True))
    staff("dishonest-ranged-bitmap-unused-bits-not-zero", a1=dict(bitmap=lambda t: t[0] + B64[B64.index(t[1]) | 1] + t[2:]))
    staff("dishonest-ranged-bitmap-one-byte-too-many", a1=dict(bitmap=lambda t: bitmap([1, 4, 6], 7, nbytes=2)))
    staff("dishonest-ranged-bitmap-without-padding", a1=dict(bitmap=lambda t: t.rstrip("=")))
    staff("dishonest-ranged-bitmap-text-after-padding", a1=dict(bitmap=lambda t: t + t))
    staff("dishonest-ranged-bitmap-line-break-inside", a1=dict(bitmap=lambda t: t[:2] + "\n" + t[2:]))
    staff("dishonest-ranged-bitmap-space-inside", a1=dict(bitmap=lambda t: t[:2] + " " + t[2:]))
    dates("dishonest-ranged-bitmap-url-safe-alphabet", [], excluded=["3001", "3010", "9999"],
          bitmap=lambda t: t.replace("+", "-").replace("/", "_"))                        # _gE=
    # A bitmap only stands for an award's eligible: the commit's excluded stays positions.
    team("dishonest-ranged-bitmap-as-excluded", alter=lambda c: c.update(excluded=bitmap(c["excluded"], c["entrants"])))
