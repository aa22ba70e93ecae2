#!/usr/bin/env python3
"""Differential check of the local server's NUMBER against python3's decimal module.

Feeds random cases (text, stored bytes, + - * /, comparisons, SQRT, LN, EXP) through the driver
binary (build target localdb_number_driver) and compares each answer with Oracle's rules computed
independently here: 40 significant digits (39 when the
first digit is the low half of a base-100 pair), half away from zero, ORA-01426 at 1E+126, zero
below 1E-130, and Oracle's text ("1E+40" once the plain form needs more than 40 digits).

usage: number_diff.py path/to/localdb_number_driver [cases] [seed]
"""
import decimal
import random
import subprocess
import sys
from decimal import Decimal, ROUND_HALF_UP, ROUND_DOWN

CTX = decimal.Context(prec=300, rounding=ROUND_HALF_UP, Emax=10**6, Emin=-10**6)
decimal.setcontext(CTX)


def oracle(d):
    """d as Oracle keeps it, or 'ORA-01426'."""
    if d == 0:
        return Decimal(0)
    e = d.adjusted() + 1  # d = 0.ddd * 10^e
    digits = 40 if e % 2 == 0 else 39
    q = Decimal(1).scaleb(e - digits)
    r = d.quantize(q, rounding=ROUND_HALF_UP)
    if r != 0 and r.adjusted() + 1 > 126:
        return 'ORA-01426'
    if r == 0 or r.adjusted() + 1 < -129:
        return Decimal(0)
    return r


def text(r):
    if isinstance(r, str):
        return r
    if r == 0:
        return '0'
    sign = '-' if r < 0 else ''
    t = abs(r).normalize()
    digits = t.as_tuple().digits
    e = t.adjusted() + 1
    nd = len(digits)
    ds = ''.join(map(str, digits))
    plain = e if e >= nd else (nd if e > 0 else nd - e)
    if plain <= 40:
        if e >= nd:
            s = ds + '0' * (e - nd)
        elif e > 0:
            s = ds[:e] + '.' + ds[e:]
        else:
            s = '.' + '0' * (-e) + ds
    else:
        s = ds[0] + ('.' + ds[1:] if nd > 1 else '')
        x = e - 1
        s += 'E%s%02d' % ('-' if x < 0 else '+', abs(x))
    return sign + s


def rand_number(rng):
    kind = rng.random()
    if kind < 0.3:
        return str(rng.randint(-10**18, 10**18))
    if kind < 0.5:
        return str(rng.randint(-10**30, 10**30))
    nd = rng.randint(1, 45)
    ds = ''.join(rng.choice('0123456789') for _ in range(nd)).lstrip('0') or '1'
    e = rng.choice([rng.randint(-5, 5), rng.randint(-60, 60), rng.randint(-135, 128)])
    sign = rng.choice(['', '-'])
    return '%s%sE%d' % (sign, ds[:1] + '.' + ds[1:] if len(ds) > 1 else ds, e)


def expected(op, a, b):
    da = oracle(Decimal(a))
    if isinstance(da, str):
        return da
    if op in ('text', 'btext'):
        return text(da)
    if op in ('sqrt', 'ln', 'exp'):  # to 90 digits, then Oracle's rounding
        with decimal.localcontext() as c:
            c.prec = 90
            if op == 'sqrt':
                return text(oracle(da.sqrt())) if da >= 0 else 'ORA-01428'
            if op == 'ln':
                return text(oracle(da.ln())) if da > 0 else 'ORA-01428'
            return text(oracle(da.exp()))
    db = oracle(Decimal(b))
    if isinstance(db, str):
        return db
    if op == 'add':
        return text(oracle(da + db))
    if op == 'sub':
        return text(oracle(da - db))
    if op == 'mul':
        return text(oracle(da * db))
    if op == 'div':
        if db == 0:
            return 'ORA-01476'
        return text(oracle(CTX.divide(da, db)))
    if op == 'cmp':
        return str((da > db) - (da < db))
    if op == 'bytes':  # the stored bytes' order, then the numbers' order
        c = str((da > db) - (da < db))
        return c + ' ' + c
    raise ValueError(op)


def main():
    driver = sys.argv[1]
    cases = int(sys.argv[2]) if len(sys.argv) > 2 else 20000
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 1)
    lines = []
    for _ in range(cases):
        op = rng.choice(['text', 'btext', 'bytes', 'add', 'sub', 'mul', 'div', 'cmp'] * 5 +
                        ['sqrt', 'ln', 'exp'])
        a = '%.6f' % rng.uniform(-280, 280) if op == 'exp' else rand_number(rng)
        lines.append((op, a, rand_number(rng)))
    inp = ''.join('%s %s %s\n' % l for l in lines)
    out = subprocess.run([driver], input=inp, capture_output=True, text=True, check=True).stdout
    got = out.splitlines()
    bad = 0
    for (op, a, b), g in zip(lines, got):
        want = expected(op, a, b)
        if g != want:
            bad += 1
            if bad <= 20:
                print('MISMATCH %s %s %s: server %s, decimal %s' % (op, a, b, g, want))
    print('%d cases, %d mismatches' % (len(lines), bad))
    return 1 if bad else 0


if __name__ == '__main__':
    sys.exit(main())
