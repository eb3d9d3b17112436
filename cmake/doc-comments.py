#!/usr/bin/env python3
"""Turns the contract comments of the public headers into Doxygen comments, in place.

A block of `//` lines directly above a declaration (no blank line between, at namespace or
class scope, not inside a function body) becomes a `///` block; the comment at the top of a
header, before its include guard, becomes the file's `/// \\file` documentation. Everything
else (section comments followed by a blank line, comments inside inline function bodies,
`// NOLINT`, `// clang-format` markers) is left alone. Running it twice
changes nothing the second time. A trailing `//` comment on an enumerator or a member
declaration becomes `///<`.

    cmake/doc-comments.py [--check] [header or directory ...]   (default: include/)

--check changes nothing and exits 1 when some header would change.
"""
import pathlib
import re
import sys

SCOPE_HEAD = re.compile(
    r'^(?:template\s*<.*>\s*)?(?:extern\s+"C\+\+"\s*)?(?:inline\s+)?'
    r'(?:namespace|class|struct|union|enum)\b')
MARKERS = re.compile(r'^//\s*(NOLINT|clang-format|IWYU|namespace\b)')


def code_part(line):
    """The code of a line without string and character literals and trailing comments."""
    line = re.sub(r'"(?:\\.|[^"\\])*"', '""', line)
    line = re.sub(r"'(?:\\.|[^'\\])*'", "''", line)
    return line.split('//', 1)[0]


def convert(text):
    lines = text.split('\n')
    out = []
    scopes = []          # for every open brace: True when it opens a namespace/class scope
    statement = ''       # code since the last ';', '{' or '}'
    block = []           # indices (into out) of the pending run of comment lines
    seen_code = False    # past the header comment (the first code line)
    header_done = False

    def in_scope():
        return all(scopes)

    for line in lines:
        stripped = line.strip()
        if stripped.startswith('//') and not stripped.startswith('///'):
            block.append(len(out))
            out.append(line)
            continue
        if block:
            first = out[block[0]].strip()
            is_header = not seen_code and not header_done and stripped.startswith('#')
            is_decl = (stripped != '' and not stripped.startswith('#') and
                       not stripped.startswith('}') and in_scope())
            if is_header:
                header_done = True
                indent = out[block[0]][:len(out[block[0]]) - len(out[block[0]].lstrip())]
                for i in block:
                    out[i] = out[i].replace('//', '///', 1)
                out.insert(block[0], indent + '/// \\file')
            elif is_decl and not MARKERS.match(first):
                for i in block:
                    if not MARKERS.match(out[i].strip()):
                        out[i] = out[i].replace('//', '///', 1)
            block = []
        if stripped and not stripped.startswith('//'):
            seen_code = True
        if stripped.startswith('#'):
            out.append(line)
            continue
        code = code_part(line)
        # A trailing comment on an enumerator or a member (`a = 1,  // what a is`) documents it.
        if (in_scope() and '//' in line and '///' not in line and
                re.search(r'[,;]\s*$', code) and not code.strip().startswith('}') and
                not MARKERS.match(line[len(code):].strip())):
            line = code + line[len(code):].replace('//', '///<', 1)
        for ch in code:
            if ch == '{':
                scopes.append(bool(SCOPE_HEAD.match(statement.strip())))
                statement = ''
            elif ch == '}':
                if scopes:
                    scopes.pop()
                statement = ''
            elif ch == ';':
                statement = ''
            else:
                statement += ch
        statement += ' '
        # Access specifiers end a "statement" for the purpose of recognising scopes.
        if re.match(r'^\s*(public|protected|private)\s*:\s*$', code):
            statement = ''
        out.append(line)
    return '\n'.join(out)


def headers(args):
    roots = [pathlib.Path(a) for a in args] or [pathlib.Path(__file__).resolve().parent.parent / 'include']
    for root in roots:
        if root.is_dir():
            yield from sorted(root.rglob('*.hpp'))
        else:
            yield root


def main(argv):
    check = '--check' in argv
    args = [a for a in argv if a != '--check']
    changed = []
    for path in headers(args):
        old = path.read_text(encoding='utf-8')
        new = convert(old)
        if new != old:
            changed.append(path)
            if not check:
                path.write_text(new, encoding='utf-8')
    for path in changed:
        print(('would change ' if check else 'converted ') + str(path))
    return 1 if check and changed else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
