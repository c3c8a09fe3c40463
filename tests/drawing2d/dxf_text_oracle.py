"""ezdxf's side of the DXF text tests: files of texts as CAD programs write them, and what ezdxf reads in them.

A list file holds a line per MTEXT: its file's path, a tab, its slot (-1 for the only MTEXT of its file, else k for
the k-th, attached by its top left corner at (10, -1000 k)), a tab, and the lines it shows (CP932 bytes in hex, the
empty lines left out) joined by commas.

forms OUTDIR LIST: MTEXTs of every form, made at random (the same on every run) from the inline codes and written
    by ezdxf into an R2000 file (ANSI_932) and an R2018 file (UTF-8); the last five, of two or three lines, are
    attached by their top, bottom, middle, top and top left corners, the last two turned by their code 50 and their
    code 11. Prints ezdxf's distance between the base lines of their height, and the angle it reads in each of the
    five.
librecad OUTDIR LIST [FILE...]: every MTEXT of librecad-data's DXF files (or of the files named), each copied with
    its file's version and code page, pair for pair, into a file of its own.
dimension VERSION OUT.dxf: a linear DIMENSION of 1250 whose block holds its value as CAD programs write it, an
    MTEXT "\\A1;1250"; prints the value ezdxf measures and the world point of the MTEXT, through the block's insert.
dimensions VERSION PLAIN.dxf MEASURED.dxf: a linear, an aligned, an angular and a radial DIMENSION, their blocks at
    scale 1, written once as ezdxf writes them and once as AutoCAD does (the measurement in code 42, radians for an
    angle, and a line spacing of 1.5 in code 41); prints each value's lines and the world point ezdxf puts it at.
    The angle's value is written without its degree sign, which the reader gives a record of its own.
specials VERSION OUT.dxf: TEXT, ATTRIB and MTEXT with the %% codes; prints each text as ezdxf shows it.
texts FILE: prints every TEXT's text as ezdxf shows it, a line each.
numbered CODEPAGE: prints what "%%000" to "%%256" show in a drawing of that $DWGCODEPAGE, a line each.
multibyte nXXXX...: prints what each "\\M+nXXXX" shows, a line each, in UTF-8 (Python's cp932 gives the IBM rows the
    bytes of the NEC rows of the same characters).
"""
import glob
import math
import os
import random
import re
import sys
import unicodedata

import ezdxf
from ezdxf.tools.text import MTextParser, TokenType, leading, plain_text

# What ezdxf leaves to its caller, taken here as CAD programs take it: "\U+XXXX" escapes of files of R2007 and
# later, "\M+1XXXX" (a Shift_JIS pair), "%%nnn" (that byte in the drawing's code page), "%%%" (a percent sign), and
# in MTEXT the underline and overline toggles "%%u" and "%%o" (which its reading of TEXT removes). A character that
# would break the text (a control character) shows as "?". A typed Ø before a digit is the diameter, elsewhere a
# letter CP932 lacks; ezdxf's own Ø (its %%c) is the diameter, and the drawing's is φ, which CP932 holds. The
# characters of the codes ezdxf does not know stand in its text as ones of the private plane 15, so that it takes
# none of them for a code of its own, and come back after. Only MTEXT escapes a backslash.
ESCAPES = r"%%[%cdpuoCDPUO]|\\[Uu]\+([0-9A-Fa-f]{4})|\\M\+([0-9])([0-9A-Fa-f]{4})|%%([0-9]{3})"
TEXT_ESCAPES, MTEXT_ESCAPES = re.compile(ESCAPES), re.compile(r"\\\\|" + ESCAPES)
PERCENT_CODE = re.compile(r"%%([%uUoO])")
HELD = 0xF0000


def visible(c):
    return "?" if unicodedata.category(c) == "Cc" else c


def one_byte(c):
    """A byte of a code page as a character: Python's cp932 gives 0x80, 0xA0 and 0xFD-0xFF code points of their own
    (U+0080 and private ones) that name no character; the reader, through iconv, shows them as "?"."""
    return "?" if unicodedata.category(c) in ("Cc", "Co") else c


def held(c):
    return chr(HELD + ord(c))


def escapes_decoded(text, codec="cp932", escapes=MTEXT_ESCAPES):
    def one(m):
        if m.group(1):
            return visible(chr(int(m.group(1), 16)))
        if m.group(3):
            c = bytes.fromhex(m.group(3)).decode("cp932", errors="replace")
            return held(c if m.group(2) == "1" and len(c) == 1 and c != "\ufffd" else "?")
        if m.group(4):
            n = int(m.group(4))
            return held(one_byte(bytes([n]).decode(codec, errors="replace")) if n < 256 else "?")
        return held("%") if m.group(0) == "%%%" else m.group(0)
    text = escapes.sub(one, text)
    return re.sub("\u00d8(?![0-9])", "?", text)


def shown(text):
    text = PERCENT_CODE.sub(lambda m: "%" if m.group(1) == "%" else "", text)
    text = text.replace("\u00d8", "\u03c6").replace("\u2300", "\u03c6")
    return "".join(chr(ord(c) - HELD) if ord(c) >= HELD else c for c in text)


def text_shown(e):
    """A TEXT's or ATTRIB's text as ezdxf shows it, its escapes decoded first and a tab as plain_mtext gives it."""
    text = plain_text(escapes_decoded(e.dxf.text, codec_of(e.doc), TEXT_ESCAPES))
    return cp932(shown(text).replace("\t", " " * 4))


def codec_of(doc):
    header = doc if isinstance(doc, dict) else doc.header
    page = header.get("$DWGCODEPAGE", "ANSI_932").lower()
    return "cp" + page[5:] if page.startswith("ansi_") else "cp932"


# Characters CP932 holds only as a look-alike are shown as the CP932 character that means the same.
CP932_EQUALS = str.maketrans({"\u2014": "\u2015", "\u00a5": "\uffe5", "\u203e": "\uffe3"})


def cp932(text):
    return text.translate(CP932_EQUALS).encode("cp932", errors="replace").hex()


def mtext_lines(mtext):
    """The lines of an MTEXT as ezdxf's own parser takes its text apart (a tab as plain_mtext gives it)."""
    lines = [""]
    for token in MTextParser(escapes_decoded(mtext.text, codec_of(mtext.doc))):
        t = token.type
        if t == TokenType.WORD:
            lines[-1] += token.data
        elif t == TokenType.TABULATOR:
            lines[-1] += " " * 4
        elif t in (TokenType.SPACE, TokenType.NBSP):
            lines[-1] += " "
        elif t == TokenType.STACK:
            upper, lower, kind = token.data
            lines[-1] += upper + ("/" + lower if kind else "")
        elif t in (TokenType.NEW_PARAGRAPH, TokenType.NEW_COLUMN, TokenType.WRAP_AT_DIMLINE):
            lines.append("")
    return [cp932(line) for line in map(shown, lines) if line]


def case_lines(path, slotted):
    doc = ezdxf.readfile(path)
    return ["%s\t%d\t%s" % (path, -(m.dxf.insert[1] // 1000) if slotted else -1, ",".join(mtext_lines(m)))
            for m in doc.modelspace().query("MTEXT")]


PIECES = ["Plain", "text", "\u65e5\u672c\u8a9e", "1250", "\u00c4b", " ", " ", "\\P", "\\N", "\\~", "\\\\", "\\{",
          "\\}", "\\A1;", "\\A0;", "\\pxqc;", "\\pi-3,l3,t3;", "\\fArial|b1|i0|c0|p34;", "\\FTimes.shx;", "\\H2.5x;",
          "\\H0.7;", "\\W0.8;", "\\Q15;", "\\T1.1;", "\\C1;", "\\c16711680;", "\\L", "\\l", "\\O", "\\o", "\\K",
          "\\k", "\\S1^ 2;", "\\S3/4;", "\\S5#6;", "\\S+0.1^ -0.2;", "\\U+00B0", "\\U+0414", "\\U+65E5", "%%c",
          "%%d", "%%p", "%%%", "%%u", "%%O", "\\X", "\\q", "\\U+12G4", "\\\\U+0041", "\\S7\\/8^ 9;",
          "\\S10;", "1.^Iitem", "^J", "a^ b", "\u00d8", "\u00d889", "\u00d8a", "\\U+00D85", "\\A1Top", "\\A2mid",
          "\\C3", "\\H2", "\\H1.5x", "\\W0.8x", "\\T1.1", "\\Q15", "\\H+1e1", "\\Habc", "\\M+18140",
          "\\M+1889F", "\\M+193FA", "\\M+1FFFF", "\\M+10041", "\\M+2A1B2", "%%065", "%%176", "%%200",
          "%%013", "%%000", "%%127", "%%999", "%%215", "\\U+0009", "\\U+0000", "\\U+0085",
          "\u00a5P", "\u2014"]


def make_text(rng, depth=0):
    parts = []
    for _ in range(rng.randint(1, 8)):
        if depth < 2 and rng.random() < 0.15:
            parts.append("{" + make_text(rng, depth + 1) + "}")
        else:
            parts.append(rng.choice(PIECES))
    return "".join(parts)


def forms(outdir, listing):
    rng = random.Random(3)
    texts = [make_text(rng) for _ in range(250)]
    # A long paragraph, continued in code 3, and a last character that must stay.
    texts.append(" ".join("word%03d" % k for k in range(150)) + "\\P" + "\u65e5\u672c" * 60 + "Z")
    texts += ["Plain text", "Line one\\PLine two", "\\pxqc;Centred", "\\A1;\u65e5\u672c\u8a9e", "\\A1;1250"]
    attached = [1] * len(texts) + [1, 7, 4, 1, 1]
    texts += ["Top\\Pleft", "Bottom\\Pleft", "Middle\\Pof\\Pthree", "Turned \\U+0414\\U+0430!\\Pround",
              "Directed\\Pup"]
    out = []
    for version, codepage in (("R2000", "ANSI_932"), ("R2018", None)):
        doc = ezdxf.new(version)
        if codepage:
            doc.header["$DWGCODEPAGE"] = codepage
        for k, text in enumerate(texts):
            doc.modelspace().add_mtext(text, dxfattribs={"char_height": 2.5, "insert": (10, -1000 * k),
                                                         "attachment_point": attached[k]})
        mtexts = doc.modelspace().query("MTEXT")
        mtexts[-2].dxf.rotation = 90  # code 50, as LibreCAD writes a turned text
        mtexts[-1].dxf.text_direction = (1, 1, 0)  # code 11
        path = os.path.join(outdir, "forms_%s.dxf" % version)
        doc.saveas(path)
        out += case_lines(path, True)
    with open(listing, "w") as f:
        f.write("\n".join(out) + "\n")
    angles = ["%.6f" % m.get_rotation() for m in ezdxf.readfile(path).modelspace().query("MTEXT")[-5:]]
    print("%.6f %s" % (leading(2.5, 1.0), " ".join(angles)))


def pairs(data):
    lines = data.split(b"\n")
    lines = [l[:-1] if l.endswith(b"\r") else l for l in lines]
    return [(lines[i].strip(), lines[i + 1]) for i in range(0, len(lines) - 1, 2)]


def librecad(outdir, listing, files):
    files = files or sorted(glob.glob("/usr/share/librecad/**/*.dxf", recursive=True))
    out = []
    for n, source in enumerate(files):
        with open(source, "rb") as f:
            p = pairs(f.read())
        header = []
        for i, (code, value) in enumerate(p[:-1]):
            if code == b"9" and value in (b"$ACADVER", b"$DWGCODEPAGE"):
                header += [p[i], p[i + 1]]
        entity = None
        found = []
        for code, value in p:
            if code == b"0":
                if entity:
                    found.append(entity)
                entity = [(code, value)] if value == b"MTEXT" else None
            elif entity is not None:
                entity.append((code, value))
        for k, entity in enumerate(found):
            body = [(b"0", b"SECTION"), (b"2", b"HEADER")] + header + [(b"0", b"ENDSEC"), (b"0", b"SECTION"),
                                                                     (b"2", b"ENTITIES")] + entity
            body += [(b"0", b"ENDSEC"), (b"0", b"EOF")]
            path = os.path.join(outdir, "librecad_%04d_%03d.dxf" % (n, k))
            with open(path, "wb") as f:
                f.write(b"".join(c + b"\n" + v + b"\n" for c, v in body))
            try:
                out += case_lines(path, False)
            except Exception as e:  # a copy ezdxf cannot read is no case
                print("not read by ezdxf: %s: %s" % (source, e), file=sys.stderr)
    with open(listing, "w") as f:
        f.write("\n".join(out) + "\n")


def dimension(version, out):
    doc = ezdxf.new(version)
    msp = doc.modelspace()
    dim = msp.add_linear_dim(base=(100, 40), p1=(100, 0), p2=(1350, 0), dimstyle="EZDXF")
    dim.render()
    block = doc.blocks.get(dim.dimension.dxf.geometry)
    (mtext,) = block.query("MTEXT")
    mtext.text = "\\A1;" + mtext.text
    doc.saveas(out)
    doc = ezdxf.readfile(out)
    (d,) = doc.modelspace().query("DIMENSION")
    (m,) = doc.blocks.get(d.dxf.geometry).query("MTEXT")
    # The block of a dimension is placed at the dimension's insertion point (code 12), the origin when none.
    p = m.dxf.insert + d.dxf.get("insert", (0, 0, 0))
    print("%.6f %s %.6f %.6f %d" % (d.get_measurement(), ",".join(mtext_lines(m)), p[0], p[1],
                                    m.dxf.attachment_point))


def dimensions(version, plain, measured):
    for path, written in ((plain, False), (measured, True)):
        doc = ezdxf.new(version)
        msp = doc.modelspace()
        made = [msp.add_linear_dim(base=(100, 40), p1=(100, 0), p2=(1350, 0), dimstyle="EZDXF"),
                msp.add_aligned_dim(p1=(0, 500), p2=(300, 900), distance=50, dimstyle="EZDXF"),
                msp.add_angular_dim_3p(base=(2100, 300), center=(2000, 0), p1=(2300, 0), p2=(2000, 300),
                                       text="90 deg", dimstyle="EZDXF"),
                msp.add_radius_dim(center=(3000, 0), radius=200, angle=30, dimstyle="EZDXF")]
        for k, m in enumerate(made):
            m.render()
            if written:
                d = m.dimension
                value = d.get_measurement()
                d.dxf.actual_measurement = math.radians(value) if k == 2 else value
                d.dxf.line_spacing_factor = 1.5
        doc.saveas(path)
        for d in ezdxf.readfile(path).modelspace().query("DIMENSION"):
            (m,) = doc.blocks.get(d.dxf.geometry).query("MTEXT")
            p = m.dxf.insert + d.dxf.get("insert", (0, 0, 0))
            print("%s %.6f %.6f" % (",".join(mtext_lines(m)), p[0], p[1]))


def specials(version, out):
    doc = ezdxf.new(version)
    msp = doc.modelspace()
    texts = ["%%c50", "45%%d", "%%p0.5", "100%%%", "%%uunder%%u and %%oover%%o", "%%C8 %%D %%P", "1.^Iitem",
             "a^ b^J", "%%065%%176%%013%%127", "\\M+1889F\\M+2A1B2", "\u00d889 \u00d8a"]
    doc.blocks.new("TAG")
    for k, t in enumerate(texts):
        msp.add_text(t, dxfattribs={"insert": (0, 10 * k), "height": 2})
        insert = msp.add_blockref("TAG", (100, 10 * k))
        insert.add_attrib("T%d" % k, t, (100, 10 * k), dxfattribs={"height": 2})
        msp.add_mtext(t, dxfattribs={"insert": (200, 10 * k), "char_height": 2})
    doc.saveas(out)
    doc = ezdxf.readfile(out)
    for e in doc.modelspace():
        if e.dxftype() == "TEXT":
            print("TEXT", text_shown(e))
        elif e.dxftype() == "INSERT":
            for a in e.attribs:
                print("ATTRIB", text_shown(a))
        elif e.dxftype() == "MTEXT":
            print("MTEXT", ",".join(mtext_lines(e)))


def texts(path):
    for e in ezdxf.readfile(path).modelspace().query("TEXT"):
        print(text_shown(e))


def numbered(page):
    codec = codec_of({"$DWGCODEPAGE": page})
    for n in range(257):
        print(cp932(shown(escapes_decoded("%%%%%03d" % n, codec))))


def multibyte(values):
    for v in values:
        print(shown(escapes_decoded("\\M+" + v)).encode().hex())


if __name__ == "__main__":
    command = sys.argv[1]
    if command == "forms":
        forms(sys.argv[2], sys.argv[3])
    elif command == "librecad":
        librecad(sys.argv[2], sys.argv[3], sys.argv[4:])
    elif command == "dimension":
        dimension(sys.argv[2], sys.argv[3])
    elif command == "dimensions":
        dimensions(sys.argv[2], sys.argv[3], sys.argv[4])
    elif command == "specials":
        specials(sys.argv[2], sys.argv[3])
    elif command == "numbered":
        numbered(sys.argv[2])
    elif command == "multibyte":
        multibyte(sys.argv[2:])
    else:
        texts(sys.argv[2])
