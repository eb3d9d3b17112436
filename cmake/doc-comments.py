#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Turns the contract comments of the public headers into Doxygen comments, in place.

A block of `//` lines directly above a declaration (no blank line between, at namespace or
class scope, not inside a function body) becomes a `///` block; the comment at the top of a
header, before its include guard, becomes the file's `/// \\file` documentation. Everything
else (section comments followed by a blank line, comments inside inline function bodies,
`// NOLINT`, `// clang-format` markers) is left alone. Running it twice
changes nothing the second time. A trailing `//` comment on an enumerator or a member
declaration becomes `///<`. A comment over several declarations written one after the other
of one name (an overload set) is made the comment of a `///@{ ... ///@}` member group around them.

    cmake/doc-comments.py [--check] [header or directory ...]   (default: include/)

--check changes nothing and exits 1 when some header would change.
"""
import pathlib
import re
import sys

SCOPE_HEAD = re.compile(
    r'^(?:template\s*<.*>\s*)?(?:extern\s+"C\+\+"\s*)?(?:inline\s+)?'
    r'(?:namespace|class|struct|union|enum)\b')
MARKERS = re.compile(r'^//\s*(NOLINT|clang-format|IWYU|SPDX-License-Identifier|namespace\b)')


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
    return '\n'.join(group_runs(out))


def declarations_in(run):
    """The names of the declarations a run of code lines holds (the identifier before the
    first parenthesis of each), or [] when it opens a scope or is incomplete."""
    depth, names, statement = 0, [], ''
    for line in run:
        for ch in code_part(line) + ' ':
            if ch == '{':
                if depth == 0 and SCOPE_HEAD.match(statement.strip()):
                    return []
                depth += 1
                if depth == 1:
                    names.append(declared_name(statement))
            elif ch == '}':
                depth -= 1
                if depth == 0:
                    statement = '}'
            elif ch == ';' and depth == 0:
                if statement.strip() not in ('', '}'):
                    names.append(declared_name(statement))
                statement = ''
            elif depth == 0:
                statement = ('' if statement == '}' and not ch.isspace() else statement) + ch
    return names if depth == 0 else []


def declared_name(statement):
    head = statement.split('(', 1)[0]
    found = re.findall(r'(operator\s*\S+|~?\w+)\s*$', head.strip())
    return found[0] if found else statement.strip()


def group_runs(lines):
    """Wraps the run of declarations after a `///` block in a member group when the comment
    covers an overload set (declarations of one name written one after the other under it),
    so that Doxygen gives the comment to each of them (DISTRIBUTE_GROUP_DOC)."""
    out, i = [], 0
    while i < len(lines):
        line = lines[i]
        out.append(line)
        i += 1
        stripped = line.strip()
        if not stripped.startswith('///') or stripped.startswith(('///<', '///@', '/// \\file')):
            continue
        if i < len(lines) and lines[i].strip().startswith('///'):
            continue  # not the end of the block yet
        end = i
        while end < len(lines):
            s = lines[end].strip()
            if (s == '' or s.startswith('//') or s.startswith('#') or
                    re.match(r'^(public|protected|private)\s*:', s)):
                break
            if s.startswith('}') and declarations_in(lines[i:end]) and \
                    not declarations_in(lines[i:end + 1]):
                break
            end += 1
        run = lines[i:end]
        names = declarations_in(run) if run and not run[0].strip().startswith('}') else []
        if len(names) > 1 and len(set(names)) == 1:
            indent = line[:len(line) - len(line.lstrip())]
            out.append(indent + '///@{')
            out.extend(run)
            out.append(indent + '///@}')
            i = end
    return out


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
