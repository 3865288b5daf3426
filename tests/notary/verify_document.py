#!/usr/bin/env python3
"""Independent checker of rule tombolix-draw-v2 (and of v1 records, Appendix A).

Written from docs/verifiable-draw.md alone, with Python's standard library.

    verify_document.py --vectors                 reproduce the vectors of section 9
    verify_document.py RECORD.json [LIST]        check a record (sections 3-7)

Exit 0: 验证通过; 1: 验证未通过 (the reason names the check of section 6);
2: a file cannot be read, or the record is not JSON.
"""
import base64, bisect, datetime, decimal, hashlib, hmac, json, os, re, struct, sys, zipfile
import xml.etree.ElementTree as ET
from collections import Counter

MAXINT = 2**53 - 1
ZERO = "0" * 64


class Fail(Exception):
    def __init__(self, check, msg):
        super().__init__(f"check {check}: {msg}")


class Unreadable(Exception):
    pass


def need(cond, check, msg):
    if not cond:
        raise Fail(check, msg)


# ---- section 2 and 3.1 ---------------------------------------------------

def enc(x):
    b = (str(x) if type(x) is int else x).encode("utf-8")
    return str(len(b)).encode() + b":" + b


ESC = {i: "\\u%04x" % i for i in range(32)}
ESC.update({8: "\\b", 9: "\\t", 10: "\\n", 12: "\\f", 13: "\\r", 34: '\\"', 92: "\\\\"})


def canon(v):
    """Canonical text of section 3.1; raises Fail(1) for values it cannot have."""
    out = []

    def walk(v):
        if v is None or v is True or v is False:
            out.append({None: "null", True: "true", False: "false"}[v])
        elif type(v) is int:
            need(-MAXINT <= v <= MAXINT, 1, f"integer {v} out of range")
            out.append(str(v))
        elif type(v) is str:
            out.append('"' + v.translate(ESC) + '"')
        elif type(v) is list:
            out.append("[")
            for i, x in enumerate(v):
                out.append("," if i else "")
                walk(x)
            out.append("]")
        elif type(v) is dict:
            out.append("{")
            for i, k in enumerate(sorted(v, key=lambda k: k.encode("utf-8", "surrogatepass"))):
                out.append(("," if i else "") + '"' + k.translate(ESC) + '":')
                walk(v[k])
            out.append("}")
        else:
            raise Fail(1, "a number with a fraction or an exponent")
    walk(v)
    return "".join(out)


JSON_TOKEN = re.compile(r'''[ \t\n\r]*(?:([{}\[\],:])|("(?:[^"\\\x00-\x1f]|\\["\\/bfnrt]|\\u[0-9a-fA-F]{4})*")|(-?(?:0|[1-9][0-9]*)(?:\.[0-9]+)?(?:[eE][+-]?[0-9]+)?)|(true|false|null))''')


def is_json_text(text):
    """RFC 8259's grammar alone, at any depth, without recursion (section 8: what is not JSON text ends with 2)."""
    i, stack, want = 0, [], "value"      # want: value, value-or-close, key, key-or-close, colon, comma-or-close
    while True:
        m = JSON_TOKEN.match(text, i)
        if not m:
            return not stack and want == "end" and text[i:].strip(" \t\n\r") == ""
        i, punct, string = m.end(), m.group(1), m.group(2)
        if want == "end":
            return False
        if punct in ("}", "]"):
            if not stack or {"}": "{", "]": "["}[punct] != stack[-1] or want not in (
                    "comma-or-close", "value-or-close" if punct == "]" else "key-or-close"):
                return False
            stack.pop()
        elif punct in ("{", "["):
            if want not in ("value", "value-or-close"):
                return False
            stack.append(punct)
            want = "key-or-close" if punct == "{" else "value-or-close"
            continue
        elif punct == ",":
            if want != "comma-or-close":
                return False
            want = "key" if stack[-1] == "{" else "value"
            continue
        elif punct == ":":
            if want != "colon":
                return False
            want = "value"
            continue
        elif want in ("key", "key-or-close"):
            if string is None:
                return False
            want = "colon"
            continue
        elif want not in ("value", "value-or-close"):
            return False
        want = "comma-or-close" if stack else "end"


def parse_json(text):
    """json.loads that also reports duplicate names, fractions, exponents, NaN,
    huge integers and lone surrogates; raises ValueError when text is not JSON."""
    problems = []

    def pairs(ps):
        if len({k for k, _ in ps}) != len(ps):
            problems.append("a member name appears twice")
        return dict(ps)

    def bad(what):
        def f(s):
            problems.append(f"{what} {s[:20]}")
            return 0.5
        return f

    def integer(s):
        if len(s) > 17:
            problems.append(f"integer out of range {s[:20]}")
            return 0
        return int(s)
    v = json.loads(text, object_pairs_hook=pairs, parse_float=bad("a number with a fraction or exponent"),
                   parse_constant=bad("a non-JSON constant"), parse_int=integer)
    stack = [(v, 1)]
    while stack:                      # strings must be Unicode scalar values (section 2); at most 64 levels (3.1)
        x, level = stack.pop()
        if level > 64:
            problems.append("a value deeper than 64 levels")
            break
        if type(x) is dict:
            stack.extend((k, level + 1) for k in x.keys()); stack.extend((y, level + 1) for y in x.values())
        elif type(x) is list:
            stack.extend((y, level + 1) for y in x)
        elif type(x) is str and re.search("[\ud800-\udfff]", x):
            problems.append("a string that is not Unicode scalar values")
    return v, problems


# ---- types of section 3.2 (all failures are check 1) ---------------------

def V(pred, what):
    def f(v, path):
        need(pred(v), 1, f"{path} is not {what}")
    return f


def Obj(members, optional=()):
    def f(v, path):
        need(type(v) is dict, 1, f"{path} is not an object")
        need(set(members) - set(optional) <= set(v) <= set(members), 1,
             f"{path} has members {sorted(v)}, the rule wants {sorted(members)}")
        for k in v:
            members[k](v[k], f"{path}.{k}")
    return f


def Arr(elem, least=0):
    def f(v, path):
        need(type(v) is list and len(v) >= least, 1, f"{path} is not an array of at least {least}")
        for i, x in enumerate(v):
            elem(x, f"{path}[{i}]")
    return f


def is_int(v, least=None):
    return type(v) is int and (least is None or v >= least)


HEXRE = re.compile("[0-9a-f]{64}")
TIMERE = re.compile("([0-9]{4})-([0-9]{2})-([0-9]{2})T([0-9]{2}):([0-9]{2}):([0-9]{2})(?:[+-]([0-9]{2}):([0-9]{2}))?")


def valid_time(v, offset):
    m = type(v) is str and len(v) == (25 if offset else 19) and TIMERE.fullmatch(v)
    if not m:
        return False
    y, mo, d, h, mi, s, oh, om = (int(x) if x else 0 for x in m.groups())
    try:
        datetime.date(y, mo, d)
    except ValueError:
        return False
    return 2000 <= y <= 9999 and h <= 23 and mi <= 59 and s <= 59 and oh <= 14 and om <= 59


def ascending(xs):
    return all(a < b for a, b in zip(xs, xs[1:]))


INT, INT0, INT1 = V(is_int, "an integer"), V(lambda v: is_int(v, 0), "an integer ≥ 0"), V(lambda v: is_int(v, 1), "an integer ≥ 1")
STR, BOOL = V(lambda v: type(v) is str, "a string"), V(lambda v: type(v) is bool, "a boolean")
HEX = V(lambda v: type(v) is str and HEXRE.fullmatch(v) is not None, "hex")
TIME2, TIME1 = V(lambda v: valid_time(v, True), "a time"), V(lambda v: valid_time(v, False), "a v1 time")
POSITIONS = V(lambda v: type(v) is list and all(is_int(p, 1) for p in v) and ascending(v), "positions")
PAIR = V(lambda v: type(v) is list and len(v) == 2 and all(type(x) is str for x in v), "a pair")
RANGES = V(lambda v: type(v) is list and all(type(r) is list and len(r) == 2 and all(is_int(x, 1) for x in r)
                                             and r[0] <= r[1] for r in v)
           and all(b[0] > a[1] + 1 for a, b in zip(v, v[1:])), "ranges")
CHANGES = V(lambda v: type(v) is list and all(type(c) is list and len(c) == 3 and is_int(c[0]) and type(c[1]) is str
                                              and type(c[2]) is str for c in v) and ascending([c[0] for c in v]), "changes")
RESULTS = V(lambda v: type(v) is list and ascending([r.get("id") for r in v if type(r) is dict]), "in ascending id")
RESULT = Obj({"award": INT1, "id": INT1, "name": STR, "number": STR})
WITHDRAWAL = Obj({"award": INT1, "name": STR, "number": STR, "reason": STR, "result": INT1})
REVEAL = Obj({"seed": HEX})


def round_type(result):
    winner = Obj({"name": STR, "number": STR, "position": INT1, "result": result})
    return Obj({"award": INT1, "eligible": INT0, "round": INT1, "winners": Arr(winner, 1)})


def distinct_ids(content, path):
    ids = [a["id"] for a in content["awards"]]
    need(len(set(ids)) == len(ids), 1, f"{path}: two awards with one id")


def ELIGIBLE(v, path):
    """An award's eligible (3.2): an array is ranges; a string is a bitmap, read against its commit's
    entrants by bitmap_ranges (check_file_v2); anything else is neither."""
    if type(v) is not str:
        RANGES(v, path)


def bitmap_ranges(text, entrants, path="a bitmap"):
    """The ranges a bitmap stands for (3.3); Fail(1) for a string of any other form: characters outside
    RFC 4648's alphabet, missing or misplaced padding, unused bits not 0, a length other than
    ceil(entrants / 8) bytes, or a bit beyond position entrants."""
    try:
        data = base64.b64decode(text, validate=True)
    except ValueError:
        data = None
    need(data is not None and base64.b64encode(data).decode("ascii") == text, 1,
         f"{path} is not the one base64 text of any bytes")
    need(len(data) == (entrants + 7) // 8, 1, f"{path} has {len(data)} bytes, {entrants} entrants want {(entrants + 7) // 8}")
    need(entrants % 8 == 0 or data[-1] >> entrants % 8 == 0, 1, f"{path} holds a position beyond {entrants}")
    return to_ranges(8 * i + b + 1 for i, x in enumerate(data) if x for b in range(8) if x >> b & 1)


AWARD_MEMBERS = {"count": INT0, "eligible": ELIGIBLE, "id": INT1, "name": STR, "perRound": INT1,
                 "prize": STR, "range": STR, "repeat": BOOL}
KINDS = ("oneOf", "onOrBefore", "onOrAfter", "atLeast", "atMost")
CONDITION = Obj({"attribute": STR, "kind": V(lambda v: v in KINDS, f"one of {KINDS}"), "values": Arr(STR)})
DAYRE = re.compile("([0-9]{4})-([0-9]{2})-([0-9]{2})")
NUMRE = re.compile(r"-?(?:0|[1-9][0-9]*)(?:\.[0-9]*[1-9])?")


def day_of(y, m, d):
    try:
        return datetime.date(int(y), int(m), int(d)) if int(y) >= 1900 else None
    except ValueError:
        return None


def utf8_ascending(xs):
    return ascending([x.encode("utf-8", "surrogatepass") for x in xs])


def AWARD2(v, path):
    """An award of a commit (3.2); with a range, its two more members in their one form (3.6)."""
    ranged = type(v) is dict and type(v.get("range")) is str and v["range"] != ""
    Obj(dict(AWARD_MEMBERS, conditions=Arr(CONDITION), excludedNumbers=Arr(STR)) if ranged else AWARD_MEMBERS)(v, path)
    if not ranged:
        return
    for i, c in enumerate(v["conditions"]):
        at, vs = f"{path}.conditions[{i}]", c["values"]
        need(c["attribute"] != "" and c["attribute"] == trim(c["attribute"]), 1, f"{at}.attribute is not in its one form")
        if c["kind"] == "oneOf":
            need(vs and all(x == trim(x) for x in vs) and utf8_ascending(vs), 1,
                 f"{at}.values are not trimmed, ascending and distinct")
        elif c["kind"] in ("onOrBefore", "onOrAfter"):
            need(len(vs) == 1 and DAYRE.fullmatch(vs[0]) and day_of(*DAYRE.fullmatch(vs[0]).groups()), 1,
                 f"{at}.values is not one day YYYY-MM-DD")
        else:
            need(len(vs) == 1 and NUMRE.fullmatch(vs[0]) and vs[0] != "-0", 1, f"{at}.values is not one number in normal form")
    ex = v["excludedNumbers"]
    need(all(x != "" and x == trim(x) for x in ex) and utf8_ascending(ex), 1,
         f"{path}.excludedNumbers are not trimmed, non-empty, ascending and distinct")
    need(v["conditions"] or ex, 1, f"{path} has a range but neither a condition nor an excluded number")


CONTENT2 = {
    "commit": Obj({"awards": Arr(AWARD2), "cleared": BOOL, "commitment": HEX, "draw": INT1, "entrants": INT0,
                   "excluded": POSITIONS, "fingerprint": HEX, "name": STR, "reason": STR}),
    "hall": Obj({"numbers": STR}), "round": round_type(INT1), "withdrawal": WITHDRAWAL, "reveal": REVEAL}
AWARD1 = Obj({"count": INT0, "id": INT1, "name": STR, "order": INT, "perRound": INT1, "prize": STR, "repeat": BOOL})
CONTENT1 = {
    "entered": Obj({"awards": Arr(AWARD1), "awardsDigest": HEX, "code": V(lambda v: type(v) is str and
                    re.fullmatch("[0-9A-F]{16}", v) is not None, "16 upper-case hex digits"),
                    "commitment": HEX, "draw": INT1, "entrants": INT0, "excluded": POSITIONS, "fingerprint": HEX,
                    "name": STR, "rule": STR}),
    "round": round_type(V(lambda v: v is None or is_int(v, 1), "an integer ≥ 1 or null")),
    "withdrawal": WITHDRAWAL,
    "restart": Obj({"cleared": BOOL, "reason": STR, "seed": HEX}, optional=("seed",)),
    "reveal": REVEAL}
ENTRY = {"content": lambda v, p: None, "hash": HEX, "previous": HEX, "sequence": INT1, "type": STR}


def check_file_v2(raw, rec):
    need(raw == canon(rec).encode("utf-8", "surrogatepass") + b"\n", 1,
         "the file is not the canonical text of its object followed by one LF")
    Obj({"draw": Obj({"id": INT1}), "entries": Arr(Obj(dict(ENTRY, time=TIME2)), 1),
         "format": V(lambda v: v == "tombolix-record-2", "tombolix-record-2"),
         "lists": Arr(lambda v, p: None, 1), "results": Arr(RESULT), "rule": V(lambda v: v == "tombolix-draw-v2", "tombolix-draw-v2")})(rec, "record")
    RESULTS(rec["results"], "results")
    for i, el in enumerate(rec["lists"]):
        if i == 0 or (type(el) is dict and "entrants" in el):
            Obj({"entrants": Arr(PAIR)})(el, f"lists[{i}]")
        else:
            Obj({"added": Arr(PAIR), "changed": CHANGES, "removed": POSITIONS})(el, f"lists[{i}]")
    contents = []
    for i, e in enumerate(rec["entries"]):
        need(e["type"] in CONTENT2, 1, f"entries[{i}].type {e['type']!r} unknown")
        CONTENT2[e["type"]](e["content"], f"entries[{i}].content")
        c = e["content"]
        if e["type"] == "commit":
            distinct_ids(c, f"entries[{i}]")
            # The replay compares sets (3.3): it is given every eligible as ranges; the hash keeps the written form.
            c = dict(c, awards=[dict(a, eligible=bitmap_ranges(a["eligible"], c["entrants"],
                                                               f"entries[{i}].content.awards[{j}].eligible"))
                                if type(a["eligible"]) is str else a for j, a in enumerate(c["awards"])])
        contents.append(c)
    return contents


def check_file_v1(raw, rec):
    need(not raw.startswith(b"\xef\xbb\xbf"), 1, "the file begins with a byte-order mark")
    earlier = lambda v, p: (need(type(v) is dict, 1, f"{p} is not an object"),
                            [(HEX(k, f"{p} name"), Arr(PAIR)(x, f"{p}.{k}")) for k, x in v.items()])
    Obj({"draw": Obj({"id": INT1, "name": STR}), "earlierLists": earlier, "entrants": Arr(PAIR),
         "entries": Arr(Obj(dict(ENTRY, content=STR, time=TIME1)), 1),
         "format": V(lambda v: v == "tombolix-record-1", "tombolix-record-1"), "results": Arr(RESULT),
         "rule": V(lambda v: v == "tombolix-draw-v1", "tombolix-draw-v1")}, optional=("earlierLists",))(rec, "record")
    RESULTS(rec["results"], "results")
    contents = []
    for i, e in enumerate(rec["entries"]):
        try:
            c, problems = parse_json(e["content"])
        except ValueError:
            raise Fail(1, f"entries[{i}].content is not JSON")
        need(not problems, 1, f"entries[{i}].content: {problems[:1]}")
        need(type(c) is dict and canon(c) == e["content"], 1, f"entries[{i}].content is not canonical text of an object")
        need(e["type"] in CONTENT1, 1, f"entries[{i}].type {e['type']!r} unknown")
        CONTENT1[e["type"]](c, f"entries[{i}].content")
        if e["type"] == "entered":
            distinct_ids(c, f"entries[{i}]")
        contents.append(c)
    return contents


# ---- hashes (4.1, 4.2, A) ------------------------------------------------

def entry_hash(e, v1):
    if v1:
        s = f"{e['previous']}|{e['sequence']}|{e['type']}|{e['time']}|{e['content']}"
        return hashlib.sha256(s.encode()).hexdigest()
    b = b"".join(enc(x) for x in ("tombolix-entry-v2", e["previous"], e["sequence"], e["type"], e["time"],
                                  canon(e["content"])))
    return hashlib.sha256(b).hexdigest()


def fingerprint(keys, v1=False):
    h = hashlib.sha256()
    if v1:
        for i, (num, name) in enumerate(keys, 1):
            h.update(f"{i}\t{num}\t{name}\n".encode())
    else:
        h.update(enc("tombolix-list-v2"))
        for num, name in keys:
            h.update(enc(num) + enc(name))
    return h.hexdigest()


def awards_digest(awards):
    s = "".join(f"{a['id']}\t{a['order']}\t{a['name']}\t{a['prize']}\t{a['count']}\t{a['perRound']}\t"
                f"{1 if a['repeat'] else 0}\n" for a in awards)
    return hashlib.sha256(s.encode()).hexdigest()


def hall_key(seed, numbers):
    return hmac.new(seed, enc("tombolix-hall-v2") + enc(numbers), hashlib.sha256).digest()


class Stream:
    """The stream of round k of award a (4.4), or of rule v1 (Appendix A)."""
    def __init__(self, key, a, k, v1=False):
        self.key, self.a, self.k, self.v1, self.j, self.buf = key, a, k, v1, 0, b""

    def u(self):
        if not self.buf:
            msg = (f"tombolix-draw-v1|{self.a}|{self.k}|{self.j}".encode() if self.v1 else
                   enc("tombolix-round-v2") + enc(self.a) + enc(self.k) + enc(self.j))
            self.buf, self.j = hmac.new(self.key, msg, hashlib.sha256).digest(), self.j + 1
        x, self.buf = int.from_bytes(self.buf[:8], "big"), self.buf[8:]
        return x

    def below(self, n):
        limit = 2**64 - 2**64 % n
        while True:
            x = self.u()
            if x < limit:
                return x % n


def draw_positions(stream, A, m, key_of, whole_person):
    """The winners of a round: m picks from the ascending list A (copied)."""
    A, picks = list(A), []
    for _ in range(m):
        if not A:
            break
        w = A[stream.below(len(A))]
        picks.append(w)
        for p in (key_of(w) if whole_person else [w]):
            i = bisect.bisect_left(A, p)
            if i < len(A) and A[i] == p:
                del A[i]
    return picks


def to_ranges(ps):
    out = []
    for p in ps:
        if out and out[-1][1] + 1 == p:
            out[-1][1] = p
        else:
            out.append([p, p])
    return out


def code_groups(h):
    return " ".join(h[i:i + 4] for i in range(0, len(h), 4))


# ---- who may win an award (3.6) ------------------------------------------

SERIALRE = re.compile("([0-9]+)(?:\\.[0-9]+)?")
DATERE = re.compile("([0-9]{4})(?:([-/.])([0-9]{1,2})\\2([0-9]{1,2})|年([0-9]{1,2})月([0-9]{1,2})日)"
                    "(?:(?: +|T)([0-9]{1,2}):([0-9]{2})(?::([0-9]{2}))?)?")
NUMBERRE = re.compile("[+-]?[0-9]+(?:\\.[0-9]+)?")
SERIAL_FIRST, SERIAL_LAST = 10000, 73050     # 1927-05-18 to 2099-12-31


def read_date(v):
    """The day a value reads as, or None."""
    v = trim(v)
    m = SERIALRE.fullmatch(v)
    if m:                                   # (a): digits are a serial day or no date at all
        w = m.group(1)
        if len(w) <= 7 and SERIAL_FIRST <= int(w) <= SERIAL_LAST:
            return datetime.date(1899, 12, 30) + datetime.timedelta(days=int(w))
        return None
    m = DATERE.fullmatch(v)
    if not m:
        return None
    y, _, m1, d1, m2, d2, h, mi, sec = m.groups()
    if int(h or 0) > 23 or int(mi or 0) > 59 or int(sec or 0) > 59:
        return None
    return day_of(y, m1 or m2, d1 or d2)


def read_number(v):
    """The exact decimal a value reads as, or None."""
    v = trim(v)
    return decimal.Decimal(v) if NUMBERRE.fullmatch(v) else None


def meets(cond, value):
    kind, want = cond["kind"], cond["values"]
    if kind == "oneOf":
        return trim(value) in want
    if kind in ("onOrBefore", "onOrAfter"):
        d = read_date(value)
        day = datetime.date.fromisoformat(want[0])
        return d is not None and (d <= day if kind == "onOrBefore" else d >= day)
    x = read_number(value)
    return x is not None and (x >= decimal.Decimal(want[0]) if kind == "atLeast" else x <= decimal.Decimal(want[0]))


def range_words(a):
    sign = {"onOrBefore": "≤", "atMost": "≤", "onOrAfter": "≥", "atLeast": "≥"}
    words = [c["attribute"] + ("=" + "/".join(c["values"]) if c["kind"] == "oneOf" else sign[c["kind"]] + c["values"][0])
             for c in a["conditions"]]
    pieces = (["仅限 " + "，".join(words)] if words else []) + \
        ([f"不参与名单 {len(a['excludedNumbers'])} 个号码除外"] if a["excludedNumbers"] else [])
    return "，".join(pieces)


# ---- lists (3.5 and Appendix A) ------------------------------------------

def v2_lists(lists):
    prev = None
    for i, el in enumerate(lists):
        if "entrants" in el:
            cur = [tuple(p) for p in el["entrants"]]
        else:
            n, cur = len(prev), list(prev)
            changed = set()
            for pos, num, name in el["changed"]:
                need(1 <= pos <= n, 5, f"lists[{i}] changes position {pos} outside the list before")
                cur[pos - 1] = (num, name)
                changed.add(pos)
            removed = set(el["removed"])
            need(all(p <= n for p in removed), 5, f"lists[{i}] removes a position outside the list before")
            need(not removed & changed, 5, f"lists[{i}] both changes and removes a position")
            cur = [k for j, k in enumerate(cur, 1) if j not in removed] + [tuple(p) for p in el["added"]]
        yield cur
        prev = cur


# ---- summary (section 8) -------------------------------------------------

def person(number, name):
    """Number and name with a space between, or the one of them that is not empty."""
    return one_line(" ".join(x for x in (number, name) if x != ""))


def award_words(a):
    text = f"{one_line(a['name'])} 共{a['count']}名 每次{a['perRound']}名" + ("，可重复中奖" if a["repeat"] else "")
    if a.get("range"):
        text += f"，范围：{one_line(a['range'])}（可中奖 {sum(l - f + 1 for f, l in a['eligible'])} 人）"
    return text


def list_change(old, new):
    """名单变动: who joined (+) and who left (-) since the commit before; '' when nobody."""
    def half(sign, c):
        if not c:
            return None
        people = sorted(c, key=lambda k: (k[0], k[1]))
        shown = "、".join(person(*k) + (f"×{c[k]}" if c[k] > 1 else "") for k in people[:5])
        return f"{sign}{sum(c.values())} {shown}" + (" 等" if len(people) > 5 else "")
    return "；".join(x for x in (half("+", new - old), half("-", old - new)) if x)


# ---- replay (section 5 and Appendix A) -----------------------------------

class Commit:
    def __init__(self, c, L, v1):
        self.c, self.L, self.awards, self.hall, self.key = c, L, c["awards"], False, None
        self.keypos = {}
        for p, k in enumerate(L, 1):
            self.keypos.setdefault(k, []).append(p)
        self.S = [[[1, len(L)]] if L else [] for _ in self.awards] if v1 else [a["eligible"] for a in self.awards]
        self.starts = [[r[0] for r in S] for S in self.S]
        self.E = bytearray([0]) + bytearray([1]) * len(L)
        self.cnt = [sum(l - f + 1 for f, l in S) for S in self.S]
        self.cache = (None, None)

    def in_S(self, i, p):
        j = bisect.bisect_right(self.starts[i], p) - 1
        return j >= 0 and p <= self.S[i][j][1]

    def leave(self, p):
        if not self.E[p]:
            return
        self.E[p] = 0
        for i in range(len(self.awards)):
            if self.in_S(i, p):
                self.cnt[i] -= 1
        i, A = self.cache
        if A is not None:
            j = bisect.bisect_left(A, p)
            if j < len(A) and A[j] == p:
                del A[j]

    def pool(self, i):
        """E ∩ S(a) in ascending order, kept up to date by leave()."""
        if self.cache[0] != i:
            self.cache = (i, [p for f, l in self.S[i] for p in range(f, l + 1) if self.E[p]])
        return self.cache[1]


def replay(rec, contents, v1):
    entries, out = rec["entries"], []
    draw_id = rec["draw"]["id"]
    standing, nstand, W, rounds, used = {}, Counter(), set(), Counter(), set()
    cur, prev, seen, ncommit, lists_used, nrounds, commits = None, None, False, 0, [], 0, []
    nwithdrawals, restart_reason, restart_cleared = 0, None, False
    commit_type = "entered" if v1 else "commit"

    seeds, at = {}, None                     # each commit's seed, from its reveal (or v1 restart)
    for i, (e, c) in enumerate(zip(entries, contents)):
        if e["type"] == commit_type:
            at = i
        elif (e["type"] == "reveal" or (e["type"] == "restart" and "seed" in c)) and at is not None:
            seeds[at], at = bytes.fromhex(c["seed"]), None

    def seed_of(i, c):
        need(i in seeds, 4, f"the commit of entry {i + 1} is never revealed")
        need(hashlib.sha256(seeds[i]).hexdigest() == c["commitment"], 4,
             f"the seed revealed for entry {i + 1} does not give its commitment")
        return seeds[i]

    if v1:
        entrants = [tuple(p) for p in rec["entrants"]]
        fp_entrants = fingerprint(entrants, True)
        earlier = {k: [tuple(p) for p in v] for k, v in rec.get("earlierLists", {}).items()}
        earlier_used = set()
    else:
        list_iter = v2_lists(rec["lists"])

    for i, (e, c) in enumerate(zip(entries, contents)):
        t, where = e["type"], f"entry {i + 1} ({e['type']})"
        if t == commit_type:
            need(cur is None, 3, f"{where} comes while a commit is in force")
            ncommit += 1
            if not v1:
                need(seen or not c["cleared"], 5, f"{where}: the first commit has cleared true")
                if c["cleared"]:
                    standing.clear(); nstand.clear(); W.clear()
                ids = {a["id"] for a in c["awards"]}
                for r in [r for r, s in standing.items() if s[0] not in ids]:
                    nstand[standing.pop(r)[0]] -= 1
                if prev is not None and c["fingerprint"] == prev.c["fingerprint"]:
                    L = prev.L
                else:
                    L = next(list_iter, None)
                    need(L is not None, 5, f"{where}: no element of lists is left for it")
                    need(fingerprint(L) == c["fingerprint"], 5, f"{where}: fingerprint is not its list's")
                    lists_used.append(L)
            else:
                need(c["rule"] == "tombolix-draw-v1", 5, f"{where}: rule is not tombolix-draw-v1")
                need(c["name"] == rec["draw"]["name"], 5, f"{where}: name is not the draw's")
                if c["fingerprint"] == fp_entrants:
                    L = entrants
                else:
                    need(c["fingerprint"] in earlier, 5, f"{where}: no list has its fingerprint")
                    L = earlier[c["fingerprint"]]
                    need(fingerprint(L, True) == c["fingerprint"], 5, f"{where}: earlierLists member has another fingerprint")
                    earlier_used.add(c["fingerprint"])
                if all(L is not x for x in lists_used):
                    lists_used.append(L)
                need(c["awardsDigest"] == awards_digest(c["awards"]), 5, f"{where}: awardsDigest does not recompute")
                code = hashlib.sha256(f"{c['commitment']}\n{c['fingerprint']}\n{c['awardsDigest']}".encode()).hexdigest()
                need(c["code"] == code[:16].upper(), 5, f"{where}: code does not recompute")
            need(c["entrants"] == len(L), 5, f"{where}: entrants {c['entrants']} but its list has {len(L)}")
            need(c["draw"] == draw_id, 5, f"{where}: draw {c['draw']} is not the file's draw.id")
            cm = Commit(c, L, v1)
            norepeat = {a["id"] for a in c["awards"] if not a["repeat"]}
            out_keys = W | {(s[1], s[2]) for s in standing.values() if s[0] in norepeat}
            excl = {p for k in out_keys for p in cm.keypos.get(k, ())}
            if v1:
                excl |= {p for p, k in enumerate(L, 1) if k[0] == ""}
            need(c["excluded"] == sorted(excl), 5, f"{where}: excluded positions are not those section 5 gives")
            for p in c["excluded"]:
                cm.leave(p)
            if not v1:
                numbered = to_ranges(p for p, k in enumerate(L, 1) if k[0] != "")
                for a in c["awards"]:
                    if a["range"] == "":
                        need(a["eligible"] == numbered, 5, f"{where}: award {a['id']} eligible is not everyone with a number")
                        continue
                    need(a["range"] == range_words(a), 5,
                         f"{where}: award {a['id']} range {a['range']!r} is not the words {range_words(a)!r}")
                    ex = set(a["excludedNumbers"])
                    outside = [p for p, k in enumerate(L, 1) if k[0] == "" or k[0] in ex]      # not in A of step 5
                    if not a["conditions"]:
                        need(a["eligible"] == to_ranges(p for p, k in enumerate(L, 1) if k[0] != "" and k[0] not in ex), 5,
                             f"{where}: award {a['id']} eligible is not everyone with a number but the excluded ones")
                    need(all(l <= len(L) and bisect.bisect_right(outside, l) == bisect.bisect_left(outside, f)
                             for f, l in a["eligible"]), 5, f"{where}: award {a['id']} eligible holds a position "
                         "without a number, with an excluded number or outside the list")
            code = code_groups(c["code"]) if v1 else code_groups(e["hash"][:32].upper())
            out.append(f"第{ncommit}次承诺：{e['time']}，公证码 {code}，名单 {len(L)} 人")
            if not v1:
                out.append(f"　承诺哈希 {e['hash']}")
            out.append("　奖项：" + "；".join(award_words(a) for a in c["awards"]))
            reason = (c["reason"] if not v1 else restart_reason) if ncommit > 1 else None
            if reason is not None and (not v1 or restart_reason is not None):
                out.append(f"　原因：{one_line(reason)}")
            if prev is not None and prev.L != L:
                change = list_change(Counter(prev.L), Counter(L))
                if change:
                    out.append(f"　名单变动：{change}")
            if (c["cleared"] if not v1 else restart_cleared):
                out.append("　重新开始：此前的结果和撤销已清除")
            restart_reason, restart_cleared = None, False
            cur, prev, seen = cm, cm, True
            commits.append((c, L))
            cur.index = i
            if v1:
                cur.key = seed_of(i, c)
        elif t == "hall":
            need(cur is not None and not cur.hall, 3, f"{where} without a commit in force, or a second one")
            n = c["numbers"]
            need(len(n) <= 200 and re.fullmatch("([0-9]+( [0-9]+)*)?", n) is not None, 1, f"{where}: numbers {n!r} malformed")
            cur.hall, cur.key = True, hall_key(seed_of(cur.index, cur.c), n)
            out.append(f"　现场随机数：{n}（{e['time']}），请与现场报出的数字核对" if n else
                       f"　未输入现场随机数（{e['time']}）：本次承诺下的中奖结果只取决于操作员电脑产生的种子")
        elif t == "round":
            need(cur is not None and (v1 or cur.hall), 3, f"{where} without a commit in force and its hall entry")
            ai = next((j for j, a in enumerate(cur.awards) if nstand[a["id"]] < a["count"] and (v1 or cur.cnt[j] > 0)), None)
            need(ai is not None, 6, f"{where}: there is no current award")
            a = cur.awards[ai]
            need(c["award"] == a["id"], 6, f"{where}: award {c['award']} is not the current award {a['id']}")
            need(c["round"] == rounds[a["id"]] + 1, 6, f"{where}: round {c['round']}, expected {rounds[a['id']] + 1}")
            need(c["eligible"] == cur.cnt[ai], 6, f"{where}: eligible {c['eligible']}, expected {cur.cnt[ai]}")
            m = min(a["perRound"], a["count"] - nstand[a["id"]], cur.cnt[ai])
            need(not v1 or m >= 1, 6, f"{where}: nobody is left to draw")
            picks = draw_positions(Stream(cur.key, a["id"], c["round"], v1), cur.pool(ai), m,
                                   lambda p: cur.keypos[cur.L[p - 1]], not v1)
            need([w["position"] for w in c["winners"]] == picks, 6, f"{where}: winners are not positions {picks}")
            results = [w["result"] for w in c["winners"] if w["result"] is not None]
            need(len(set(results)) == len(results) and not used & set(results), 6, f"{where}: a result id is used twice")
            for w in c["winners"]:
                need((w["number"], w["name"]) == cur.L[w["position"] - 1], 6, f"{where}: winner at {w['position']} is not that entrant")
            for w in c["winners"]:
                if w["result"] is not None:
                    standing[w["result"]] = (a["id"], w["number"], w["name"])
                    nstand[a["id"]] += 1
                    used.add(w["result"])
                    if not a["repeat"]:
                        for p in ([w["position"]] if v1 else cur.keypos[(w["number"], w["name"])]):
                            cur.leave(p)
            rounds[a["id"]] += 1
            nrounds += 1
        elif t == "withdrawal":
            need(seen, 3, f"{where} before the first commit")
            s = standing.get(c["result"])
            need(s is not None, 7, f"{where}: result {c['result']} is not a standing result")
            need(s == (c["award"], c["number"], c["name"]), 7, f"{where}: award, number or name is not the result's")
            del standing[c["result"]]
            nstand[s[0]] -= 1
            W.add(s[1:])
            if cur is not None:
                for p in cur.keypos.get(s[1:], ()):
                    cur.leave(p)
            award_name = next((a["name"] for a in prev.awards if a["id"] == c["award"]), str(c["award"]))
            out.append(f"撤销：{e['time']}，结果 {c['result']}（{one_line(award_name)} {person(c['number'], c['name'])}），"
                       f"原因：{one_line(c['reason'])}")
            nwithdrawals += 1
        elif t == "restart":
            need(seen, 3, f"{where} before the first entered")
            need(("seed" in c) == (cur is not None), 3, f"{where}: seed must be present exactly when a commit is in force")
            if cur is not None:
                need(hashlib.sha256(bytes.fromhex(c["seed"])).hexdigest() == cur.c["commitment"], 4,
                     f"{where}: seed does not give the commitment")
                cur = None
            if c["cleared"]:
                standing.clear(); nstand.clear(); W.clear()
            restart_reason, restart_cleared = c["reason"], restart_cleared or c["cleared"]
        elif t == "reveal":
            need(cur is not None, 3, f"{where} without a commit in force")
            need(hashlib.sha256(bytes.fromhex(c["seed"])).hexdigest() == cur.c["commitment"], 4,
                 f"{where}: seed does not give the commitment")
            cur = None
    need(cur is None, 4, "the last commit is not revealed")
    if v1:
        need(set(earlier) == earlier_used, 5, "a member of earlierLists is used by no entered")
    else:
        need(next(list_iter, None) is None, 5, "an element of lists is used by no commit")
    want = [{"award": s[0], "id": r, "name": s[2], "number": s[1]} for r, s in sorted(standing.items())]
    need(rec["results"] == want, 8, "results are not exactly the standing results")
    out.append(f"{nrounds} 轮抽奖的中奖者全部由种子{'' if v1 else '和现场随机数'}重新算出一致，撤销 {nwithdrawals} 次")
    out.append(f"结果表 {len(want)} 条与记录相符")
    for a in prev.awards:
        if a["count"] > nstand[a["id"]]:
            out.append(f"未抽满：{one_line(a['name'])} 差 {a['count'] - nstand[a['id']]} 名")
    tail = f"记录 {len(entries)} 条，哈希链完整，最后一条哈希 {entries[-1]['hash']}"
    name = prev.c["name"]
    return [f"抽奖：{one_line(name)}（规则 {rec['rule']}）"] + out, lists_used, commits, tail


def check_record(raw, listfile=None):
    """Returns the summary lines; raises Fail; raises Unreadable when raw is not JSON."""
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError as x:
        raise Unreadable(f"not UTF-8: {x}")
    if not is_json_text(text):                  # a byte-order mark, NaN and the like included
        raise Unreadable("not JSON text")
    try:
        rec, problems = parse_json(text)
    except RecursionError:
        raise Fail(1, "nested too deeply for a record")
    need(type(rec) is dict, 1, "the file is not a JSON object")
    need(not problems, 1, "; ".join(problems[:3]))
    v1 = rec.get("format") == "tombolix-record-1"
    try:
        contents = check_file_v1(raw, rec) if v1 else check_file_v2(raw, rec)
    except RecursionError:
        raise Fail(1, "nested too deeply for a record")
    prevh = ZERO
    for i, e in enumerate(rec["entries"]):
        need(e["sequence"] == i + 1, 2, f"entry {i + 1} has sequence {e['sequence']}")
        need(e["previous"] == prevh, 2, f"entry {i + 1}: previous is not the hash before it")
        need(e["hash"] == entry_hash(e, v1), 2, f"entry {i + 1}: hash does not recompute")
        prevh = e["hash"]
    need(rec["entries"][0]["type"] == ("entered" if v1 else "commit"), 3, "the first entry is not a commit")
    out, lists_used, commits, tail = replay(rec, contents, v1)
    if listfile is not None:
        header, people = listfile
        want = Counter(k for k, _ in people)
        for n, L in enumerate(lists_used, 1):
            have = Counter((trim(num), trim(name)) for num, name in L)
            more = [person(*k) for k in (have - want).elements()]
            less = [person(*k) for k in (want - have).elements()]
            need(not more and not less, 9, f"committed list {n} differs from the file: only in the record "
                 f"{more[:10]}, only in the file {less[:10]}")
        out.append(f"名单文件相符：{sum(want.values())} 人")
        checked = check_conditions(commits, header, people)
        if checked:
            out.append(f"有条件的奖项 {checked} 个已按名单文件的属性列核对")
    return out + [tail]


def check_conditions(commits, header, people):
    """Check 10: each award with a condition holds exactly the positions whose row meets its conditions.
    Every commit's list holds the file's people here (check 9 passed). Returns the awards checked."""
    rows_of = {}
    for key, row in people:
        rows_of.setdefault(key, []).append(row)
    checked = 0
    for n, (c, L) in enumerate(commits, 1):
        row_at, seen = [None], Counter()            # the row of each position of L
        for num, name in L:
            k = (trim(num), trim(name))
            row_at.append(rows_of[k][seen[k]])
            seen[k] += 1
        for a in c["awards"]:
            if not a.get("conditions"):
                continue
            need(header is not None, 10, f"commit {n}: award {a['id']} has conditions, the list file has no header row")
            cols = []
            for cond in a["conditions"]:
                j = next((j for j, x in enumerate(header) if trim(x) == cond["attribute"]), None)
                need(j is not None, 10, f"commit {n}: the list file has no column {cond['attribute']!r}")
                cols.append(j)
            ex = set(a["excludedNumbers"])
            want = [p for p, (num, _) in enumerate(L, 1) if num != "" and num not in ex and
                    all(meets(cond, row_at[p][j] if j < len(row_at[p]) else "") for cond, j in zip(a["conditions"], cols))]
            need(a["eligible"] == to_ranges(want), 10, f"commit {n}: award {a['id']} eligible {a['eligible']} "
                 f"is not the positions whose rows meet its conditions {to_ranges(want)}")
            checked += 1
    return checked


# ---- section 7: the entrant list file ------------------------------------

WHITE = "\t\n\v\f\r \x85\xa0\u1680\u2000\u2001\u2002\u2003\u2004\u2005\u2006\u2007\u2008\u2009\u200a\u2028\u2029\u202f\u205f\u3000"


def trim(s):
    return s.strip(WHITE)


def csv_rows(text):
    rows, cells, buf, quoted, start, row_start, i, n = [], [], [], False, 0, 0, 0, len(text)

    def end_field(pos):
        raw = text[start:pos]
        even = raw and raw.count('"') == len(raw) and len(raw) % 2 == 0
        cells.append('"' * (len(raw) // 2 - 1) if even else "".join(buf))
        buf.clear()
    while i < n:
        ch = text[i]
        if ch == '"':
            j = i
            while j < n and text[j] == '"':
                j += 1
            buf.append('"' * ((j - i) // 2))
            quoted ^= (j - i) % 2 == 1
            i = j
        elif not quoted and ch == ",":
            end_field(i)
            i += 1
            start = i
        elif not quoted and ch in "\r\n":
            end_field(i)
            rows.append([] if row_start == i else cells)
            cells = []
            i += 2 if text.startswith("\r\n", i) else 1
            start = row_start = i
        else:
            buf.append(ch)
            i += 1
    if row_start < n:
        end_field(n)
        rows.append(cells)
    return rows


def read_csv(data):
    try:
        if data.startswith(b"\xef\xbb\xbf"):
            return csv_rows(data[3:].decode("utf-8"))
        if data[:2] in (b"\xff\xfe", b"\xfe\xff"):
            return csv_rows(data[2:].decode("utf-16-le" if data[:2] == b"\xff\xfe" else "utf-16-be"))
        try:
            return csv_rows(data.decode("utf-8"))
        except UnicodeDecodeError:
            # Python's codec keeps the 2000 edition's ḿ pair; section 7 asks for 2005's.
            return csv_rows(data.decode("gb18030").translate({0x1E3F: 0xE7C7, 0xE7C7: 0x1E3F}))
    except UnicodeDecodeError as x:
        raise Unreadable(f"list file cannot be decoded: {x}")


def number_text(x):
    return format(decimal.Decimal(repr(float(x))).normalize(), "f")


def col_index(ref):
    m = re.match("[A-Z]+", ref or "")
    if not m:
        return None
    n = 0
    for ch in m.group():
        n = n * 26 + ord(ch) - 64
    return n - 1


def local(tag):
    return tag.rsplit("}", 1)[-1]


def xml_text(el):
    """Text of a shared or inline string: its <t> elements, without phonetic runs."""
    if el is None:
        return ""
    if local(el.tag) == "rPh":
        return ""
    return (el.text or "" if local(el.tag) == "t" else "") + "".join(xml_text(ch) for ch in el)


def read_xlsx(path):
    z = zipfile.ZipFile(path)

    def rels(xml_name):
        d, f = os.path.split(xml_name)
        try:
            root = ET.fromstring(z.read(f"{d}/_rels/{f}.rels" if d else f"_rels/{f}.rels"))
        except KeyError:
            return {}
        return {r.get("Id"): (r.get("Type", ""), r.get("Target", "").lstrip("/") if r.get("Target", "").startswith("/")
                              else os.path.normpath(os.path.join(d, r.get("Target", ""))))
                for r in root if local(r.tag) == "Relationship"}
    book = next((t for ty, t in rels("").values() if ty.endswith("/officeDocument")), "xl/workbook.xml")
    brels = rels(book)
    sst = []
    for ty, target in brels.values():
        if ty.endswith("/sharedStrings"):
            sst = [xml_text(si) for si in ET.fromstring(z.read(target)) if local(si.tag) == "si"]
    sheet = None
    for el in ET.fromstring(z.read(book)).iter():
        if local(el.tag) == "sheet":
            rid = next((v for k, v in el.attrib.items() if local(k) == "id"), None)
            if rid in brels and brels[rid][0].endswith("/worksheet"):
                sheet = brels[rid][1]
                break
    if sheet is None:
        raise Unreadable("the workbook has no worksheet")
    cells, r = {}, -1
    for row in ET.fromstring(z.read(sheet)).iter():
        if local(row.tag) != "row":
            continue
        r = int(row.get("r")) - 1 if row.get("r") else r + 1
        c = -1
        for cell in row:
            if local(cell.tag) != "c":
                continue
            ci = col_index(cell.get("r"))
            c = c + 1 if ci is None else ci
            t = cell.get("t", "n")
            v = next((ch.text or "" for ch in cell if local(ch.tag) == "v"), None)
            if t == "inlineStr":
                v = xml_text(next((ch for ch in cell if local(ch.tag) == "is"), None))
            elif v is None:
                continue
            elif t == "s":
                v = sst[int(v)]
            elif t == "b":
                v = "TRUE" if v.strip() == "1" else "FALSE"
            elif t == "n":
                v = number_text(v)
            cells[(r, c)] = v
    return table(cells)


def table(cells):
    """Rows from the first used row on. Rows are cut after their last used cell and empty
    rows after the fifth are dropped: neither changes what section 7 reads from them."""
    used = {}
    for (r, c), v in cells.items():
        used.setdefault(r, {})[c] = v
    if not used:
        return []
    r0 = min(used)
    keep = sorted(set(used) | set(range(r0, r0 + 5)))
    return [[used.get(r, {}).get(c, "") for c in range(max(used.get(r, {-1: 0})) + 1)] for r in keep]


XLS_ERRORS = {0: "#NULL!", 7: "#DIV/0!", 15: "#VALUE!", 23: "#REF!", 29: "#NAME?", 36: "#NUM!", 42: "#N/A"}


def read_xls(data):
    """The first worksheet of a BIFF8 .xls (an OLE2 compound file)."""
    u16 = lambda b, o: struct.unpack_from("<H", b, o)[0]
    u32 = lambda b, o: struct.unpack_from("<I", b, o)[0]
    ssz, mssz = 1 << u16(data, 30), 1 << u16(data, 32)
    sec = lambda s: data[512 + s * ssz: 512 + (s + 1) * ssz]
    difat = [u32(data, 76 + 4 * i) for i in range(109)]
    d, nd = u32(data, 68), u32(data, 72)
    for _ in range(nd):
        b = sec(d)
        difat += [u32(b, 4 * i) for i in range(ssz // 4 - 1)]
        d = u32(b, ssz - 4)
    fat = []
    for s in difat[:u32(data, 44)]:
        b = sec(s)
        fat += [u32(b, 4 * i) for i in range(ssz // 4)]

    def chain(s, table, get):
        out, seen = [], set()
        while s < 0xFFFFFFFA and s not in seen and s < len(table):
            seen.add(s); out.append(get(s)); s = table[s]
        return b"".join(out)
    dirs = chain(u32(data, 48), fat, sec)
    ents = [dirs[i:i + 128] for i in range(0, len(dirs) - 127, 128)]
    name = lambda e: e[:max(u16(e, 64) - 2, 0)].decode("utf-16-le", "replace")
    root = ents[0]
    book = next((e for e in ents if name(e) in ("Workbook", "Book") and e[66] == 2), None)
    if book is None:
        raise Unreadable("no Workbook stream")
    start, size = u32(book, 116), u32(book, 120)
    if size < u32(data, 56):
        mini = chain(u32(root, 116), fat, sec)
        mfat_raw = chain(u32(data, 60), fat, sec)
        mfat = [u32(mfat_raw, 4 * i) for i in range(len(mfat_raw) // 4)]
        wb = chain(start, mfat, lambda s: mini[s * mssz:(s + 1) * mssz])[:size]
    else:
        wb = chain(start, fat, sec)[:size]
    recs, o = [], 0                          # BIFF records, CONTINUEs kept separate for the SST
    while o + 4 <= len(wb):
        t, n = u16(wb, o), u16(wb, o + 2)
        recs.append((o, t, wb[o + 4:o + 4 + n]))
        o += 4 + n

    def ustr(pieces, pi, p, nchars=None, cch16=True):
        """Reads an XLUnicodeString from the record pieces; returns text, piece index, offset."""
        b = pieces[pi]
        if nchars is None:
            nchars = u16(b, p) if cch16 else b[p]
            p += 2 if cch16 else 1
        flags = b[p]; p += 1
        rich = u16(b, p) if flags & 8 else 0; p += 2 if flags & 8 else 0
        ext = u32(b, p) if flags & 4 else 0; p += 4 if flags & 4 else 0
        text = []
        while True:
            wide = flags & 1
            take = min(nchars, (len(pieces[pi]) - p) // (2 if wide else 1))
            raw = pieces[pi][p:p + take * (2 if wide else 1)]
            text.append(raw.decode("utf-16-le") if wide else raw.decode("latin-1"))
            p += len(raw); nchars -= take
            if not nchars:
                break
            pi, p = pi + 1, 0
            flags = pieces[pi][0]; p = 1
        p += rich * 4 + ext
        while pi + 1 < len(pieces) and p >= len(pieces[pi]):
            p -= len(pieces[pi]); pi += 1
        return "".join(text), pi, p
    if not recs or recs[0][1] != 0x809 or u16(recs[0][2], 0) != 0x600:
        raise Unreadable("not a BIFF8 workbook")
    sst, sheet_at = [], None
    for k, (o, t, b) in enumerate(recs):
        if t == 0x85 and sheet_at is None and b[5] == 0:
            sheet_at = u32(b, 0)
        if t == 0xFC:
            pieces, j = [b], k + 1
            while j < len(recs) and recs[j][1] == 0x3C:
                pieces.append(recs[j][2]); j += 1
            pi, p = 0, 8
            for _ in range(u32(b, 4)):
                s, pi, p = ustr(pieces, pi, p)
                sst.append(s)
    if sheet_at is None:
        raise Unreadable("the workbook has no worksheet")
    rk = lambda v: ((struct.unpack("<d", struct.pack("<Q", (v & ~3) << 32))[0]) if not v & 2 else
                    float(v >> 2 if v < 2**31 else (v >> 2) - 2**30)) / (100 if v & 1 else 1)
    cells, pending = {}, None
    for o, t, b in recs:
        if o < sheet_at:
            continue
        if t == 0x0A:
            break
        if t in (0xFD, 0x203, 0x27E, 0x204, 0xD6, 0x205, 0x06, 0xBD):
            r, c = u16(b, 0), u16(b, 2)
        if t == 0xFD:
            cells[(r, c)] = sst[u32(b, 6)]
        elif t in (0x204, 0xD6):
            cells[(r, c)] = ustr([b], 0, 6)[0]
        elif t == 0x203:
            cells[(r, c)] = number_text(struct.unpack_from("<d", b, 6)[0])
        elif t == 0x27E:
            cells[(r, c)] = number_text(rk(u32(b, 6)))
        elif t == 0xBD:
            for k in range((len(b) - 6) // 6):
                cells[(r, c + k)] = number_text(rk(u32(b, 6 + 6 * k)))
        elif t == 0x205:
            cells[(r, c)] = ("TRUE" if b[6] else "FALSE") if b[7] == 0 else XLS_ERRORS.get(b[6], "#N/A")
        elif t == 0x06:
            if u16(b, 12) != 0xFFFF:
                cells[(r, c)] = number_text(struct.unpack_from("<d", b, 6)[0])
            elif b[6] == 0:
                pending = (r, c)
            elif b[6] == 1:
                cells[(r, c)] = "TRUE" if b[8] else "FALSE"
        elif t == 0x207 and pending:
            cells[pending], pending = ustr([b], 0, 0)[0], None
    return table(cells)


def read_list(path):
    try:
        with open(path, "rb") as f:
            data = f.read()
        if path.lower().endswith(".csv"):
            rows = read_csv(data)
        elif data.startswith(b"PK"):
            rows = read_xlsx(path)
        elif data.startswith(b"\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1"):
            rows = read_xls(data)
        else:
            raise Unreadable("neither CSV (by its name) nor an .xlsx or .xls workbook")
    except Unreadable:
        raise
    except Exception as x:                      # OSError, bad zip, bad XML, a broken .xls ...
        raise Unreadable(f"the list file cannot be read: {x!r}")
    heads = {"抽奖号码", "号码", "工号"}
    header, ncol, mcol, body = None, 0, 1, rows
    for i, row in enumerate(rows[:5]):
        hit = [j for j, x in enumerate(row) if trim(x) in heads]
        if hit:
            header, ncol = row, hit[0]
            mcol = next((j for j, x in enumerate(row) if trim(x) == "姓名"), ncol + 1)
            body = rows[i + 1:]
            break
    cell = lambda row, j: trim(row[j]) if j < len(row) else ""
    return header, [((cell(r, ncol), cell(r, mcol)), r) for r in body if cell(r, ncol) or cell(r, mcol)]


# ---- section 9: test vectors ---------------------------------------------

def vectors():
    def eq(what, got, want):
        if got != want:
            raise Fail(0, f"vector {what}: got {got!r}, the document says {want!r}")
    seed = bytes(range(32))
    eq("commitment", hashlib.sha256(seed).hexdigest(), "630dcd2966c4336691125448bbb25b4ff412a49c732db2c8abc1b8581bd710dd")
    eq("enc(张三)", enc("张三").hex(" "), "36 3a e5 bc a0 e4 b8 89")
    eq("enc(12)", enc(12), b"2:12")
    eq("fingerprint of three", fingerprint([("1001", "张三"), ("1002", "李四"), ("1003", "王五")]),
       "078a35616de1543c72cf4981bd30613a2198f4489fcc6a72db1442150a3e6e93")
    one, two = [("1001", "张三\n2\t1002\t李四")], [("1001", "张三"), ("1002", "李四")]
    eq("fingerprint of one", fingerprint(one), "42196a0112256d4e8c545b74849167e6325fae05bf83c48fc66db45c209e4fe0")
    eq("fingerprint of two", fingerprint(two), "d35f5404561f40b19cf73741c8283b81997fb2aab7be6aa10020ec27ca9c1383")
    eq("v1 fingerprints of one and two agree", fingerprint(one, True), fingerprint(two, True))
    key = hall_key(seed, "3 14 159")
    eq("hall key", key.hex(), "6e33c77256715b700dabe7938a729c96e0de8d77ddbfee449e1500a8bde81b92")
    eq("first number of the stream", Stream(key, 1, 1).u(), 6358510860501863063)
    people = {1: [1], 2: [2], 3: [3]}
    eq("winners", draw_positions(Stream(key, 1, 1), [1, 2, 3], 2, people.get, True), [3, 1])
    text = canon({"b": [1, True, None], "a": "\x01\"é\n"})
    eq("canonical text", text, '{"a":"\\u0001\\"é\\n","b":[1,true,null]}')
    eq("canonical length", len(text.encode()), 38)
    eq("公证码 groups", code_groups("5F1C09A2"), "5F1C 09A2")
    reveal = {"previous": "0" * 64, "sequence": 1, "type": "reveal", "content": {"seed": seed.hex()}}
    eq("entry hash", entry_hash(dict(reveal, time="2026-12-09T19:30:02+08:00"), False),
       "b74738de6e0f54c47cedbfb8bd6bb73428abb72edef36a2bdf7ad0ac9104c2e0")
    for v in ("45662", "45662.99", "2025-01-05", "2025/1/5", "2025.01.05", "2025年1月5日", "2025-1-5T09:30:00",
              " 2025/1/5 9:30 ",                                   # section 9
              "45662.5", "2025.1.5", "2025-01-05 09:30"):          # section 3.6
        eq(f"date {v!r}", read_date(v), datetime.date(2025, 1, 5))
    for v in ("9999", "2025", "73051", "202501", "12345678", "2025-02-29", "1899-12-31", "2025/1-5",
              "2025-01-05 24:00", "2025-01-05 9:5", "2025年1月5",   # section 9
              "2025-13-01", "2025/1/5 25:00", "20250105", "1/5/2025", "5 Jan 2025", "２０２５-01-05", "",
              "9999.9", "2025.5", "\u0662\u0660\u0662\u0665-01-05"):  # section 3.6 (a) and (c)
        eq(f"date {v!r}", read_date(v), None)
    eq("date '2000-02-29'", read_date("2000-02-29"), datetime.date(2000, 2, 29))
    eq("date '10000'", read_date("10000"), datetime.date(1927, 5, 18))
    eq("date '0073050'", read_date("0073050"), datetime.date(2099, 12, 31))
    eq("number '+007.50'", read_number("+007.50"), decimal.Decimal("7.5"))
    eq("number '-0.0'", read_number("-0.0"), decimal.Decimal("0"))
    for v in ("1e3", "1,000", ".5", "5."):
        eq(f"number {v!r}", read_number(v), None)
    eq("10 is at least 9.99", meets({"kind": "atLeast", "values": ["9.99"]}, "10"), True)
    bits = bytearray(2)                                   # a bitmap (section 3.3 and 9)
    for p in (1, 3, 4, 5, 9):
        bits[(p - 1) // 8] |= 1 << (p - 1) % 8
    eq("bitmap bytes", bits.hex(" "), "1d 01")
    eq("bitmap text", base64.b64encode(bits).decode(), "HQE=")

    def bitmap(text, n):
        try:
            return bitmap_ranges(text, n)
        except Fail:
            return "refused"
    for n in (10, 9, 16):
        eq(f"bitmap 'HQE=' of {n}", bitmap("HQE=", n), [[1, 1], [3, 5], [9, 9]])
    for text, n in (("HQM=", 9), ("HQF=", 9), ("HQE", 9), ("HQE=HQE=", 9), ("HQ E=", 9), ("HQEA", 9), ("HQEA", 16),
                    ("AA==", 0), ("", 1), ("HQE=\n", 10), ("HQE-", 10)):  # the last four: section 3.3's text
        eq(f"bitmap {text!r} of {n}", bitmap(text, n), "refused")
    eq("bitmap '' of 0", bitmap("", 0), [])
    award = {"range": "", "conditions": [{"attribute": "类别", "kind": "oneOf", "values": ["员工"]},
                                         {"attribute": "入职日期", "kind": "onOrBefore", "values": ["2025-12-09"]}],
             "excludedNumbers": ["1001", "1002", "1003"]}
    eq("range words", range_words(award), "仅限 类别=员工，入职日期≤2025-12-09，不参与名单 3 个号码除外")
    eq("range words of the examples", [range_words(dict(award, excludedNumbers=[])), range_words(
        {"conditions": [{"attribute": "部门", "kind": "oneOf", "values": ["市场部", "销售部"]}], "excludedNumbers": ["1", "2", "3"]})],
       ["仅限 类别=员工，入职日期≤2025-12-09", "仅限 部门=市场部/销售部，不参与名单 3 个号码除外"])
    # Appendix A
    eq("v1 entry hash", entry_hash(dict(reveal, time="2026-12-09T19:30:02", content=canon(reveal["content"])), True),
       "7693829cde3d6f9f96d7c2dd85b61435c3c2f3fee375ec424915560e3f8d242b")
    fp1 = fingerprint([("1001", "张三"), ("1002", "李四"), ("1003", "王五")], True)
    eq("v1 fingerprint", fp1, "f3237defde26172f07b92d025d09e2239081a9ab73bb5595fca8b1e1f31c61a4")
    digest = awards_digest([{"id": 1, "order": 1, "name": "一等奖", "prize": "电视", "count": 1, "perRound": 1,
                             "repeat": False}])
    eq("v1 awards digest", digest, "f045239b62efdfab3867862eb199e330d4c938d5311b1b2ef5ee56f9bc7c6e73")
    commitment = hashlib.sha256(seed).hexdigest()
    eq("v1 code", hashlib.sha256(f"{commitment}\n{fp1}\n{digest}".encode()).hexdigest()[:16].upper(),
       "63BEE46C45F9C92E")
    eq("v1 first number", Stream(seed, 1, 1, True).u(), 17140080388182672802)
    eq("v1 winners", draw_positions(Stream(seed, 1, 1, True), [1, 2, 3], 2, people.get, False), [2, 1])
    here = os.path.dirname(os.path.abspath(__file__))
    example = next((x for x in (os.path.join(here, "..", "..", "docs", "verifiable-draw-example.json"),
                                os.path.join(here, "verifiable-draw-example.json")) if os.path.exists(x)), "")
    if example:
        with open(example, "rb") as f:
            check_record(f.read())
        print("docs/verifiable-draw-example.json: 验证通过")
    else:
        print("note: docs/verifiable-draw-example.json does not exist; the example record was not checked", file=sys.stderr)
    print("test vectors: ok")


def one_line(text):
    """A record's text printed so that it cannot start a line of its own or turn one around (section 8)."""
    def shown(c):
        u = ord(c)
        if u < 0x20 or 0x7F <= u <= 0x9F or u in (0x2028, 0x2029, 0x200E, 0x200F) or 0x202A <= u <= 0x202E \
                or 0x2066 <= u <= 0x2069:
            return {"\n": "\\n", "\r": "\\r", "\t": "\\t"}.get(c, "\\u%04x" % u)
        return c
    return "".join(shown(c) for c in str(text))


def main(argv):
    if argv == ["--vectors"]:
        try:
            vectors()
        except Fail as x:
            print(str(x).replace("check 0: ", ""))
            return 1
        return 0
    if len(argv) not in (1, 2) or argv[0].startswith("-"):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    try:
        with open(argv[0], "rb") as f:
            raw = f.read()
        listfile = read_list(argv[1]) if len(argv) == 2 else None
        out = check_record(raw, listfile)
    except (OSError, Unreadable) as x:          # exit 2 prints nothing on standard output (section 8)
        print(f"无法读取：{x}", file=sys.stderr)
        return 2
    except Fail as x:
        print(f"验证未通过：{one_line(x)}")
        return 1
    print("验证通过")
    print("\n".join(out))                    # record texts were passed through one_line as the lines were made
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
