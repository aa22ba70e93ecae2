#!/usr/bin/env python3
"""Seeds small faults into one source file, one at a time, and reports which the tests catch.

Each mutant flips a comparison, swaps && and ||, moves an integer constant by one, swaps two
call arguments or deletes a statement; the build target is rebuilt and the test command run.
A mutant is caught when the build or the tests fail (or the tests time out). The source file
is restored after every mutant, also when the run is interrupted or killed.

  tools/mutate.py --source localdb/sql/SqlBinder.cpp --build build \\
      --target localdb_oci_tests --target localdb_core_tests \\
      --test 'build/bin/localdb_core_tests' --test 'build/bin/localdb_oci_tests' --count 40

Run it in a copy of the tree when you keep working in this one: it edits the file in place.
A copy needs its own build directory (a copied one still points at the original sources).

--seed picks another sample, --lines narrows it to some lines (a survivor's line, to check
that a new test kills it), --list prints the sample without building. At the end every survivor is listed as file:line with its original and mutated line,
ready to be turned into a test. Changes that cannot alter behaviour a test can see are not
made: assertion and reserve() lines, swapping two equal arguments.
"""
import argparse
import os
import random
import re
import signal
import subprocess
import sys
import time

SWAPS = [("==", "!="), ("!=", "=="), ("<=", "<"), (">=", ">"), ("<", "<="), (">", ">="),
         ("&&", "||"), ("||", "&&"), ("true", "false"), ("false", "true")]


# Lines where a seeded fault is an equivalent mutant: it changes nothing a test can observe.
SKIP = re.compile(r"\bassert\(|Q_ASSERT|\.reserve\(|\bqDebug\b|\bqWarning\b")


def mutants(lines):
    """All (line index, description, new line) candidates of a file."""
    out = []
    in_comment = False
    for i, line in enumerate(lines):
        code = line.split("//", 1)[0]
        stripped = code.strip()
        if stripped.startswith("/*"):
            in_comment = True
        if in_comment:
            if "*/" in stripped:
                in_comment = False
            continue
        if (not stripped or stripped.startswith("#") or '"' in code and code.count('"') > 4
                or SKIP.search(code)):
            continue
        for old, new in SWAPS:
            pat = re.escape(old)
            if old in ("<", ">"):  # a lone comparison, not <<, ->, <= or a template
                pat = r"(?<![<>\-=])" + re.escape(old) + r"(?![<>=])"
            if old in ("true", "false"):
                pat = r"\b" + old + r"\b"
            for m in re.finditer(pat, code):
                if old in ("<", ">") and re.search(r"\w<\w|template|std::|static_cast|>\(", code):
                    continue
                if code[:m.start()].count("'") % 2:  # inside a character literal
                    continue
                new_line = line[:m.start()] + new + line[m.end():]
                out.append((i, f"{old} -> {new}", new_line))
        for m in re.finditer(r"(?<![\w.])(\d+)(?![\w.])", code):
            if code[:m.start()].count('"') % 2:
                continue
            n = int(m.group(1))
            for d in (1, -1):
                if n + d >= 0:
                    out.append((i, f"{n} -> {n + d}", line[:m.start()] + str(n + d) +
                                line[m.end():]))
        m = re.search(r"\(([^(),]+), ([^(),]+)\)", code)
        if (m and not stripped.startswith(("for", "if", "while"))
                and m.group(1).strip() != m.group(2).strip()):  # swapping equals changes nothing
            a, b = m.group(1), m.group(2)
            out.append((i, f"swap ({a}, {b})",
                        line[:m.start()] + f"({b}, {a})" + line[m.end():]))
        if (stripped.endswith(";") and not stripped.startswith(("return", "case", "default",
                                                                 "}", "const", "static",
                                                                 "int ", "bool ", "auto ",
                                                                 "std::", "using"))
                and stripped.count("(") == stripped.count(")") and "=" not in stripped.split("(")[0]
                or re.match(r"^\s*(\+\+|--)?\w+(\+\+|--)?;", code)):
            out.append((i, "delete statement", ""))
    return out


def run(cmd, timeout):
    # In a session of its own, so a timeout ends the test binary too, not only its shell: a
    # mutant that loops would otherwise keep running and slow every later one.
    p = subprocess.Popen(cmd, shell=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                         start_new_session=True)
    try:
        return p.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(p.pid, signal.SIGKILL)
        p.wait()
        return -1


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--source", required=True)
    ap.add_argument("--build", default="build")
    ap.add_argument("--target", action="append", required=True)
    ap.add_argument("--test", action="append", required=True, help="a test command (repeatable)")
    ap.add_argument("--count", type=int, default=30)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--lines", help="only mutate these lines: FROM-TO or N, comma-separated "
                    "(1-based), e.g. to check that new tests kill earlier survivors")
    ap.add_argument("--timeout", type=int, default=120)
    ap.add_argument("--list", action="store_true", help="print the sample, run nothing")
    args = ap.parse_args()

    original = open(args.source).read()
    lines = original.split("\n")
    cands = mutants(lines)
    if args.lines:
        ranges = []
        for part in args.lines.split(","):
            lo, _, hi = part.partition("-")
            ranges.append((int(lo), int(hi or lo)))
        cands = [c for c in cands if any(lo <= c[0] + 1 <= hi for lo, hi in ranges)]
    random.Random(args.seed).shuffle(cands)
    cands = cands[:args.count]
    if args.list:
        for i, what, new_line in cands:
            print(f"{args.source}:{i + 1}: {what}\n    {lines[i].strip()}\n -> {new_line.strip()}")
        return 0
    build = f"cmake --build {args.build} " + " ".join(f"--target {t}" for t in args.target)
    env = "QT_QPA_PLATFORM=offscreen "
    caught = survived = 0
    survivors = []
    # A kill restores the source as an interrupt does.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    try:
        for n, (i, what, new_line) in enumerate(cands, 1):
            mutated = lines[:i] + [new_line] + lines[i + 1:]
            with open(args.source, "w") as f:
                f.write("\n".join(mutated))
            t = time.time()
            if run(build, 600) != 0:
                verdict = "caught (build)"
            elif any(run(env + cmd, args.timeout) != 0 for cmd in args.test):
                verdict = "caught"
            else:
                verdict = "SURVIVED"
            if verdict == "SURVIVED":
                survived += 1
                survivors.append((i, what, new_line))
            else:
                caught += 1
            print(f"[{n}/{len(cands)}] {args.source}:{i + 1}: {what}: {verdict} "
                  f"({time.time() - t:.0f}s)\n  - {lines[i].strip()}\n  + {new_line.strip()}",
                  flush=True)
    finally:
        with open(args.source, "w") as f:
            f.write(original)
        run(build, 600)
    total = caught + survived
    for i, what, new_line in sorted(survivors):
        print(f"survivor {args.source}:{i + 1}: {what}\n  - {lines[i].strip()}\n  + "
              f"{new_line.strip()}")
    print(f"{caught}/{total} caught ({100.0 * caught / max(total, 1):.0f}%), {survived} survived")
    return 0


if __name__ == "__main__":
    sys.exit(main())
