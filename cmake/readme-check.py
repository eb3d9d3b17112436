#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Checks README.md: it renders as CommonMark, and every C++ example compiles and runs.

    cmake/readme-check.py [build dir]     (default: build/default; the library must be built)

Rendering: `cmark` turns README.md into HTML; every `## ` heading of the source must come out as
an <h2> with the same text, and there must be one <pre><code> per fence the source opens, so that
a closing fence merged with the text after it (which swallows the rest of the page) is caught.

Examples: every ```cpp (or ```c++) block is built with the library's headers and linked against
the built library, with -Wall -Wextra -Werror (only the warnings about unused names are
silenced: a fragment shows a value it does not go on to use), then run; it must exit with 0.
A block is a program of its own unless marked. A block that defines `int main` is compiled as it
is. Any other block is a fragment, and a harness makes it a program:

  - `#` lines (includes) go first, in their order;
  - namespace aliases, using-declarations and directives, and whole declarations of classes,
    structs, enums, templates and functions written at the block's outer level go, in their
    order, to namespace scope;
  - every other line goes, in its order, into the body of `int main()`;
  - the usual standard headers are included first; the library's headers are not, unless the
    program names none of them (then <vorn/core.hpp>), so an example's own includes are checked.

Compiler messages point into README.md through `#line`. An HTML comment on the line right before
a block's opening fence changes how it is handled:

  <!-- readme-check: continue -->   the block goes on from the previous checked block: one
                                    program, the previous block's names still in scope;
  <!-- readme-check: gtest -->      the body goes into a GoogleTest test (gmock and gtest_main
                                    linked), for examples of the test matchers;
  <!-- readme-check: skip -->       not compiled: for a block that cannot be built here (say why
                                    in the text around it); counted and reported;
  <!-- readme-check: setup          the lines up to `-->` are code put at namespace scope
  ...                               before the block's own: the names an example uses without
  -->                               showing where they come from. Hidden from the rendered page.

Several words may be given in one comment (`<!-- readme-check: continue setup`).

Environment: CXX (default g++); CXXSTD, the standards each program is built under (default
"c++17 c++20": the headers promise C++17); JOBS, parallel builds (default 2); VERBOSE, when set,
prints what each example writes, to compare with the README's comments.
"""
import concurrent.futures
import html
import os
import re
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
README = os.path.join(ROOT, "README.md")

FENCE = re.compile(r"^ {0,3}(`{3,}|~{3,})(.*)$")
MARKER = re.compile(r"^<!--\s*readme-check:\s*(.*?)\s*(-->)?\s*$")
WORDS = {"continue", "gtest", "skip", "setup"}

STD_HEADERS = ["cerrno", "chrono", "cstddef", "cstdint", "cstdio", "cstdlib", "cstring",
               "iostream", "string", "string_view", "system_error", "unordered_set", "utility",
               "vector", "fcntl.h", "unistd.h"]
WARNINGS = ["-Wall", "-Wextra", "-Werror", "-Wno-unused-variable",
            "-Wno-unused-but-set-variable", "-Wno-unused-function", "-Wno-unused-parameter"]


# --------------------------------------------------------------------------------------------
# Rendering


def check_rendering(lines):
    """Returns a list of problems with how cmark renders the README."""
    problems = []
    if shutil.which("cmark") is None:
        return ["cmark is not installed (Debian package cmark)"]
    out = subprocess.run(["cmark", README], check=True, capture_output=True, text=True).stdout

    headings, fences, fence = [], 0, None
    for line in lines:
        m = FENCE.match(line)
        if fence is None:
            if m:
                fence, fences = m.group(1), fences + 1
            elif line.startswith("## "):
                headings.append(line[3:].strip())
        elif m and m.group(1)[0] == fence[0] and len(m.group(1)) >= len(fence):
            fence = None  # any text after the closing fence is counted: cmark does not close
    if fence is not None:
        problems.append("a fence is still open at the end of the file")

    rendered = [html.unescape(re.sub(r"<[^>]+>", "", h))
                for h in re.findall(r"<h2>(.*?)</h2>", out, re.S)]
    plain = [re.sub(r"`([^`]*)`", r"\1", h) for h in headings]
    for h in plain:
        if h not in rendered:
            problems.append(f"heading '## {h}' is not an <h2> in cmark's output")
    blocks = out.count("<pre><code")
    if blocks != fences:
        problems.append(f"{fences} fences opened but cmark renders {blocks} code blocks "
                        "(a fence merged with the text after it?)")
    print(f"-- rendering: the source has {len(plain)} level-2 headings and opens {fences} fences; "
          f"cmark renders {len(rendered)} <h2> and {blocks} code blocks")
    return problems


# --------------------------------------------------------------------------------------------
# Extracting the examples


class Block:
    def __init__(self, start, code, words, setup):
        self.start = start        # README line number of the block's first code line
        self.code = code          # list of lines
        self.words = words        # marker words
        self.setup = setup        # (first line number, list of lines) or None


def extract_blocks(lines):
    blocks, i = [], 0
    while i < len(lines):
        m = FENCE.match(lines[i])
        if not m:
            i += 1
            continue
        fence, info = m.group(1), m.group(2).strip().split(" ")[0]
        words, setup = read_marker(lines, i)
        j = i + 1
        while j < len(lines):
            c = FENCE.match(lines[j])
            if c and c.group(1)[0] == fence[0] and len(c.group(1)) >= len(fence) \
                    and not c.group(2).strip():
                break
            j += 1
        if info in ("cpp", "c++"):
            blocks.append(Block(i + 2, lines[i + 1:j], words, setup))
        elif words:
            sys.exit(f"README.md:{i + 1}: a readme-check marker on a block that is not C++")
        i = j + 1
    return blocks


def read_marker(lines, fence_index):
    """The marker comment ending on the line before the fence: (words, setup or None)."""
    end = fence_index - 1
    if end < 0 or "-->" not in lines[end]:
        return set(), None
    start = end
    while start >= 0 and not lines[start].startswith("<!--"):
        start -= 1
    m = MARKER.match(lines[start]) if start >= 0 else None
    if not m:
        return set(), None
    words = set(m.group(1).split())
    if words - WORDS:
        sys.exit(f"README.md:{start + 1}: unknown readme-check words {sorted(words - WORDS)}")
    setup = None
    if "setup" in words:
        body = lines[start + 1:end] + ([lines[end].split("-->")[0]] if start != end else [])
        setup = (start + 2, body)
    elif start != end:
        sys.exit(f"README.md:{start + 1}: only a setup marker spans several lines")
    return words, setup


# --------------------------------------------------------------------------------------------
# Making programs


def code_only(line, in_comment):
    """The line without comments and literal contents; and whether a /* comment is still open."""
    out, i = [], 0
    while i < len(line):
        if in_comment:
            k = line.find("*/", i)
            if k < 0:
                return "".join(out), True
            i, in_comment = k + 2, False
        elif line.startswith("//", i):
            break
        elif line.startswith("/*", i):
            i, in_comment = i + 2, True
        elif line[i] in "\"'":
            quote, i = line[i], i + 1
            while i < len(line) and line[i] != quote:
                i += 2 if line[i] == "\\" else 1
            out.append(quote + quote)
            i += 1
        else:
            out.append(line[i])
            i += 1
    return "".join(out), in_comment


SCOPE_START = re.compile(r"^\s*(#|namespace\b|using\b|struct\b|class\b|enum\b|union\b|"
                         r"template\b|typedef\b)")
CONTROL = re.compile(r"^\s*(return|if|for|while|switch|else|do|case|throw|delete|co_\w+)\b")
FUNCTION_HEAD = re.compile(r"^\s*[\w:<>,*& ]+?[\w>*&]\s+[\w:~]+\s*\([^=]*\)\s*"
                           r"(const\s*)?(noexcept\s*)?(->\s*[\w:<>]+\s*)?$")


def split_chunks(first_line, lines):
    """Splits code into top-level chunks: (first line number, lines, goes to namespace scope)."""
    chunks, current, depth, in_comment, start = [], [], 0, False, first_line
    for n, line in enumerate(lines):
        if not current:
            start = first_line + n
        current.append(line)
        code, in_comment = code_only(line, in_comment)
        depth += sum(code.count(c) for c in "({[") - sum(code.count(c) for c in ")}]")
        stripped = code.strip()
        preprocessor = len(current) == 1 and stripped.startswith("#")
        if preprocessor or (depth == 0 and (stripped.endswith(";") or stripped.endswith("}")
                                            or not stripped and len(current) == 1)):
            chunks.append((start, current, namespace_scope(current)))
            current = []
    if current:
        chunks.append((start, current, namespace_scope(current)))
    return chunks


def namespace_scope(chunk):
    text, in_comment = "", False
    for line in chunk:
        code, in_comment = code_only(line, in_comment)
        text += code + "\n"
    text = text.strip()
    if not text:
        return False
    if SCOPE_START.match(text):
        return True
    head = re.split(r"[{;]", text, maxsplit=1)[0]
    ends_with_body = len(head) < len(text) and text[len(head)] == "{"
    return ends_with_body and not CONTROL.match(head) and bool(FUNCTION_HEAD.match(" ".join(
        head.split())))


class Program:
    def __init__(self, first):
        self.blocks = [first]
        self.includes, self.scope, self.body = [], [], []   # lists of (line number, lines)
        self.gtest = "gtest" in first.words
        self.complete = False

    def add(self, block):
        if block is not self.blocks[0]:
            self.blocks.append(block)
            self.gtest = self.gtest or "gtest" in block.words
        parts = ([block.setup] if block.setup else []) + [(block.start, block.code)]
        if any(re.search(r"\bint\s+main\s*\(", line) for _, ls in parts for line in ls):
            if len(self.blocks) > 1 or block.setup:
                sys.exit(f"README.md:{block.start}: a complete program cannot be continued "
                         "or set up")
            self.complete = True
            self.scope.append((block.start, block.code))
            return
        for first, ls in parts:
            for start, chunk, at_scope in split_chunks(first, ls):
                if chunk[0].lstrip().startswith("#"):
                    self.includes.append((start, chunk))
                elif at_scope or (first, ls) is block.setup:
                    self.scope.append((start, chunk))
                else:
                    self.body.append((start, chunk))

    def source(self):
        out = []
        names_library = any("<vorn/" in line for _, ls in self.includes for line in ls)
        if not self.complete:
            out += [f"#include <{h}>" for h in STD_HEADERS]
            if not names_library:
                out.append("#include <vorn/core.hpp>")
            if self.gtest:
                out.append("#include <gtest/gtest.h>")
        for start, ls in self.includes + self.scope:
            out.append(f'#line {start} "README.md"')
            out += ls
        if not self.complete:
            out.append("TEST(readme, example) {" if self.gtest else "int main() {")
            for start, ls in self.body:
                out.append(f'#line {start} "README.md"')
                out += ls
            out.append("}")
        return "\n".join(out) + "\n"

    def where(self):
        return "README.md:" + ",".join(str(b.start) for b in self.blocks)


def build_and_run(program, index, standard, build_dir, scratch):
    source = os.path.join(scratch, f"example_{index}_{standard}.cpp")
    binary = os.path.join(scratch, f"example_{index}_{standard}")
    with open(source, "w") as f:
        f.write(program.source())
    text = program.source()
    libs = ["-L" + build_dir, "-Wl,-rpath," + build_dir, "-lvorn-core"]
    if "fmt.hpp" in text:
        libs.append("-lfmt")
    if program.gtest or "gmock" in text or "testing/" in text:
        libs += ["-lgmock", "-lgtest"] + (["-lgtest_main"] if program.gtest else [])
    command = ([os.environ.get("CXX", "g++"), "-std=" + standard]
               + WARNINGS + ["-I" + os.path.join(ROOT, "include"), source, "-o", binary]
               + libs + ["-pthread"])
    built = subprocess.run(command, capture_output=True, text=True, cwd=scratch)
    if built.returncode != 0:
        return f"{program.where()}: does not compile with -std={standard}\n{built.stderr}"
    try:
        ran = subprocess.run([binary], capture_output=True, text=True, timeout=30, cwd=scratch)
    except subprocess.TimeoutExpired:
        return f"{program.where()}: did not finish in 30 s (-std={standard})"
    if ran.returncode != 0:
        return (f"{program.where()}: exits with {ran.returncode} (-std={standard})\n"
                f"-- standard output:\n{ran.stdout}-- standard error:\n{ran.stderr}")
    if os.environ.get("VERBOSE"):
        print(f"-- {program.where()} (-std={standard}) prints:\n{ran.stdout}", end="")
    return None


def check_examples(lines, build_dir):
    blocks = extract_blocks(lines)
    programs, skipped, last = [], [], None
    for block in blocks:
        if "skip" in block.words:
            skipped.append(block)
            continue
        if "continue" in block.words:
            if last is None:
                sys.exit(f"README.md:{block.start}: nothing before this block to continue")
            last.add(block)
        else:
            last = Program(block)
            last.add(block)
            programs.append(last)
    complete = sum(p.complete for p in programs)
    print(f"-- examples: {len(blocks)} C++ blocks: {complete} complete programs, "
          f"{len(blocks) - len(skipped) - complete} fragments in {len(programs) - complete} "
          f"programs, {len(skipped)} skipped"
          + "".join(f"\n   skipped: README.md:{b.start}" for b in skipped))

    if not os.path.exists(os.path.join(build_dir, "libvorn-core.so")):
        return [f"no library in {build_dir}: build it first"]
    problems = []
    runs = [(i, p, std) for i, p in enumerate(programs)
            for std in os.environ.get("CXXSTD", "c++17 c++20").split()]
    with tempfile.TemporaryDirectory(prefix="readme-check.") as scratch:
        jobs = int(os.environ.get("JOBS", "2"))
        with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
            results = pool.map(lambda r: build_and_run(r[1], r[0], r[2], build_dir, scratch),
                               runs)
            for (_, program, standard), problem in zip(runs, results):
                print(f"   {program.where()} -std={standard}: {'FAILED' if problem else 'ok'}")
                if problem:
                    problems.append(problem)
    return problems


def main():
    build_dir = os.path.abspath(sys.argv[1] if len(sys.argv) > 1
                                else os.path.join(ROOT, "build", "default"))
    with open(README, encoding="utf-8") as f:
        lines = f.read().split("\n")
    problems = check_rendering(lines) + check_examples(lines, build_dir)
    for p in problems:
        print("readme-check: " + p, file=sys.stderr)
    if problems:
        sys.exit(1)
    print("-- README.md: renders as CommonMark, every example builds and runs")


if __name__ == "__main__":
    main()
