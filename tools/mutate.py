#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
# Mutation testing for the library's sources: injects one small fault at a time into src/,
# rebuilds incrementally, runs the suites of the file's family until the first failure,
# restores the file and records the outcome; prints a per-family report with every survivor.
"""Inject faults into src/ one at a time and check that the test suites notice.

Typical use, from the repository root:

    tools/mutate.py --seed 1 --count 150          # run (or resume) a sample of 150 mutants
    tools/mutate.py --seed 1 --count 150 --family decimal
    tools/mutate.py --seed 1 --report             # print the report of what has been run
    tools/mutate.py --list --family version       # show the sites without running anything

Only src/**/*.cpp and src/**/*.hpp are mutated; the public headers under include/ are not
(their inline code is compiled into every test program, so each mutant there would rebuild the
whole test tree). Each mutant is classified as:

    killed          a suite failed (or crashed)
    timeout         a suite ran longer than ten times its unmutated time (counted as killed)
    survived        every suite passed
    not-compiling   the mutated source does not build
    no-change       the mutant builds to byte-identical binaries (dead or preprocessed-out
                    code, or an equivalent spelling): nothing a test could observe

The score is (killed + timeout) / (killed + timeout + survived): among the mutants that
compile and change the built code.

The build lives in build/mutation (RelWithDebInfo at -O1 without debug information, warnings
not fatal, test programs not relinked when only the shared library changes). Results are
appended to build/mutation/state/<seed>.jsonl; running again with the same seed skips the
mutants already done, and a larger --count extends the same sample. Before a source file is
mutated its content is saved in build/mutation/state/pending; a run that was killed outright
leaves it there and the next run restores it first.
"""

import argparse
import hashlib
import json
import os
import re
import signal
import subprocess
import sys
import time
from collections import Counter, OrderedDict, defaultdict
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
BUILD = ROOT / "build" / "mutation"
STATE = BUILD / "state"
PENDING = STATE / "pending"

FAMILIES = ["binary_encoding", "byte_array", "common", "datetime", "decimal", "error",
            "result", "stopwatch", "text_formatter", "version"]

# The ctest tests that exercise each family, as regular expressions on the test names. They
# run fastest first; the first failure kills the mutant. "*" means every suite that runs a
# program of the build.
FAMILY_TESTS = {
    "binary_encoding": [r"^binary_encoding_", r"^allocation_sweep_test$", r"^format_test$"],
    "byte_array": [r"^byte_array_", r"^allocation_sweep_test$", r"^format_test$"],
    "common": ["*"],
    "datetime": [r"^datetime_", r"^text_readers_guard_test$", r"^allocation_sweep_test$",
                 r"^format_test$"],
    "decimal": [r"^decimal_", r"^text_readers_guard_test$", r"^allocation_sweep_test$",
                r"^format_test$"],
    "error": [r"^error_test$", r"^result_test$", r"^allocation_sweep_test$"],
    "result": [r"^result_", r"^allocation_sweep_test$", r"^format_test$"],
    "stopwatch": [r"^stopwatch_test$"],
    "text_formatter": [r"^text_formatter_test$", r"^format_test$", r"^text_readers_guard_test$",
                       r"^allocation_sweep_test$"],
    "version": [r"^version_test$"],
}

TIMEOUT_FACTOR = 10.0
TIMEOUT_FLOOR = 5.0  # seconds added so that a suite of a few milliseconds is not timed out by noise
BUILD_TIMEOUT = 900.0


class Interrupted(Exception):
    pass


def on_signal(signum, frame):
    raise Interrupted("signal %d" % signum)


# ---------------------------------------------------------------------------------------------
# Finding the mutation sites
# ---------------------------------------------------------------------------------------------

def mask_source(text):
    """Returns text of the same length in which comments, string and character literals and
    preprocessor lines are blanked (newlines kept), so that offsets map one to one."""
    out = list(text)
    n = len(text)
    i = 0
    at_line_start = True

    def blank(a, b):
        for k in range(a, b):
            if out[k] != "\n":
                out[k] = " "

    while i < n:
        c = text[i]
        if c == "\n":
            at_line_start = True
            i += 1
            continue
        if at_line_start and c in " \t":
            i += 1
            continue
        if at_line_start and c == "#":
            j = i
            while j < n:
                if text[j] == "\n" and text[j - 1] != "\\":
                    break
                j += 1
            blank(i, j)
            i = j
            continue
        at_line_start = False
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            blank(i, j)
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            blank(i, j)
            i = j
        elif c == '"' or (c == "'" and not (i > 0 and text[i - 1].isalnum())):
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == "\\" else 1
            blank(i, min(j + 1, n))
            i = j + 1
        else:
            i += 1
    masked = "".join(out)
    # static_assert(...) and alignas(...) hold compile-time checks and layout: not behaviour.
    for m in re.finditer(r"\b(static_assert|alignas)\s*\(", masked):
        depth, j = 0, m.end() - 1
        while j < n:
            if masked[j] == "(":
                depth += 1
            elif masked[j] == ")":
                depth -= 1
                if depth == 0:
                    break
            j += 1
        masked = masked[:m.start()] + "".join(
            "\n" if ch == "\n" else " " for ch in masked[m.start():j + 1]) + masked[j + 1:]
    return masked


# Binary operators are recognised only with white space on both sides: the sources are
# clang-formatted, which spaces binary operators and never spaces template angle brackets,
# pointer or reference declarators, unary operators, '->', '<<' inside '<<=' and so on.
BINARY = OrderedDict([
    ("<", [("rel-boundary", "<="), ("rel-swap", ">")]),
    ("<=", [("rel-boundary", "<"), ("rel-swap", ">=")]),
    (">", [("rel-boundary", ">="), ("rel-swap", "<")]),
    (">=", [("rel-boundary", ">"), ("rel-swap", "<=")]),
    ("==", [("rel-swap", "!=")]),
    ("!=", [("rel-swap", "==")]),
    ("&&", [("logical", "||")]),
    ("||", [("logical", "&&")]),
    ("+", [("arith", "-")]),
    ("-", [("arith", "+")]),
    ("*", [("arith", "/")]),
    ("/", [("arith", "*")]),
    ("%", [("arith", "*")]),
    ("<<", [("arith", ">>")]),
    (">>", [("arith", "<<")]),
    ("&", [("arith", "|")]),
    ("|", [("arith", "&")]),
    ("^", [("arith", "|")]),
    ("+=", [("arith", "-=")]),
    ("-=", [("arith", "+=")]),
    ("*=", [("arith", "/=")]),
    ("/=", [("arith", "*=")]),
    ("<<=", [("arith", ">>=")]),
    (">>=", [("arith", "<<=")]),
    ("&=", [("arith", "|=")]),
    ("|=", [("arith", "&=")]),
])
BINARY_RE = re.compile(r"(?<=\s)(" + "|".join(
    re.escape(op) for op in sorted(BINARY, key=len, reverse=True)) + r")(?=\s)")
INCDEC_RE = re.compile(r"(?<![+\-])(\+\+|--)(?![+\-=])")
NEGATION_RE = re.compile(r"(?<![\w)\]])!(?!=)")
INTEGER_RE = re.compile(r"(?<![\w.'])(0[xX][0-9a-fA-F]+|\d+)([uUlLzZ]*)(?![\w.'])")
BOOL_RETURN_RE = re.compile(r"\breturn\s+(true|false)\s*;")
NOT_STATEMENT = re.compile(
    r"^(return|break|continue|case|default|goto|throw|using|typedef|namespace|template|"
    r"friend|typename|if|else|for|while|do|switch|static_assert|public|private|protected|"
    r"co_return|co_yield|enum|class|struct|union|extern|static|const|constexpr|auto|"
    r"inline|virtual|explicit|operator|delete|new)\b")
# The head of an expression statement: a postfix expression with no space inside, e.g.
# "x", "*out++", "state.count", "std::memcpy", "p->items[i]". A space before the first '(',
# '=' or '[' means "type name", i.e. a declaration.
STATEMENT_HEAD = re.compile(
    r"^(\+\+|--|\*)?[A-Za-z_][\w:.\->\[\]<>]*(\+\+|--)?"
    r"(\(|\s*(\+|-|\*|/|%|&|\||\^|<<|>>)?=(?!=)|\s*;)")


def integer_mutations(tok, suffix):
    if tok[:2] in ("0x", "0X"):
        value = int(tok, 16)
        upper = any(ch in "ABCDEF" for ch in tok[2:])

        def fmt(v):
            s = "%0*x" % (len(tok) - 2, v)
            return tok[:2] + (s.upper() if upper else s) + suffix
    else:
        if len(tok) > 1 and tok.startswith("0"):
            return []  # octal: rare, leave alone
        value = int(tok)

        def fmt(v):
            return str(v) + suffix
    if value == 0:
        return [fmt(1)]
    if value == 1:
        return [fmt(0), fmt(2)]
    return [fmt(value + 1), fmt(value - 1)]


def line_col(text, offset):
    line = text.count("\n", 0, offset) + 1
    col = offset - (text.rfind("\n", 0, offset) + 1) + 1
    return line, col


def find_sites(rel, text):
    """Every mutant of one file: dicts with offset, length, operator, original, replacement."""
    masked = mask_source(text)
    sites = []

    def add(offset, length, op, repl):
        line, col = line_col(text, offset)
        sites.append({"file": rel, "line": line, "col": col, "offset": offset,
                      "length": length, "op": op, "orig": text[offset:offset + length],
                      "repl": repl})

    for m in BINARY_RE.finditer(masked):
        tok = m.group(1)
        # A '<' or '>' between spaces right after 'template' or 'operator' is not a comparison.
        before = masked[:m.start()].rstrip()
        if re.search(r"\b(template|operator)$", before):
            continue
        # '&' and '*' directly after a type-looking token and before a name, e.g. in a
        # parameter list of a macro-made declaration, are very rare under clang-format; the
        # compiler will refuse such mutants and they count as not compiling.
        for op, repl in BINARY[tok]:
            add(m.start(), len(tok), op, repl)
    for m in INCDEC_RE.finditer(masked):
        add(m.start(), 2, "arith", "--" if m.group(1) == "++" else "++")
    for m in NEGATION_RE.finditer(masked):
        before = masked[:m.start()].rstrip()
        if before.endswith("operator"):
            continue
        add(m.start(), 1, "negation", "")
    for m in INTEGER_RE.finditer(masked):
        # A line with many literals is a data table or a vector of lane constants (shuffle
        # controls, lookup nibbles): thousands of sites that would crowd out the logic in a
        # sample; they are left to the suites' round trips and not mutated one by one.
        line_start = masked.rfind("\n", 0, m.start()) + 1
        line_end = masked.find("\n", m.start())
        if len(INTEGER_RE.findall(masked[line_start:line_end if line_end >= 0 else None])) > 4:
            continue
        for repl in integer_mutations(m.group(1), m.group(2)):
            add(m.start(), m.end() - m.start(), "constant", repl)
    for m in BOOL_RETURN_RE.finditer(masked):
        other = "false" if m.group(1) == "true" else "true"
        add(m.start(1), len(m.group(1)), "bool-return", other)

    # Statement deletion: a whole single-line expression statement inside a block.
    lines = masked.split("\n")
    offsets = []
    pos = 0
    for ln in lines:
        offsets.append(pos)
        pos += len(ln) + 1
    prev = ""
    for i, ln in enumerate(lines):
        stripped = ln.strip()
        if not stripped:
            continue
        if (stripped.endswith(";") and ln.startswith((" ", "\t"))
                and (prev.endswith((";", "{", "}")) or re.search(r"\b(case\b.*|default\s*):$", prev)
                     or prev.endswith(":") and not prev.endswith("::"))
                and not NOT_STATEMENT.match(stripped)
                and STATEMENT_HEAD.match(stripped)
                and stripped.count("(") == stripped.count(")")):
            start = offsets[i] + (len(ln) - len(ln.lstrip()))
            length = len(stripped)
            add(start, length, "delete-stmt", "")
        prev = stripped
    return sites


def family_of(rel):
    parts = Path(rel).parts
    return parts[1] if len(parts) > 2 and parts[0] == "src" else "common"


def source_files():
    files = []
    for path in sorted((ROOT / "src").rglob("*")):
        if path.suffix in (".cpp", ".hpp") and path.is_file():
            files.append(path.relative_to(ROOT).as_posix())
    return files


def mutant_id(s):
    return "%s:%d:%d:%s:%s->%s" % (s["file"], s["line"], s["col"], s["op"], s["orig"], s["repl"])


def all_mutants():
    result = []
    for rel in source_files():
        text = (ROOT / rel).read_text()
        for s in find_sites(rel, text):
            s["family"] = family_of(rel)
            s["id"] = mutant_id(s)
            result.append(s)
    result.sort(key=lambda s: (s["file"], s["offset"], s["op"], s["repl"]))
    return result


def sample(mutants, seed, count, families):
    """The first `count` mutants (of the chosen families) in an order drawn from the seed: each
    mutant's place comes from a hash of the seed and the mutant alone, so a larger count extends
    the same sample and a site added or removed elsewhere does not reshuffle the others."""
    def key(m):
        return hashlib.sha256(("%s\0%s" % (seed, m["id"])).encode()).hexdigest()
    order = sorted(mutants, key=key)
    if families:
        order = [m for m in order if m["family"] in families]
    return order[:count]


def apply(text, site):
    return text[:site["offset"]] + site["repl"] + text[site["offset"] + site["length"]:]


# ---------------------------------------------------------------------------------------------
# Build and suites
# ---------------------------------------------------------------------------------------------

def log(msg):
    print(msg, flush=True)


def run_quiet(cmd, timeout, **kw):
    proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            start_new_session=True, **kw)
    try:
        out, _ = proc.communicate(timeout=timeout)
        return proc.returncode, out.decode(errors="replace"), False
    except subprocess.TimeoutExpired:
        kill_group(proc)
        return None, "", True
    except BaseException:
        kill_group(proc)
        raise


def kill_group(proc):
    try:
        os.killpg(proc.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    proc.wait()


def configure(jobs):
    if (BUILD / "build.ninja").exists() or (BUILD / "Makefile").exists():
        return
    gen = ["-G", "Ninja"] if subprocess.run(["which", "ninja"], capture_output=True).returncode == 0 else []
    cmd = ["cmake", "-S", str(ROOT), "-B", str(BUILD)] + gen + [
        "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
        "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -DNDEBUG",
        "-DVORN_CORE_BUILD_TESTS=ON", "-DVORN_CORE_BUILD_EXAMPLES=OFF",
        "-DVORN_CORE_BUILD_BENCHMARKS=OFF", "-DVORN_CORE_WERROR=OFF",
        "-DCMAKE_LINK_DEPENDS_NO_SHARED=ON"]
    log("configuring " + str(BUILD))
    rc, out, _ = run_quiet(cmd, BUILD_TIMEOUT)
    if rc != 0:
        sys.exit("configure failed:\n" + out)
    # CTest names a suite's program only once it exists: build everything once, so that the
    # suites can be found.
    log("building " + str(BUILD) + " once")
    rc, out, timed_out = run_quiet(["cmake", "--build", str(BUILD), "-j", str(jobs)],
                                   4 * BUILD_TIMEOUT)
    if rc != 0 or timed_out:
        sys.exit("the unmutated tree does not build:\n" + out[-4000:])


def build(targets, jobs, timeout=BUILD_TIMEOUT):
    cmd = ["cmake", "--build", str(BUILD), "-j", str(jobs), "--target"] + sorted(targets)
    rc, out, timed_out = run_quiet(cmd, timeout)
    return rc == 0 and not timed_out, out


def load_tests():
    rc, out, _ = run_quiet(["ctest", "--test-dir", str(BUILD), "--show-only=json-v1"], 120)
    if rc != 0:
        sys.exit("ctest --show-only failed:\n" + out)
    # ctest may print a line before the JSON when the build tree is new.
    data = json.loads(out[out.index("{"):])
    tests = OrderedDict()
    for t in data["tests"]:
        props = {p["name"]: p["value"] for p in t.get("properties", [])}
        cmd = t.get("command") or []
        labels = props.get("LABELS", [])
        if "unit" not in labels and "concurrency" not in labels:
            continue
        if "PASS_REGULAR_EXPRESSION" in props or "WILL_FAIL" in props:
            continue
        # Only suites that run a program of this build can see a mutant.
        # The program a suite runs, when the build makes it (not a script or a directory given
        # as an argument).
        programs = [c for c in cmd[:1] if c.startswith(str(BUILD) + "/")]
        if not programs and not props.get("FIXTURES_SETUP"):
            continue
        env = dict(os.environ)
        for kv in props.get("ENVIRONMENT", []):
            k, _, v = kv.partition("=")
            env[k] = v
        if "--gtest_brief=1" in cmd:
            cmd = cmd + ["--gtest_fail_fast"]
        tests[t["name"]] = {
            "name": t["name"], "cmd": cmd, "env": env,
            "cwd": props.get("WORKING_DIRECTORY", str(BUILD)),
            "targets": sorted({Path(p).name for p in programs}),
            "setup": bool(props.get("FIXTURES_SETUP")),
        }
    return tests


def family_tests(family, tests):
    patterns = FAMILY_TESTS[family]
    chosen = []
    for name, t in tests.items():
        if t["setup"]:
            continue
        if patterns == ["*"] or any(re.search(p, name) for p in patterns):
            chosen.append(name)
    if not chosen:
        # Without a suite every mutant would read as a survivor.
        sys.exit("no test suite found for the family %s" % family)
    return chosen


def run_test(t, timeout):
    start = time.monotonic()
    rc, out, timed_out = run_quiet(t["cmd"], timeout, env=t["env"], cwd=t["cwd"])
    return rc, out, timed_out, time.monotonic() - start


def file_hash(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for chunk in iter(lambda: f.read(1 << 20), b""):
            h.update(chunk)
    return h.hexdigest()


def built_outputs(targets, tests):
    """The files whose bytes tell whether a mutant changed the built code."""
    paths = set()
    for lib in BUILD.glob("libvorn-core.so.*.*.*"):
        paths.add(lib)
    for name in targets:
        for t in tests.values():
            for c in t["cmd"]:
                if Path(c).name == name and c.startswith(str(BUILD)):
                    paths.add(Path(c))
    return sorted(paths)


# ---------------------------------------------------------------------------------------------
# Keeping the sources intact
# ---------------------------------------------------------------------------------------------

def save_pending(rel, original):
    PENDING.mkdir(parents=True, exist_ok=True)
    (PENDING / "content").write_bytes(original)
    (PENDING / "path").write_text(rel)


def restore_pending():
    """Puts back a file left mutated by a run that was killed before it could restore it."""
    path_file = PENDING / "path"
    if not path_file.exists():
        return
    rel = path_file.read_text().strip()
    content_file = PENDING / "content"
    if content_file.exists():
        (ROOT / rel).write_bytes(content_file.read_bytes())
        log("restored %s, left mutated by an interrupted run" % rel)
    else:
        subprocess.run(["git", "-C", str(ROOT), "checkout", "--", rel], check=True)
        log("restored %s from git, left mutated by an interrupted run" % rel)
    clear_pending()


def clear_pending():
    for name in ("path", "content"):
        try:
            (PENDING / name).unlink()
        except FileNotFoundError:
            pass


# ---------------------------------------------------------------------------------------------
# Running
# ---------------------------------------------------------------------------------------------

def state_file(seed):
    return STATE / ("%s.jsonl" % seed)


def read_state(seed):
    records = OrderedDict()
    path = state_file(seed)
    if path.exists():
        for line in path.read_text().splitlines():
            line = line.strip()
            if not line:
                continue
            try:
                r = json.loads(line)
            except json.JSONDecodeError:
                continue  # a line cut short by a kill
            records[r["id"]] = r
    return records


def baseline(tests, needed, jobs):
    """Builds everything, runs each needed suite once unmutated, returns its time."""
    targets = {"vorn-core"} | {x for n in needed for x in tests[n]["targets"]}
    for t in tests.values():
        if t["setup"]:
            targets |= set(t["targets"])
    log("building the unmutated tree (%d targets)" % len(targets))
    ok, out = build(targets, jobs)
    if not ok:
        sys.exit("the unmutated tree does not build:\n" + out[-4000:])
    for t in tests.values():
        if t["setup"]:
            rc, out, _, _ = run_test(t, 600)
            if rc != 0:
                sys.exit("fixture %s failed:\n%s" % (t["name"], out[-4000:]))
    times = {}
    for name in sorted(needed):
        rc, out, timed_out, elapsed = run_test(tests[name], 600)
        if rc != 0 or timed_out:
            sys.exit("suite %s fails without any mutant; fix it first:\n%s" % (name, out[-4000:]))
        times[name] = elapsed
    hashes = {str(p): file_hash(p) for p in built_outputs(targets, tests)}
    return times, hashes


def run(args):
    # SIGINT too: a shell that starts a job in the background ignores it there by default.
    for signum in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, on_signal)
    STATE.mkdir(parents=True, exist_ok=True)
    restore_pending()
    families = set(args.family or [])
    chosen = sample(all_mutants(), args.seed, args.count, families)
    done = read_state(args.seed)
    todo = [m for m in chosen if m["id"] not in done
            or (args.retest_survivors and done[m["id"]]["status"] == "survived")]
    log("seed %s: %d mutants in the sample, %d already done, %d to run"
        % (args.seed, len(chosen), len(chosen) - len(todo), len(todo)))
    if not todo:
        return
    configure(args.jobs)
    tests = load_tests()
    per_family = {f: family_tests(f, tests) for f in FAMILIES}
    needed = {n for m in todo for n in per_family[m["family"]]}
    times, base_hashes = baseline(tests, needed, args.jobs)
    for f in per_family:
        per_family[f].sort(key=lambda n: (times.get(n, 0.0), n))

    # Mutants of one file run one after another, so that the file is recompiled once per
    # mutant rather than twice; the order inside the sample does not change the results.
    todo.sort(key=lambda m: (m["file"], m["offset"], m["op"], m["repl"]))
    out_path = state_file(args.seed)
    started = time.monotonic()
    last_file = None
    try:
        with open(out_path, "a") as out:
            for i, m in enumerate(todo, 1):
                record = run_one(m, tests, per_family[m["family"]], times, base_hashes, args)
                out.write(json.dumps(record) + "\n")
                out.flush()
                last_file = m["file"]
                log("[%d/%d] %-13s %s:%d %s %r -> %r (%.1fs)"
                    % (i, len(todo), record["status"], m["file"], m["line"], m["op"],
                       m["orig"], m["repl"], record["seconds"]))
    finally:
        restore_pending()
    elapsed = time.monotonic() - started
    log("ran %d mutants in %.0f s, %.1f s per mutant" % (len(todo), elapsed, elapsed / len(todo)))
    if last_file:
        # Leave the build matching the sources.
        build({"vorn-core"} | {x for n in needed for x in tests[n]["targets"]}, args.jobs)


def run_one(m, tests, suite_names, times, base_hashes, args):
    path = ROOT / m["file"]
    original = path.read_bytes()
    text = original.decode()
    record = {k: m[k] for k in ("id", "family", "file", "line", "col", "op", "orig", "repl")}
    record["before"] = text.splitlines()[m["line"] - 1].strip()
    if text[m["offset"]:m["offset"] + m["length"]] != m["orig"]:
        record.update(status="stale", seconds=0.0, detail="the source changed under the site")
        return record
    mutated = apply(text, m)
    record["after"] = mutated.splitlines()[m["line"] - 1].strip()
    start = time.monotonic()
    targets = {"vorn-core"} | {x for n in suite_names for x in tests[n]["targets"]}
    save_pending(m["file"], original)
    try:
        path.write_text(mutated)
        ok, out = build(targets, args.jobs)
        if not ok:
            errors = [ln for ln in out.splitlines() if "error" in ln]
            record.update(status="not-compiling", detail=(errors[0] if errors else out[-300:])[:300])
        elif all(file_hash(p) == h for p, h in base_hashes.items() if Path(p).exists()):
            record.update(status="no-change", detail="the built binaries are identical")
        else:
            record.update(status="survived", detail="")
            for name in suite_names:
                limit = max(times[name] * TIMEOUT_FACTOR, times[name] + TIMEOUT_FLOOR)
                rc, output, timed_out, _ = run_test(tests[name], limit)
                if timed_out:
                    record.update(status="timeout", detail="%s ran over %.1f s" % (name, limit))
                    break
                if rc != 0:
                    how = "failed" if rc > 0 else "crashed (signal %d)" % -rc
                    record.update(status="killed", detail="%s %s" % (name, how))
                    break
    finally:
        path.write_bytes(original)
        clear_pending()
    record["seconds"] = round(time.monotonic() - start, 2)
    return record


# ---------------------------------------------------------------------------------------------
# Report
# ---------------------------------------------------------------------------------------------

STATUSES = ["killed", "timeout", "survived", "not-compiling", "no-change"]


def report(args):
    records = list(read_state(args.seed).values())
    if args.family:
        records = [r for r in records if r["family"] in args.family]
    print("Mutation report: seed %s, %d mutants (%s)"
          % (args.seed, len(records), state_file(args.seed).relative_to(ROOT)))
    if not records:
        return
    by_family = defaultdict(Counter)
    for r in records:
        by_family[r["family"]][r["status"]] += 1
    header = "%-16s %6s %7s %8s %8s %14s %10s %8s" % (
        "family", "total", "killed", "timeout", "survived", "not-compiling", "no-change", "score")
    print(header)
    print("-" * len(header))
    total = Counter()

    def row(name, c):
        detected = c["killed"] + c["timeout"]
        considered = detected + c["survived"]
        score = "%.1f%%" % (100.0 * detected / considered) if considered else "-"
        print("%-16s %6d %7d %8d %8d %14d %10d %8s" % (
            name, sum(c.values()), c["killed"], c["timeout"], c["survived"],
            c["not-compiling"], c["no-change"], score))

    for f in sorted(by_family):
        row(f, by_family[f])
        total.update(by_family[f])
    print("-" * len(header))
    row("all", total)
    print("score = (killed + timeout) / (killed + timeout + survived): among the mutants that "
          "compile and change the built code")
    secs = [r.get("seconds", 0.0) for r in records]
    print("average %.1f s per mutant" % (sum(secs) / len(secs)))
    ops = Counter(r["op"] for r in records)
    print("operators: " + ", ".join("%s %d" % (k, v) for k, v in sorted(ops.items())))

    for title, status in (("Survivors", "survived"), ("Built to identical binaries", "no-change")):
        chosen = sorted((r for r in records if r["status"] == status),
                        key=lambda r: (r["file"], r["line"], r["col"]))
        if not chosen:
            continue
        print("\n%s (%d):" % (title, len(chosen)))
        for r in chosen:
            print("  %s:%d:%d  %s  %r -> %r" % (r["file"], r["line"], r["col"], r["op"],
                                             r["orig"], r["repl"]))
            print("      - %s" % r.get("before", ""))
            print("      + %s" % r.get("after", ""))


def list_sites(args):
    mutants = all_mutants()
    if args.family:
        mutants = [m for m in mutants if m["family"] in args.family]
    for m in mutants:
        print("%s:%d:%d  %-12s %r -> %r" % (m["file"], m["line"], m["col"], m["op"],
                                           m["orig"], m["repl"]))
    per = Counter(m["family"] for m in mutants)
    ops = Counter(m["op"] for m in mutants)
    print("%d sites; per family: %s" % (len(mutants), dict(sorted(per.items()))))
    print("per operator: %s" % dict(sorted(ops.items())))


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--seed", default="1", help="seed of the sample (default 1)")
    p.add_argument("--count", type=int, default=150, help="mutants in the sample (default 150)")
    p.add_argument("--family", action="append", choices=FAMILIES,
                   help="only this family (may be repeated)")
    p.add_argument("--jobs", type=int, default=1, help="build parallelism (default 1); "
                   "mutants always run one at a time")
    p.add_argument("--retest-survivors", action="store_true",
                   help="run the sample's survivors again, after the tests have changed; "
                   "their new results replace the old")
    p.add_argument("--report", action="store_true", help="print the report and exit")
    p.add_argument("--list", action="store_true", help="list the mutation sites and exit")
    args = p.parse_args()
    os.chdir(ROOT)
    if args.list:
        list_sites(args)
        return
    if not args.report:
        try:
            run(args)
        except (KeyboardInterrupt, Interrupted):
            restore_pending()
            log("interrupted; the sources are restored, rerun the same command to resume")
            sys.exit(130)
    report(args)


if __name__ == "__main__":
    try:
        main()
    except BrokenPipeError:  # the report piped into head or less that quit early
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        sys.exit(1)
