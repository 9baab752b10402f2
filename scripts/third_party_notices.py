#!/usr/bin/env python3
"""Writes THIRD_PARTY_NOTICES.txt from Debian's copyright files of the libraries that the
programs carry inside them (all linked static):

  zlib                         both programs, every build
  libstdc++, libgcc            both programs, every build (GCC Runtime Library Exception)
  mingw-w64 runtime, winpthreads   the Windows builds

The license texts are copied from /usr/share/doc/<package>/copyright of the packages the
builds link from, never typed in by hand.

  python3 scripts/third_party_notices.py > THIRD_PARTY_NOTICES.txt
  python3 scripts/third_party_notices.py --check THIRD_PARTY_NOTICES.txt   (exit 1 if it differs)
  python3 scripts/third_party_notices.py --debian-copyright   (the .deb's machine-readable
                                                               copyright file)
"""
import sys
import textwrap

DOC = "/usr/share/doc"


def read(package):
    with open(f"{DOC}/{package}/copyright", encoding="utf-8") as f:
        return f.read()


def dep5_paragraphs(text):
    """The paragraphs of a machine-readable copyright file as lists of (field, value) pairs;
    continuation lines join their field's value, a lone "." is an empty line."""
    paragraphs = []
    for block in text.split("\n\n"):
        fields = []
        for line in block.split("\n"):
            if not line.strip():
                continue
            if line[0] in " \t":
                body = line.strip()
                if fields[-1][0] != "License":
                    fields[-1][1].append(body)  # Files and Copyright: one item a line
                else:
                    fields[-1][1].append("" if body == "." else line[1:].rstrip())
            else:
                name, _, value = line.partition(":")
                fields.append((name, [value.strip()] if value.strip() else []))
        if fields:
            paragraphs.append({name: lines for name, lines in fields})
    return paragraphs


def stanza(paragraphs, first_file):
    for p in paragraphs:
        if p.get("Files", [None])[0] == first_file:
            return p
    raise SystemExit(f"no Files paragraph for {first_file}")


def license_text(paragraphs, name):
    """A license's text: from a stand-alone License paragraph, or the first Files paragraph that
    carries it."""
    for p in paragraphs:
        if "Files" not in p and p.get("License", [None])[0] == name:
            return p["License"][1:]
    for p in paragraphs:
        if p.get("License", [None])[0] == name and len(p["License"]) > 1:
            return p["License"][1:]
    raise SystemExit(f"no text for license {name}")


def dedent(lines):
    indents = [len(l) - len(l.lstrip()) for l in lines if l.strip()]
    cut = min(indents) if indents else 0
    return [l[cut:] for l in lines]


def between(text, start, stop):
    """The lines of a plain-text copyright file from the line starting with `start` up to (not
    including) the line starting with `stop`."""
    lines = text.split("\n")
    begin = next(i for i, l in enumerate(lines) if l.startswith(start))
    end = next(i for i in range(begin + 1, len(lines)) if lines[i].startswith(stop))
    while lines[end - 1].strip() == "":
        end -= 1
    return lines[begin:end]


def section(out, title, applies):
    out.append("")
    out.append("=" * 78)
    out.append(title)
    out.append(applies)
    out.append("=" * 78)


def dep5_part(out, paragraphs, first_file, shown_license=None):
    p = stanza(paragraphs, first_file)
    name = p["License"][0]
    out.append("")
    out.extend(textwrap.wrap(", ".join(p["Files"]), 78, initial_indent="Files: ",
                             subsequent_indent="       ", break_on_hyphens=False))
    out.append("Copyright: " + "\n           ".join(p["Copyright"]))
    out.append("License: " + name)
    out.append("")
    for part in (shown_license or name).split(" and "):
        out.extend(dedent(license_text(paragraphs, part)))
        out.append("")


def debian_copyright(project_license):
    """The Debian package's copyright file: the project under the MIT (Expat) license, and in the
    header's comment the notices of what qelvaconv carries inside it, linked static."""
    zlib = dep5_paragraphs(read("zlib1g"))
    gcc = read("gcc-12-base")

    def field(lines):  # a multi-line field's continuation lines, "." for an empty line
        return [" " + l if l.strip() else " ." for l in lines]

    comment = [
        "qelvaconv is linked static with zlib and with the GCC runtime libraries",
        "(libstdc++, libgcc). Their notices follow, as Debian's packages of them state",
        "them; /usr/share/doc/qelvaconv/THIRD_PARTY_NOTICES.txt holds the notices of",
        "every QelvaView package.",
        "",
        "zlib:",
        "Copyright " + "; ".join(stanza(zlib, "*")["Copyright"]),
        "",
    ] + dedent(license_text(zlib, "Zlib")) + [
        "",
        "GCC runtime libraries:",
    ] + between(gcc, "The following runtime libraries are licensed", "The libbacktrace library") + [
        "",
    ] + between(gcc, "GCC RUNTIME LIBRARY EXCEPTION", "libquadmath/")
    # The MIT text of LICENSE, from its permission notice on.
    mit = project_license.split("\n")
    mit = mit[next(i for i, l in enumerate(mit) if l.startswith("Permission is hereby")):]
    out = [
        "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/",
        "Upstream-Name: QelvaView",
        "Comment:",
    ] + field(comment) + [
        "",
        "Files: *",
        "Copyright: 2026 The QelvaView developers",
        "License: Expat",
        "",
        "License: Expat",
    ] + field(l.rstrip() for l in mit)
    lines = [l.rstrip() for l in out]
    while lines[-1] == " ." or not lines[-1]:
        lines.pop()
    return "\n".join(lines) + "\n"


def main():
    if len(sys.argv) == 2 and sys.argv[1] == "--debian-copyright":
        with open(__file__.rsplit("/", 2)[0] + "/LICENSE", encoding="utf-8") as f:
            sys.stdout.write(debian_copyright(f.read()))
        return 0
    out = [
        "THIRD-PARTY NOTICES",
        "",
        "QelvaView is released under the MIT license (LICENSE). The programs of its packages",
        "carry parts of the following libraries inside them, linked static. Their copyright",
        "notices and license texts follow, as Debian's packages of them state them.",
    ]

    zlib_native = dep5_paragraphs(read("zlib1g"))
    zlib_windows = dep5_paragraphs(read("libz-mingw-w64"))
    section(out, "zlib", "In qelvaconv (Linux and Windows) and QelvaView.exe: compresses PNG files.")
    copyrights = []
    for paragraphs in (zlib_native, zlib_windows):
        for line in stanza(paragraphs, "*")["Copyright"]:
            if line not in copyrights:
                copyrights.append(line)
    out.append("")
    out.append("Copyright: " + "\n           ".join(copyrights))
    out.append("License: Zlib")
    out.append("")
    out.extend(dedent(license_text(zlib_windows, "Zlib")))

    gcc_windows = read("gcc-mingw-w64-base")
    section(out, "GCC runtime libraries: libstdc++ and libgcc",
            "In qelvaconv (Linux and Windows) and QelvaView.exe: the C++ standard library and\n"
            "the compiler's support routines.")
    out.append("")
    out.extend(between(gcc_windows, "The following runtime libraries are licensed",
                       "The libbacktrace library"))
    out.append("")
    out.extend(between(gcc_windows, "GCC RUNTIME LIBRARY EXCEPTION", "libquadmath/"))

    mingw = dep5_paragraphs(read("mingw-w64-common"))
    section(out, "mingw-w64 runtime", "In the Windows programs: program start, C library functions.")
    for first in ("*", "mingw-w64-crt/gdtoa/*", "mingw-w64-crt/gdtoa/qnan.c",
                  "mingw-w64-crt/math/s_erf.c", "mingw-w64-crt/misc/basename.c",
                  "mingw-w64-crt/misc/getopt.c", "mingw-w64-crt/stdio/strtok_r.c"):
        dep5_part(out, mingw, first)

    section(out, "winpthreads", "In the Windows programs: the threads of the C++ standard library.")
    for first in ("mingw-w64-libraries/winpthreads/*",
                  "mingw-w64-libraries/winpthreads/include/pthread.h",
                  "mingw-w64-libraries/winpthreads/src/libgcc/dll_math.c"):
        dep5_part(out, mingw, first)

    lines = [line.rstrip() for line in out]
    lines = [l for i, l in enumerate(lines) if l or i == 0 or lines[i - 1]]  # no double blanks
    text = "\n".join(lines).rstrip("\n") + "\n"
    if len(sys.argv) == 3 and sys.argv[1] == "--check":
        with open(sys.argv[2], encoding="utf-8") as f:
            if f.read() != text:
                print(f"{sys.argv[2]} differs from the notices this machine's packages give",
                      file=sys.stderr)
                return 1
        return 0
    sys.stdout.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
