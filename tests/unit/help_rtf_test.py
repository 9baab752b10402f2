#!/usr/bin/env python3
"""Tests of the help document's generator (shell/help/make_help_rtf.py): what it escapes, and
that the text a reader gets back from the RTF is the source's text.

    python3 tests/unit/help_rtf_test.py
"""
import os
import re
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "shell",
                                "help"))
import make_help_rtf  # noqa: E402


def text_of(rtf):
    """The paragraphs' text of an RTF document as a reader shows it: the font and colour
    tables skipped, \\uN? turned back into characters (surrogates joined), \\par a line break."""
    body = re.sub(r"\{\\(fonttbl|colortbl)(\{[^{}]*(\{[^{}]*\})?[^{}]*\}|[^{}])*\}", "", rtf)
    units, i = [], 0
    while i < len(body):
        ch = body[i]
        if ch == "\\":
            escaped = re.match(r"\\([\\{}])|\\u(-?\d+)\?|\\([a-z]+)(-?\d+)? ?", body[i:])
            if escaped.group(1):
                units.append(ord(escaped.group(1)))
            elif escaped.group(2):
                units.append(int(escaped.group(2)) & 0xFFFF)
            elif escaped.group(3) == "par":
                units.append(ord("\n"))
            elif escaped.group(3) == "tab":
                units.append(ord("\t"))
            i += len(escaped.group(0))
        else:
            if ch not in "{}\r\n":
                units.append(ord(ch))
            i += 1
    return b"".join(u.to_bytes(2, "little") for u in units).decode("utf-16-le")


class Escaping(unittest.TestCase):
    def test_special_characters_and_every_non_ascii_character_are_escaped(self):
        cases = [
            ("a\\b", "a\\\\b"),
            ("{x}", "\\{x\\}"),
            ("ﾍ", "\\u-115?"),        # U+FF8D: above 0x7FFF, a negative 16-bit number
            ("あ", "\\u12354?"),
            ("\U0001F600", "\\u-10179?\\u-8704?"),  # beyond the BMP: its two surrogates
            ("\t", "\\tab "),
        ]
        for text, rtf in cases:
            self.assertEqual(make_help_rtf.escape_text(text), rtf, text)

    def test_the_document_is_ascii_and_gives_back_the_sources_text(self):
        source = ("# 題名 {1}\n\n"
                  "段落の\n続き \\\\ と \\` と `a{b}\\\\c`。\n\n"
                  "- 項目 \U0001F600\n  続く行\n\n"
                  "-t, --type T\n: 定義 ﾌｧｲﾙ\n: 次の定義\n")
        rtf = make_help_rtf.to_rtf(source)
        rtf.encode("ascii")
        self.assertTrue(rtf.startswith("{\\rtf1"))
        self.assertIn("\\fcharset128", rtf)
        self.assertEqual(rtf.count("{") - rtf.count("\\{"), rtf.count("}") - rtf.count("\\}"))
        self.assertEqual(text_of(rtf).split("\n")[:-1], [
            "題名 {1}",
            "段落の続き \\ と ` と a{b}\\c。",
            "・項目 \U0001F600続く行",
            "-t, --type T",
            "定義 ﾌｧｲﾙ",
            "次の定義",
        ])

    def test_malformed_markup_names_its_line(self):
        for source, line in [("段落\n\n`閉じない\n", 3), ("\n: 用語のない定義\n", 2)]:
            with self.assertRaisesRegex(make_help_rtf.MarkupError, "line %d" % line):
                make_help_rtf.to_rtf(source)


if __name__ == "__main__":
    unittest.main()
