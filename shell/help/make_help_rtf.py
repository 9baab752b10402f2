#!/usr/bin/env python3
"""Writes the viewer's help document as RTF from its readable UTF-8 source.

    make_help_rtf.py SOURCE.txt OUTPUT.rtf

The source is a tiny markup, one block after another, blocks separated by blank lines:

    # Title                the document's title (once, at the top)
    ## Section             a section heading
    ### Subsection         a subsection heading
    - item                 a bullet list item (lines indented by two blanks continue it)
    term                   a definition list entry: the term on its own line, then one or
    : definition           more lines beginning ": ", each a paragraph of its definition
    any other line         paragraph text; the lines of one paragraph are joined

Inside any text, `code` is set in the fixed-width font. A backslash takes the next character
as it is (\\` is a backquote, \\\\ a backslash).

The RTF is plain 7-bit text: every character outside ASCII is written as \\uN? (UTF-16 units,
a character beyond the BMP as its two surrogates), so that the file means the same on any
system code page. The fonts are Japanese ones (charset 128) found on Windows 10 and 11; where
they are missing (under Wine, say) the system picks a font of that charset by itself.
"""
import re
import sys

# Body text, headings and code. \falt names a second choice a reader may take.
FONTS = [
    r"{\f0\fswiss\fcharset128 Yu Gothic UI{\*\falt Meiryo UI};}",
    r"{\f1\fmodern\fcharset128 MS Gothic{\*\falt Consolas};}",
]
# 1: headings, 2: definition terms, 3: code.
COLOURS = [(28, 56, 110), (40, 40, 40), (128, 40, 64)]

# Sizes in half points.
TITLE_SIZE, SECTION_SIZE, SUBSECTION_SIZE, BODY_SIZE = 32, 26, 22, 20
# Indents in twips (1/1440 inch); a bullet hangs the width of its full-width mark at 10 points.
BULLET_INDENT, BULLET_HANG, DEFINITION_INDENT, TERM_INDENT = 360, 200, 480, 120
BULLET = "\u30fb"


class MarkupError(Exception):
    """The source is malformed; the message names the line."""


def escape_text(text):
    """RTF for plain text: the three special characters escaped, everything outside ASCII
    (and every control character) as \\uN? of its UTF-16 units."""
    out = []
    for ch in text:
        code = ord(ch)
        if ch in "\\{}":
            out.append("\\" + ch)
        elif ch == "\t":
            out.append("\\tab ")
        elif 0x20 <= code < 0x7F:
            out.append(ch)
        elif code < 0x10000:
            out.append(unicode_unit(code))
        else:
            code -= 0x10000
            out.append(unicode_unit(0xD800 + (code >> 10)))
            out.append(unicode_unit(0xDC00 + (code & 0x3FF)))
    return "".join(out)


def unicode_unit(unit):
    # \uN takes a signed 16-bit number; "?" is what a reader without Unicode shows.
    return "\\u%d?" % (unit - 0x10000 if unit >= 0x8000 else unit)


def inline(text, line_number):
    """RTF for a run of text with `code` spans and backslash escapes."""
    out, plain, in_code, i = [], [], False, 0
    while i < len(text):
        ch = text[i]
        if ch == "\\" and i + 1 < len(text):
            plain.append(text[i + 1])
            i += 2
            continue
        if ch == "`":
            out.append(escape_text("".join(plain)))
            plain = []
            out.append(r"}" if in_code else r"{\f1\cf3 ")
            in_code = not in_code
        else:
            plain.append(ch)
        i += 1
    if in_code:
        raise MarkupError("line %d: a ` is not closed" % line_number)
    out.append(escape_text("".join(plain)))
    return "".join(out)


def join_lines(lines):
    """The lines of one paragraph as one text: Japanese lines join without a blank."""
    text = ""
    for line in lines:
        line = line.strip()
        if text and line and (ord(text[-1]) < 0x80 and ord(line[0]) < 0x80):
            text += " "
        text += line
    return text


def parse(source):
    """The blocks of the source as (kind, payload, line number) tuples."""
    blocks = []
    lines = source.splitlines()
    i = 0
    while i < len(lines):
        line = lines[i].rstrip()
        number = i + 1
        if not line:
            i += 1
            continue
        heading = re.match(r"(#{1,3}) (.+)$", line)
        if heading:
            blocks.append(("h%d" % len(heading.group(1)), heading.group(2).strip(), number))
            i += 1
            continue
        if line.startswith("- "):
            item = [line[2:]]
            i += 1
            while i < len(lines) and lines[i].startswith("  ") and lines[i].strip():
                item.append(lines[i])
                i += 1
            blocks.append(("bullet", join_lines(item), number))
            continue
        if line.startswith(": "):
            raise MarkupError("line %d: a definition without a term" % number)
        if i + 1 < len(lines) and lines[i + 1].startswith(": "):
            definitions = []
            i += 1
            while i < len(lines) and lines[i].startswith(": "):
                definitions.append(lines[i][2:].strip())
                i += 1
            blocks.append(("term", line.strip(), number))
            for d in definitions:
                blocks.append(("definition", d, number))
            continue
        paragraph = []
        while i < len(lines) and lines[i].strip() and not re.match(r"(#{1,3} |- |: )", lines[i]):
            if i + 1 < len(lines) and lines[i + 1].startswith(": ") and paragraph:
                break
            paragraph.append(lines[i])
            i += 1
        blocks.append(("paragraph", join_lines(paragraph), number))
    return blocks


def paragraph(format_words, text):
    return "\\pard\\plain %s %s\\par\n" % (format_words, text)


def to_rtf(source):
    """The whole RTF document for the markup source."""
    colours = "".join("\\red%d\\green%d\\blue%d;" % c for c in COLOURS)
    out = [
        "{\\rtf1\\ansi\\ansicpg932\\deff0\\deflang1041\\uc1\n",
        "{\\fonttbl" + "".join(FONTS) + "}\n",
        "{\\colortbl;" + colours + "}\n",
        "\\viewkind4\n",
    ]
    body = "\\f0\\fs%d\\sa80\\sl300\\slmult1" % BODY_SIZE
    for kind, text, number in parse(source):
        rtf = inline(text, number)
        if kind == "h1":
            out.append(paragraph("\\f0\\fs%d\\b\\cf1\\sa160" % TITLE_SIZE, rtf))
        elif kind == "h2":
            out.append(paragraph(
                "\\f0\\fs%d\\b\\cf1\\sb280\\sa100\\brdrb\\brdrs\\brdrw10\\brsp40" % SECTION_SIZE, rtf))
        elif kind == "h3":
            out.append(paragraph("\\f0\\fs%d\\b\\cf1\\sb200\\sa60" % SUBSECTION_SIZE, rtf))
        elif kind == "bullet":
            # A full-width "・" hangs before the text, with no tab or blank after it: a reader
            # that wraps Japanese only at blanks would otherwise leave the mark alone on a line.
            out.append(paragraph("%s\\fi-%d\\li%d" % (body, BULLET_HANG, BULLET_INDENT),
                                 escape_text(BULLET) + rtf))
        elif kind == "term":
            out.append(paragraph("%s\\li%d\\sb100\\sa20\\b\\cf2\\keepn" % (body, TERM_INDENT), rtf))
        elif kind == "definition":
            out.append(paragraph("%s\\li%d" % (body, DEFINITION_INDENT), rtf))
        else:
            out.append(paragraph(body, rtf))
    out.append("}\n")
    return "".join(out)


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: make_help_rtf.py SOURCE.txt OUTPUT.rtf\n")
        return 2
    with open(argv[1], encoding="utf-8") as f:
        source = f.read()
    try:
        rtf = to_rtf(source)
    except MarkupError as e:
        sys.stderr.write("%s: %s\n" % (argv[1], e))
        return 1
    with open(argv[2], "w", encoding="ascii", newline="\r\n") as f:
        f.write(rtf)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
