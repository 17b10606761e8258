#!/usr/bin/env python3
"""Makes a C++ header of constexpr tables from a highlighter's keyword file.

A new language plugs in by adding highlighters/keywords/<unit>.txt; CMake runs this script on
every file of that folder and the unit includes "highlighters/keywords/<unit>Keywords.h", whose
tables live in namespace rid::keywords::<unit>.

The file is read as bytes (keywords may be Shift-JIS). A line that is "#" alone or starts with
"# " is a comment; a line starting with "@" and the name of a form opens a section; the other
lines are its body.

  @words NAME KIND [COUNT]  the blank-separated words of the body, each with token kind KIND
                            (a C++ expression such as TRidPerlRid::tkKey), as TRidKeyword
                            entries; sections of one NAME make one table, in file order.
  @list NAME [COUNT]        the blank-separated words as std::string_view entries, in order.
  @text NAME                the body lines joined by one blank, as one std::string_view.
  @escaped NAME             the body lines joined, with the escapes \r \n \t \" and \\ read as
                            the bytes they stand for, as one std::string_view (a text with
                            line breaks, quoted as a C string is).

A COUNT checks the number of words of that section: a mismatch, a duplicate word in a table
or an unknown section fails the build with the file and line.
"""

import os
import re
import sys


class KeywordError(Exception):
    pass


def parse(data, path):
    """The tables of a keyword file as (form, name, items), sections of one name merged."""
    tables = {}  # name -> (form, items), in the order first seen
    section = None
    for number, raw in enumerate(data.split(b"\n"), 1):
        line = raw.rstrip(b"\r")
        where = f"{path}:{number}"
        if line == b"#" or line.startswith(b"# "):
            continue
        if SECTION.match(line):
            if section:
                close_section(section, tables)
            section = open_section(line, where, tables)
        elif section:
            section["body"].append(line)
        elif line.strip():
            raise KeywordError(f"{where}: text before the first section")
    if section:
        close_section(section, tables)
    return [(form, name, items) for name, (form, items) in tables.items()]


# The forms of a section with the number of fields their header may have.
SHAPES = {"words": (3, 4), "list": (2, 3), "text": (2, 2), "escaped": (2, 2)}
# A header line: "@" and a form's name (a body line may start with "@", as "@@ERROR" does).
SECTION = re.compile(rb"@(" + b"|".join(k.encode() for k in SHAPES) + rb")(\s|$)")


def open_section(line, where, tables):
    fields = line[1:].decode("ascii").split()
    shapes = SHAPES
    form = fields[0] if fields else ""
    if form not in shapes or not shapes[form][0] <= len(fields) <= shapes[form][1]:
        raise KeywordError(f"{where}: bad section header {line!r}")
    name = fields[1]
    if name in tables and (tables[name][0] != form or form != "words"):
        raise KeywordError(f"{where}: {name} is already a section")
    tables.setdefault(name, (form, []))
    count_at = 3 if form == "words" else 2
    return {"form": form, "name": name, "where": where, "body": [],
            "kind": fields[2] if form == "words" else None,
            "count": int(fields[count_at]) if len(fields) > count_at else None}


def close_section(section, tables):
    items = tables[section["name"]][1]
    if section["form"] == "text":
        items.append(b" ".join(section["body"]).strip(b" "))
        return
    if section["form"] == "escaped":
        items.append(unescape(b"".join(section["body"]), section["where"]))
        return
    words = b" ".join(section["body"]).split()
    if section["count"] is not None and len(words) != section["count"]:
        raise KeywordError(f"{section['where']}: {section['name']} has {len(words)} words, "
                           f"the header says {section['count']}")
    seen = {w for w, _ in items}
    for w in words:
        if w in seen:
            raise KeywordError(f"{section['where']}: {w!r} twice in {section['name']}")
        seen.add(w)
        items.append((w, section["kind"]))


def unescape(data, where):
    """The bytes a C string body stands for, with the escapes \\r \\n \\t \\" and \\\\."""
    escapes = {ord("r"): b"\r", ord("n"): b"\n", ord("t"): b"\t", ord('"'): b'"', ord("\\"): b"\\"}
    out = bytearray()
    i = 0
    while i < len(data):
        if data[i] != ord("\\"):
            out.append(data[i])
            i += 1
            continue
        if i + 1 >= len(data) or data[i + 1] not in escapes:
            raise KeywordError(f"{where}: unknown escape at byte {i} of the text")
        out += escapes[data[i + 1]]
        i += 2
    return bytes(out)


def cxx_string(data):
    """A C++ string literal of the bytes, with no escape running into the next byte."""
    out = []
    for b in data:
        if b in (0x22, 0x5C):
            out.append("\\" + chr(b))
        elif 0x20 <= b < 0x7F and b != 0x3F:  # no '?', so no trigraph
            out.append(chr(b))
        else:
            out.append(f"\\{b:03o}")
    return '"' + "".join(out) + '"'


def header(unit, source, sections):
    lines = [f"// Generated by scripts/gen_keywords.py from {source}: do not edit.",
             "#pragma once",
             "#include <string_view>",
             "",
             '#include "highlighters/RidHighlighterHashEntries.h"',
             f'#include "highlighters/{unit}.h"',
             "",
             f"namespace rid::keywords::{unit} {{",
             ""]
    for form, name, items in sections:
        if form == "words":
            lines.append(f"inline constexpr TRidKeyword {name}[] = {{")
            lines += [f"    {{{cxx_string(w)}, {k}}}," for w, k in items]
            lines.append("};")
        elif form == "list":
            lines.append(f"inline constexpr std::string_view {name}[] = {{")
            lines += [f"    {cxx_string(w)}," for w, _ in items]
            lines.append("};")
        else:  # text, escaped
            text = b" ".join(items)
            lines.append(f"inline constexpr std::string_view {name} = {cxx_string(text)};")
        lines.append("")
    lines.append(f"}}  // namespace rid::keywords::{unit}")
    return "\n".join(lines) + "\n"


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: gen_keywords.py KEYWORDS.txt OUTPUT.h\n")
        return 2
    source, output = argv[1], argv[2]
    unit = re.sub(r"\.txt$", "", source.replace("\\", "/").rsplit("/", 1)[-1])
    if not re.fullmatch(r"[A-Za-z_]\w*", unit):
        sys.stderr.write(f"{source}: the file name is no unit name\n")
        return 1
    with open(source, "rb") as f:
        data = f.read()
    try:
        sections = parse(data, source)
    except KeywordError as e:
        sys.stderr.write(f"{e}\n")
        return 1
    text = header(unit, f"highlighters/keywords/{unit}.txt", sections)
    os.makedirs(os.path.dirname(os.path.abspath(output)), exist_ok=True)
    with open(output, "w", encoding="ascii", newline="\n") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
