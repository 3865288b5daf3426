#!/usr/bin/env python3
"""docs/verifiable-draw.md implemented from the document alone: its test
vectors, then every round's winners of a real record file (argument 1)."""
import hashlib
import hmac
import json
import sys

sha = lambda data: hashlib.sha256(data).hexdigest()


def fingerprint(entrants):
    return sha(''.join(f'{i}\t{n}\t{m}\n' for i, (n, m) in enumerate(entrants, 1)).encode())


def awards_digest(awards):
    return sha(''.join(f"{a['id']}\t{a['order']}\t{a['name']}\t{a['prize']}\t{a['count']}\t"
                       f"{a['perRound']}\t{1 if a['repeat'] else 0}\n" for a in awards).encode())


def code(commitment, print_, digest):
    return sha(f'{commitment}\n{print_}\n{digest}'.encode())[:16].upper()


class Stream:
    def __init__(self, seed, award, round_):
        self.seed, self.prefix, self.block, self.data = seed, f'tombolix-draw-v1|{award}|{round_}|', 0, b''

    def next(self):
        if not self.data:
            self.data = hmac.new(self.seed, f'{self.prefix}{self.block}'.encode(), hashlib.sha256).digest()
            self.block += 1
        value, self.data = int.from_bytes(self.data[:8], 'big'), self.data[8:]
        return value

    def below(self, n):
        limit = 2**64 - 2**64 % n
        while True:
            u = self.next()
            if u < limit:
                return u % n


def pick(eligible, m, stream):
    left, winners = sorted(eligible), []
    for _ in range(min(m, len(left))):
        winners.append(left.pop(stream.below(len(left))))
    return winners


seed = bytes(range(32))
assert sha(seed) == '630dcd2966c4336691125448bbb25b4ff412a49c732db2c8abc1b8581bd710dd'
people = [('1001', '张三'), ('1002', '李四'), ('1003', '王五')]
assert fingerprint(people) == 'f3237defde26172f07b92d025d09e2239081a9ab73bb5595fca8b1e1f31c61a4'
award = dict(id=1, order=1, name='一等奖', prize='电视', count=1, perRound=1, repeat=False)
assert awards_digest([award]) == 'f045239b62efdfab3867862eb199e330d4c938d5311b1b2ef5ee56f9bc7c6e73'
assert code(sha(seed), fingerprint(people), awards_digest([award])) == '63BEE46C45F9C92E'
assert Stream(seed, 1, 1).next() == 17140080388182672802
assert pick({1, 2, 3}, 2, Stream(seed, 1, 1)) == [2, 1]
print('test vectors: ok')

if len(sys.argv) > 1:
    record = json.load(open(sys.argv[1], encoding='utf-8'))
    entrants = [tuple(e) for e in record['entrants']]
    entries = record['entries']
    previous = '0' * 64
    for i, e in enumerate(entries, 1):
        assert e['sequence'] == i and e['previous'] == previous
        previous = sha(f"{previous}|{i}|{e['type']}|{e['time']}|{e['content']}".encode())
        assert e['hash'] == previous, f'entry {i} altered'
    contents = [json.loads(e['content']) for e in entries]
    seeds, opened = {}, None
    for i, (e, c) in enumerate(zip(entries, contents)):
        if e['type'] == 'entered':
            opened = i
        elif e['type'] in ('restart', 'reveal') and opened is not None and 'seed' in c:
            seeds[opened] = bytes.fromhex(c['seed'])
            assert sha(seeds[opened]) == contents[opened]['commitment']
            opened = None
    earlier = {k: [tuple(e) for e in v] for k, v in record.get('earlierLists', {}).items()}
    eligible, repeat, rounds, standing, seed, checked = set(), {}, {}, {}, None, 0
    for i, (e, c) in enumerate(zip(entries, contents)):
        if e['type'] == 'entered':
            listed = entrants if c['fingerprint'] == fingerprint(entrants) else earlier[c['fingerprint']]
            assert c['fingerprint'] == fingerprint(listed)
            assert c['code'] == code(c['commitment'], c['fingerprint'], awards_digest(c['awards']))
            repeat = {a['id']: a['repeat'] for a in c['awards']}
            eligible = set(range(1, len(listed) + 1)) - set(c['excluded'])
            seed = seeds[i]
        elif e['type'] == 'round':
            rounds[c['award']] = rounds.get(c['award'], 0) + 1
            assert c['round'] == rounds[c['award']] and c['eligible'] == len(eligible)
            winners = pick(eligible, len(c['winners']), Stream(seed, c['award'], c['round']))
            assert winners == [w['position'] for w in c['winners']], f'round entry {i + 1}'
            for w in c['winners']:
                if w['result'] is not None:
                    standing[w['result']] = (c['award'], w['number'], w['name'])
                    if not repeat[c['award']]:
                        eligible.discard(w['position'])
            checked += 1
        elif e['type'] == 'restart' and c.get('cleared'):
            standing = {}
        elif e['type'] == 'withdrawal':
            del standing[c['result']]
            eligible -= {p for p in eligible if listed[p - 1] == (c['number'].strip(), c['name'])}
    assert standing == {r['id']: (r['award'], r['number'], r['name']) for r in record['results']}
    print(f'record: {checked} rounds recomputed, {len(standing)} results agree')
