#!/usr/bin/env python3
"""Writes detect_models.inc beside this script: the models that detect.cpp
scores a card file's bytes with, one for each code page it converts.

The text comes from the message catalogues (/usr/share/locale/LANG/
LC_MESSAGES/*.mo) of the Debian packages installed, in the languages each
code page was made for; nothing here is typed text. One catalogue in four
(chosen by the CRC-32 of its domain name, see held_out) is kept out of the
models, so bench/detect_accuracy.py can measure them on text they never saw.
Each language is weighted alike within its code page, so a language with many
translations does not crowd out its neighbours.

Single-byte pages: each byte of a text is a symbol: a byte 0x80 to 0xFF is
itself, an ASCII byte one of four classes (space or control, digit or
punctuation, lower-case letter, upper-case letter), and the text starts and
ends with a space. The model is the probability of each pair of neighbouring
symbols among the pairs with at least one byte 0x80 to 0xFF.

Double-byte pages: the probability of each character written with bytes 0x80
to 0xFF (a lead byte and its trail, or a single byte).

Every probability is stored as its cost, -log2(p) * COST_SCALE rounded, at
most COST_MAX (which also stands for a byte or pair the page leaves
unassigned), as one printable character each (see COST_ALPHABET), so the
tables are string literals.

The catalogues were those of the Debian 12 packages named in PACKAGES below
(`apt-get install` them to make the same tables). Another set of packages or
versions gives slightly different tables; the committed output is the one
the accuracy figures were measured with, so a build needs none of them.

Usage: make_detect_models.py
"""

import collections
import glob
import gettext
import math
import os
import re
import unicodedata
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "detect_models.inc")

# Packages whose catalogues the committed tables were made from (Debian 12,
# `dpkg -S` on every catalogue read): installing these gives the same text.
PACKAGES = """
adduser appstream apt at-spi2-common bash binutils-common coreutils
diffutils dpkg findutils fp-utils-3.2.2 gettext gettext-base git gnucobol3
gnupg-l10n grep gsettings-desktop-schemas iso-codes krb5-locales
libapt-pkg6.0 libavahi-common-data libc-l10n libdpkg-perl libelf1 libexif12
libgdk-pixbuf2.0-common libglib2.0-data libgnutls30 libgphoto2-port12
libgstreamer-plugins-base1.0-0 libgstreamer1.0-0 libgtk2.0-common libidn2-0
libpam-runtime libpq5 login make man-db net-tools packagekit polkitd
postgresql-15 postgresql-client-15 procps psmisc python-apt-common sed
shared-mime-info software-properties-common systemd tar wget xdg-user-dirs
xkb-data xz-utils
""".split()

# The languages of each code page, as catalogues name them.
LANGUAGES = {
    874: ["th"],
    1250: ["pl", "cs", "sk", "hu", "hr", "sl", "ro"],
    1251: ["ru", "uk", "bg", "sr", "be", "mk"],
    1252: ["de", "fr", "es", "it", "pt", "pt_BR", "nl", "da", "sv", "nb", "fi", "ca"],
    1253: ["el"],
    1254: ["tr"],
    1255: ["he"],
    1256: ["ar", "fa"],
    1257: ["lt", "lv", "et"],
    1258: ["vi"],
    932: ["ja"],
    936: ["zh_CN"],
    949: ["ko"],
    950: ["zh_TW"],
}
SINGLE_BYTE = [874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258]
DOUBLE_BYTE = [932, 936, 949, 950]

# Symbols of the single-byte models: 0..127 the bytes 0x80..0xFF, then the
# classes of ASCII bytes.
SPACE, PUNCT, LOWER, UPPER = 128, 129, 130, 131
SYMBOLS = 132
LEAD_FIRST, LEAD_LAST = 0x81, 0xFE
TRAIL_FIRST, TRAIL_LAST = 0x40, 0xFE
TRAILS = TRAIL_LAST - TRAIL_FIRST + 1
LEADS = LEAD_LAST - LEAD_FIRST + 1

COST_SCALE = 2.5
# Printable characters other than '\\' (an escape) and '?' (trigraphs).
COST_ALPHABET = "".join(chr(c) for c in range(0x23, 0x7F) if chr(c) not in "\\?")
COST_MAX = len(COST_ALPHABET) - 1


def held_out(domain):
    """True for the catalogues kept out of the models, for measuring them."""
    return zlib.crc32(domain.encode()) % 4 == 0


def catalogues(lang):
    """(domain, path) of every catalogue of `lang`, in a fixed order."""
    paths = sorted(glob.glob("/usr/share/locale/%s/LC_MESSAGES/*.mo" % lang))
    return [(os.path.basename(p)[:-3], p) for p in paths]


ACCELERATOR = re.compile(r"(?<=\w)_(?=\w)|_(?=\w)|&(?=\w)")
DIRECTIVE = re.compile(r"%(\d+\$)?[-+ #0]*\d*(\.\d+)?(l|ll|h|z|j|t|L)?[sdiuxXcfgpl]")


def messages(lang, held):
    """The translated messages of `lang` from the catalogues held out (held
    true) or not, each once, in a fixed order, as lines of text."""
    seen, out = set(), []
    for domain, path in catalogues(lang):
        if held_out(domain) != held:
            continue
        try:
            with open(path, "rb") as f:
                catalogue = gettext.GNUTranslations(f)._catalog
        except Exception:
            continue
        for key in sorted(catalogue, key=repr):
            if not key or key == ("", 0):
                continue
            value = catalogue[key]
            value = DIRECTIVE.sub("", ACCELERATOR.sub("", value))
            value = unicodedata.normalize("NFC", value)
            for line in value.splitlines():
                line = " ".join(line.split())
                if len(line) >= 2 and line not in seen:
                    seen.add(line)
                    out.append(line)
    return out


# Letters that later standards added, written as the Windows of the time
# wrote them.
SUBSTITUTES = {
    "\u0219": "\u015f", "\u0218": "\u015e",  # Romanian s, t with comma: cedilla
    "\u021b": "\u0163", "\u021a": "\u0162",
    "\u06cc": "\u064a", "\u06a9": "\u0643",  # Persian yeh, keheh: Arabic
}

# Tone marks of Vietnamese, which Windows-1258 writes as combining marks after
# the letter when it has no single byte for the letter with its tone.
TONES = "\u0300\u0301\u0303\u0309\u0323"


def vietnamese_1258(text):
    """`text` encoded in Windows-1258 as Windows wrote it: each letter with a
    tone as one byte where the page has one, else its letter (with its
    circumflex, breve or horn) and a combining tone mark."""
    out = bytearray()
    decomposed = unicodedata.normalize("NFD", text)
    i = 0
    while i < len(decomposed):
        base = decomposed[i]
        i += 1
        marks = ""
        while i < len(decomposed) and unicodedata.combining(decomposed[i]):
            marks += decomposed[i]
            i += 1
        tones = "".join(m for m in marks if m in TONES)
        others = "".join(m for m in marks if m not in TONES)
        letter = unicodedata.normalize("NFC", base + others)
        whole = unicodedata.normalize("NFC", letter + tones)
        try:
            out += whole.encode("cp1258")
            continue
        except UnicodeEncodeError:
            pass
        out += letter.encode("cp1258") + tones.encode("cp1258")
    return bytes(out)


def encode(text, page):
    """`text` in code page `page`, or None when the page cannot write it."""
    text = "".join(SUBSTITUTES.get(c, c) for c in text)
    try:
        if page == 1258:
            return vietnamese_1258(text)
        return text.encode("cp%d" % page)
    except UnicodeEncodeError:
        return None


def symbol(byte):
    if byte >= 0x80:
        return byte - 0x80
    if 0x61 <= byte <= 0x7A:
        return LOWER
    if 0x41 <= byte <= 0x5A:
        return UPPER
    if byte <= 0x20 or byte == 0x7F:
        return SPACE
    return PUNCT


def assigned_single(page):
    """For each byte 0x80..0xFF, whether `page` assigns it a character."""
    out = []
    for byte in range(0x80, 0x100):
        try:
            out.append(len(bytes([byte]).decode("cp%d" % page)) == 1)
        except UnicodeDecodeError:
            out.append(False)
    return out


def cost(p):
    return min(COST_MAX, max(0, round(-math.log2(p) * COST_SCALE)))


def single_byte_model(page):
    """The pair costs of `page`, SYMBOLS * SYMBOLS, pairs of two ASCII
    classes COST_MAX (never looked up)."""
    assigned = assigned_single(page) + [True] * 4
    pairs = collections.Counter()
    for lang in LANGUAGES[page]:
        counts = collections.Counter()
        for line in messages(lang, held=False):
            data = encode(line, page)
            if data is None:
                continue
            previous = SPACE
            for byte in data + b" ":
                current = symbol(byte)
                if previous < 128 or current < 128:
                    counts[previous * SYMBOLS + current] += 1
                previous = current
        total = sum(counts.values())
        for key, count in counts.items():
            pairs[key] += count / total
    total = sum(pairs.values())
    # Marginals, for pairs never seen: every assigned symbol seen at least a little.
    marginal = [0.0] * SYMBOLS
    for key, weight in pairs.items():
        marginal[key // SYMBOLS] += weight / 2
        marginal[key % SYMBOLS] += weight / 2
    floor = 1e-4 * total
    marginal = [(m + floor) if assigned[s] else 0.0 for s, m in enumerate(marginal)]
    norm = sum(marginal[a] * marginal[b] for a in range(SYMBOLS) for b in range(SYMBOLS)
               if a < 128 or b < 128)
    out = []
    for a in range(SYMBOLS):
        for b in range(SYMBOLS):
            if (a >= 128 and b >= 128) or not assigned[a] or not assigned[b]:
                out.append(COST_MAX)
                continue
            p = 0.97 * pairs[a * SYMBOLS + b] / total + 0.03 * marginal[a] * marginal[b] / norm
            out.append(cost(p))
    return out


def double_byte_model(page):
    """The character costs of `page`: LEADS * TRAILS pairs, then the 128
    single bytes 0x80..0xFF."""
    codec = "cp%d" % page
    counts = collections.Counter()
    for lang in LANGUAGES[page]:
        for line in messages(lang, held=False):
            data = encode(line, page)
            if data is None:
                continue
            i = 0
            while i < len(data):
                byte = data[i]
                if byte < 0x80:
                    i += 1
                    continue
                try:
                    bytes([byte]).decode(codec)
                    counts[byte] += 1
                    i += 1
                except UnicodeDecodeError:
                    counts[(byte << 8) | data[i + 1]] += 1
                    i += 2
    valid = []
    for lead in range(LEAD_FIRST, LEAD_LAST + 1):
        for trail in range(TRAIL_FIRST, TRAIL_LAST + 1):
            try:
                ok = len(bytes([lead, trail]).decode(codec)) == 1
            except UnicodeDecodeError:
                ok = False
            valid.append(ok)
    singles = []
    for byte in range(0x80, 0x100):
        try:
            singles.append(len(bytes([byte]).decode(codec)) == 1)
        except UnicodeDecodeError:
            singles.append(False)
    total = sum(counts.values())
    smoothing = 0.3
    room = total + smoothing * (sum(valid) + sum(singles))
    out = []
    for index, ok in enumerate(valid):
        code = ((LEAD_FIRST + index // TRAILS) << 8) | (TRAIL_FIRST + index % TRAILS)
        out.append(cost((counts[code] + smoothing) / room) if ok else COST_MAX)
    for byte, ok in zip(range(0x80, 0x100), singles):
        out.append(cost((counts[byte] + smoothing) / room) if ok else COST_MAX)
    return out


def literal(name, costs, width=100):
    text = "".join(COST_ALPHABET[c] for c in costs)
    lines = ["constexpr char %s[%d] =" % (name, len(text) + 1)]
    for i in range(0, len(text), width):
        lines.append('    "%s"' % text[i:i + width])
    lines[-1] += ";"
    return "\n".join(lines)


def main():
    parts = [
        "// Code page detection models, written by make_detect_models.py from the",
        "// message catalogues of Debian packages. Do not edit: run the script.",
        "// Included by detect.cpp only.",
        "",
        'constexpr char COST_ALPHABET[] = "%s";' % COST_ALPHABET,
        "constexpr int COST_MAX = %d;" % COST_MAX,
        "constexpr int COST_SCALE_TENTHS = %d;" % round(COST_SCALE * 10),
        "constexpr int SYMBOLS = %d;" % SYMBOLS,
        "constexpr unsigned LEAD_FIRST = 0x%02X;" % LEAD_FIRST,
        "constexpr unsigned TRAIL_FIRST = 0x%02X;" % TRAIL_FIRST,
        "constexpr unsigned TRAIL_LAST = 0x%02X;" % TRAIL_LAST,
        "constexpr unsigned LEADS = %d;" % LEADS,
        "constexpr unsigned TRAILS = %d;" % TRAILS,
    ]
    for page in SINGLE_BYTE:
        parts += ["", "// Windows-%d: %s" % (page, ", ".join(LANGUAGES[page])),
                  literal("PAIRS_%d" % page, single_byte_model(page))]
    for page in DOUBLE_BYTE:
        parts += ["", "// Windows-%d: %s" % (page, ", ".join(LANGUAGES[page])),
                  literal("CHARS_%d" % page, double_byte_model(page))]
    with open(OUT, "w", newline="\n") as f:
        f.write("\n".join(parts) + "\n")


if __name__ == "__main__":
    main()
