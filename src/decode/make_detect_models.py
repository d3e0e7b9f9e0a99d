#!/usr/bin/env python3
"""Writes detect_models.inc beside this script: the models that detect.cpp
scores a card file's bytes with, one for each code page it converts.

The text is the running text and the messages that Debian 12 packages ship
in the languages each code page was made for; nothing here is typed text.
Running text (PROSE, from PROSE_PACKAGES): translated manual pages, the
installation guide, the Debian handbook and reference, the desktop's help,
the office suite's help, proverbs and quotations. Messages: the translated
catalogues (*.mo) of the installed packages of PACKAGES and of the office
suite's packages in PROSE_PACKAGES. One document in four and one catalogue
in four (chosen by the CRC-32 of its name, see held_out_document and
held_out) are kept out of the models, so bench/detect_accuracy.py can
measure them on text they never saw. A language's model is three parts
running text and one part messages when it has running text enough
(MIN_PROSE_HIGH letters beyond ASCII), else messages alone (Thai, Hebrew,
Belarusian, Slovak, Albanian, Icelandic, Lithuanian, Dutch); a tenth of it is the
same text in capitals, as index lines are often written. Each language is
weighted alike within its code page, so a language with many documents
does not crowd out its neighbours.

Single-byte pages: each byte of a text is a symbol: a byte 0x80 to 0xFF is
itself, an ASCII byte one of 28 classes (space or control, digit or
punctuation, and each letter, either case), and the text starts and ends
with a space. The model is the probability of each pair of neighbouring
symbols among the pairs with at least one byte 0x80 to 0xFF.

Double-byte pages: the probability of each character written with bytes 0x80
to 0xFF (a lead byte and its trail, or a single byte).

Every probability is stored as its cost, -log2(p) * COST_SCALE rounded, at
most COST_MAX (which also stands for a byte or pair the page leaves
unassigned), as one printable character each (see COST_ALPHABET), so the
tables are string literals.

To make the same tables: `apt-get install` the packages of PACKAGES, run
`make_detect_models.py --fetch` (downloads the packages of PROSE_PACKAGES,
at the versions named, into CORPUS_DIR, by default build-corpus/ at the top
of the tree, and unpacks them there without installing them), then
`make_detect_models.py`. The same packages give the same bytes on every
run. Another set of packages or versions gives slightly different tables;
the committed output is the one the accuracy figures were measured with,
so a build needs none of them.

Usage: make_detect_models.py [--fetch]
Environment: CORPUS_DIR (where the running text is unpacked).
"""

import collections
import functools
import glob
import gettext
import gzip
import html.parser
import math
import os
import re
import subprocess
import sys
import unicodedata
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "detect_models.inc")
TREE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

# Every package the models are made from, in one place.
#
# Packages whose message catalogues were read, installed (Debian 12,
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

# Packages of running text (manual pages, guides, help, proverbs and
# quotations), Debian 12, downloaded and unpacked by `make_detect_models.py
# --fetch` (not installed) under CORPUS_DIR.
PROSE_PACKAGES = {
    "debian-faq-ko": "11.1",
    "debian-handbook": "11.20220922",
    "debian-reference-es": "2.100",
    "debian-reference-it": "2.100",
    "debian-reference-pt": "2.100",
    "debian-reference-zh-tw": "2.100",
    "fortunes-bg": "1.4",
    "fortunes-br": "20220821",
    "fortunes-cs": "2.0.9-1.1",
    "fortunes-de": "0.35-1",
    "fortunes-es": "1.36",
    "fortunes-it": "1.99-4.1",
    "fortunes-pl": "0.0.20130525-3",
    "fortunes-ru": "1.52-3.1",
    "gnome-user-docs": "43.0-2",
    "installation-guide-amd64": "20230508+deb12u1",
    "libreoffice-help-et": "4:7.4.7-1+deb12u14",
    "libreoffice-help-sl": "4:7.4.7-1+deb12u14",
    "libreoffice-help-zh-tw": "4:7.4.7-1+deb12u14",
    # Messages of the office suite, for languages with no running text.
    "libreoffice-l10n-be": "4:7.4.7-1+deb12u14",
    "libreoffice-l10n-he": "4:7.4.7-1+deb12u14",
    "libreoffice-l10n-is": "4:7.4.7-1+deb12u14",
    "libreoffice-l10n-lt": "4:7.4.7-1+deb12u14",
    "libreoffice-l10n-sk": "4:7.4.7-1+deb12u14",
    "libreoffice-l10n-th": "4:7.4.7-1+deb12u14",
    "maint-guide-zh-tw": "1.2.53",
    "manpages-cs": "4.18.1-1",
    "manpages-da": "4.18.1-1",
    "manpages-de": "4.18.1-1",
    "manpages-el": "4.18.1-1",
    "manpages-es": "4.18.1-1",
    "manpages-fi": "4.18.1-1",
    "manpages-fr": "4.18.1-1",
    "manpages-hu": "1:4.18.1-1",
    "manpages-it": "4.18.1-1",
    "manpages-ja": "0.5.0.0.20221215+dfsg-1",
    "manpages-mk": "4.18.1-1",
    "manpages-nb": "4.18.1-1",
    "manpages-nl": "4.18.1-1",
    "manpages-pl": "1:4.18.1-1",
    "manpages-pt-br": "4.18.1-1",
    "manpages-ro": "4.18.1-1",
    "manpages-ru": "4.18.1-1",
    "manpages-sr": "4.18.1-1",
    "manpages-sv": "4.18.1-1",
    "manpages-tr": "2.0.6-2",
    "manpages-uk": "4.18.1-1",
    "manpages-vi": "4.18.1-1",
    "manpages-zh": "1.6.4.0-1",
}


def _sources(man=None, help=None, handbook=None, guide=None, fortunes=(), other=()):
    out = []
    if man:
        out.append(("man", "usr/share/man/%s/**/*.gz" % man))
    if help:
        out.append(("markup", "usr/share/help/%s/**/*.page" % help))
    if handbook:
        out.append(("markup", "usr/share/doc/debian-handbook/html/%s/*.html" % handbook))
    if guide:
        out.append(("markup", "usr/share/doc/installation-guide-amd64/%s/*.html" % guide))
    out += [("fortune", "usr/share/games/fortunes/%s" % f) for f in fortunes]
    return out + list(other)


# The documents of running text of each language, as (kind, glob below the
# corpus root). Thai, Belarusian, Albanian and Icelandic have none in
# Debian's packages, and the documents of Hebrew, Lithuanian, Slovak and
# Dutch hold too few letters beyond ASCII (the help of the first two is
# hardly translated): their models and measurement use messages alone.
PROSE = {
    "pl": _sources("pl", "pl", "pl-PL", None, ["pl/*"]),
    "cs": _sources("cs", "cs", "cs-CZ", "cs", ["cz/*"]),
    "sk": _sources(fortunes=["sk/*"]),
    "hu": _sources("hu", "hu"),
    "hr": _sources(None, "hr", "hr-HR"),
    "sl": _sources(None, "sl", other=[("markup", "usr/share/libreoffice/help/sl/text/**/*.html")]),
    "ro": _sources("ro", "ro", "ro-RO", "ro"),
    "ru": _sources("ru", "ru", "ru-RU", "ru", ["ru/*"]),
    "uk": _sources("uk", "uk"),
    "bg": _sources(fortunes=["bg/*"]),
    "sr": _sources("sr", "sr"),
    "mk": _sources("mk"),
    "de": _sources("de", "de", "de-DE", "de", ["de/*"]),
    "fr": _sources("fr", "fr", "fr-FR", "fr"),
    "es": _sources("es", "es", "es-ES", "es", ["es/*"],
                   [("markup", "usr/share/doc/debian-reference-es/docs/*.html")]),
    "it": _sources("it", "it", "it-IT", "it",
                   ["it/*", "italia", "leggi", "definizioni", "formiche", "luttazzi",
                    "paolotedeschi", "itatrek", "luke", "norm", "zuse", "adams", "computer"],
                   [("markup", "usr/share/doc/debian-reference-it/docs/*.html")]),
    "pt": _sources(None, "pt", None, "pt", [],
                   [("markup", "usr/share/doc/debian-reference-pt/docs/*.html")]),
    "pt_BR": _sources("pt_BR", "pt_BR", "pt-BR", None, ["brasil"]),
    "nl": _sources("nl", "nl", "nl-NL", "nl"),
    "da": _sources("da", "da", "da-DK", "da"),
    "sv": _sources("sv", "sv", "sv-SE", "sv"),
    "nb": _sources("nb", None, "nb-NO"),
    "fi": _sources("fi", "fi"),
    "ca": _sources(None, "ca", "ca-ES", "ca"),
    "el": _sources("el", "el", "el-GR", "el"),
    "tr": _sources("tr", "tr", "tr-TR"),
    "he": _sources(None, "he"),
    "ar": _sources(None, None, "ar-MA"),
    "fa": _sources(None, "fa", "fa-IR"),
    "lt": _sources(None, "lt"),
    "lv": _sources(None, "lv"),
    "et": [("markup", "usr/share/libreoffice/help/et/text/**/*.html")],
    "vi": _sources("vi", "vi", "vi-VN", "vi"),
    "ja": _sources("ja", "ja", "ja-JP", "ja"),
    "zh_CN": _sources("zh_CN", "zh_CN", "zh-CN", "zh_CN"),
    "ko": _sources(None, "ko", "ko-KR", "ko", [],
                   [("markup", "usr/share/doc/debian/FAQ/ko/*.html")]),
    "zh_TW": _sources("zh_TW", None, "zh-TW", None, [],
                      [("markup", "usr/share/libreoffice/help/zh-TW/text/**/*.html"),
                       ("markup", "usr/share/doc/debian-reference-zh-tw/docs/*.html"),
                       ("markup", "usr/share/doc/maint-guide-zh-tw/html/*.html")]),
}

# The languages of each code page, as catalogues name them.
LANGUAGES = {
    874: ["th"],
    1250: ["pl", "cs", "sk", "hu", "hr", "sl", "ro", "sq"],
    1251: ["ru", "uk", "bg", "sr", "be", "mk"],
    1252: ["de", "fr", "es", "it", "pt", "pt_BR", "nl", "da", "sv", "nb", "fi", "ca", "is"],
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
# classes of ASCII bytes: space or control, digit or punctuation, and each
# letter (either case) a symbol of its own.
SPACE, PUNCT, LETTER_A = 128, 129, 130
SYMBOLS = 156
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
    """(domain, path) of every catalogue of `lang`, in a fixed order: those
    installed, then those of the office suite among PROSE_PACKAGES."""
    paths = sorted(glob.glob("/usr/share/locale/%s/LC_MESSAGES/*.mo" % lang))
    out = [(os.path.basename(p)[:-3], p) for p in paths]
    office = os.path.join(corpus_root(), "root", "usr/lib/libreoffice/program/resource")
    paths = sorted(glob.glob(os.path.join(office, lang, "LC_MESSAGES", "*.mo")))
    return out + [("libreoffice-" + os.path.basename(p)[:-3], p) for p in paths]


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


# ---------------------------------------------------------------------------
# Running text: documents that Debian packages ship in each language.

def corpus_root():
    """Where the packages of PROSE_PACKAGES are unpacked (see fetch)."""
    return os.environ.get("CORPUS_DIR", os.path.join(TREE, "build-corpus"))


def fetch():
    """Downloads the packages of PROSE_PACKAGES (the versions named) with
    apt-get and unpacks them under corpus_root()/root, without installing
    them."""
    debs = os.path.join(corpus_root(), "debs")
    root = os.path.join(corpus_root(), "root")
    os.makedirs(debs, exist_ok=True)
    os.makedirs(root, exist_ok=True)
    wanted = ["%s=%s" % (name, version) for name, version in sorted(PROSE_PACKAGES.items())]
    subprocess.run(["apt-get", "download"] + wanted, cwd=debs, check=True)
    for deb in sorted(glob.glob(os.path.join(debs, "*.deb"))):
        subprocess.run(["dpkg-deb", "-x", deb, root], check=True)


def held_out_document(document):
    """True for the documents kept out of the models (one in four, by the
    CRC-32 of the document's name), for measuring them."""
    return zlib.crc32(document.encode()) % 4 == 0


# Typographic marks that a keyboard of the time did not type: written as
# their ASCII look-alikes, so the models learn the letters, not the
# typesetting of the documents.
TYPOGRAPHY = str.maketrans({
    "\u201e": '"', "\u201c": '"', "\u201d": '"', "\u00ab": '"', "\u00bb": '"',
    "\u2018": "'", "\u2019": "'", "\u201a": "'", "\u2039": "'", "\u203a": "'",
    "\u2013": "-", "\u2014": "-", "\u2026": "...", "\u00a0": " ", "\u2022": "*",
    "\u2192": "->", "\u00ad": "",
})


def clean(text):
    """`text` as one line: NFC, typography in ASCII, spaces collapsed."""
    text = unicodedata.normalize("NFC", text).translate(TYPOGRAPHY)
    return " ".join(text.split())


ROFF_ESCAPE = re.compile(
    r"\\(f(\[[^\]]*\]|\(..|.)|\((..)|\*(\[[^\]]*\]|\(..|.)|s[-+]?\d+|[&c/,:%]|-|e|\s|"
    r"\[[^\]]*\]|.)")
ROFF_CHARACTERS = {"aq": "'", "dq": '"', "em": "-", "en": "-", "co": "(c)", "lq": '"',
                   "rq": '"', "oq": "'", "cq": "'", "bu": "*", "hy": "-", "ti": "~"}
ROFF_TEXT_MACROS = {"SH", "SS", "B", "I", "BR", "IR", "RB", "RI", "BI", "IB", "SM", "SB"}
ROFF_BREAKS = {"PP", "P", "LP", "SH", "SS", "TP", "IP", "HP", "TQ", "sp", "br", "RS", "RE"}


def roff_unescape(match):
    whole = match.group(0)
    if match.group(3):
        return ROFF_CHARACTERS.get(match.group(3), "")
    if whole == "\\-":
        return "-"
    if whole == "\\e":
        return "\\"
    if whole[1:2].isspace():
        return " "
    return ""


def roff_paragraphs(source):
    """The paragraphs of running text of a manual page: text lines and the
    arguments of font and heading macros, without examples (.nf, .EX)."""
    out, paragraph, literal = [], [], False
    for line in source.splitlines():
        if line.startswith((".\\\"", "'\\\"", '.\\"')):
            continue
        if line.startswith((".", "'")):
            words = line[1:].split(None, 1)
            name = words[0] if words else ""
            if name in ("nf", "EX"):
                literal = True
            elif name in ("fi", "EE"):
                literal = False
            if name in ROFF_BREAKS and paragraph:
                out.append(" ".join(paragraph))
                paragraph = []
            if name in ROFF_TEXT_MACROS and len(words) == 2 and not literal:
                paragraph.append(words[1].replace('"', ""))
            continue
        if literal:
            continue
        if not line.strip():
            if paragraph:
                out.append(" ".join(paragraph))
                paragraph = []
            continue
        paragraph.append(line)
    if paragraph:
        out.append(" ".join(paragraph))
    return [ROFF_ESCAPE.sub(roff_unescape, p) for p in out]


class _Markup(html.parser.HTMLParser):
    """Paragraphs of an HTML page or a Mallard help page: the text of block
    elements, without code, commands, program listings or scripts."""

    SKIP = {"script", "style", "pre", "code", "cmd", "screen", "output", "sys",
            "var", "tt", "kbd", "samp", "key", "keyseq", "gui", "guiseq", "file", "app",
            "info", "credit", "license", "head"}
    BLOCKS = {"p", "li", "dd", "dt", "td", "th", "h1", "h2", "h3", "h4", "h5", "h6",
              "title", "div", "item", "br", "tr", "blockquote", "note", "desc"}

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.paragraphs, self.current, self.skipping = [], [], 0

    def _break(self):
        if self.current:
            self.paragraphs.append("".join(self.current))
            self.current = []

    def handle_starttag(self, tag, attrs):
        if tag in self.SKIP:
            self.skipping += 1
        elif tag in self.BLOCKS:
            self._break()

    def handle_startendtag(self, tag, attrs):
        if tag in self.BLOCKS:
            self._break()

    def handle_endtag(self, tag):
        if tag in self.SKIP:
            self.skipping = max(0, self.skipping - 1)
            if tag not in ("pre", "screen", "script", "style", "head"):
                self.current.append(" ")
        elif tag in self.BLOCKS:
            self._break()

    def handle_data(self, data):
        if not self.skipping:
            self.current.append(data)


def markup_paragraphs(source):
    parser = _Markup()
    try:
        parser.feed(source)
        parser.close()
    except Exception:
        return []
    parser._break()
    return parser.paragraphs


def fortune_documents(path, name):
    """A fortune file as documents of 20 cookies each."""
    cookies = [c for c in re.split(r"\n%\n", read_text(path)) if c.strip()]
    for i in range(0, len(cookies), 20):
        yield "%s#%d" % (name, i // 20), [
            " ".join(line for line in cookie.splitlines() if not line.strip().startswith("--"))
            for cookie in cookies[i:i + 20]]


def read_text(path):
    """A file's text, gunzipped; UTF-8 (bytes that are not become U+FFFD,
    and their paragraphs are left out)."""
    with open(path, "rb") as f:
        data = f.read()
    if path.endswith(".gz"):
        data = gzip.decompress(data)
    return data.decode("utf-8", errors="replace")


def prose_documents(lang):
    """(name, paragraphs) of every document of running text in `lang`, in a
    fixed order; the names are paths below the corpus root."""
    root = os.path.join(corpus_root(), "root")
    for kind, pattern in PROSE.get(lang, []):
        for path in sorted(glob.glob(os.path.join(root, pattern), recursive=True)):
            name = os.path.relpath(path, root)
            if os.path.isdir(path):
                continue
            if kind == "fortune":
                if path.endswith((".dat", ".u8")):
                    continue
                if os.path.exists(path + ".u8"):
                    path += ".u8"
                yield from fortune_documents(path, name)
                continue
            text = read_text(path)
            if kind == "man":
                paragraphs = roff_paragraphs(text)
            elif kind == "markup":
                paragraphs = markup_paragraphs(text)
            else:
                paragraphs = re.split(r"\n\s*\n", text)
            yield name, paragraphs


@functools.lru_cache(maxsize=None)
def prose(lang, held):
    """The paragraphs of running text of `lang` from the documents held out
    (held true) or not, as (document, [paragraph, ...]) in a fixed order;
    each paragraph once, and only those with a letter beyond ASCII or of
    at least 40 characters."""
    seen, out = set(), []
    for name, paragraphs in prose_documents(lang):
        if held_out_document(name) != held:
            continue
        kept = []
        for paragraph in paragraphs:
            if "\ufffd" in paragraph:
                continue
            paragraph = clean(paragraph)
            if len(paragraph) < 2 or paragraph in seen:
                continue
            if len(paragraph) < 40 and paragraph.isascii():
                continue
            seen.add(paragraph)
            kept.append(paragraph)
        if kept:
            out.append((name, kept))
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
        return LETTER_A + byte - 0x61
    if 0x41 <= byte <= 0x5A:
        return LETTER_A + byte - 0x41
    if byte <= 0x20 or byte == 0x7F:
        return SPACE
    return PUNCT


SYMBOL_OF = [symbol(byte) for byte in range(256)]
HIGH_RUN = re.compile(rb"[\x80-\xff]+")

# How much of a language's model its running text makes, when it has enough
# of it (MIN_PROSE_HIGH letters beyond ASCII); the rest is its messages.
PROSE_SHARE = 0.75
MIN_PROSE_HIGH = 3000
# How much of a language's model the same text in capitals makes.
CAPITALS_SHARE = 0.1


def upper(text, lang):
    """`text` in capitals, as an index line or a heading may be written."""
    if lang in ("tr", "az"):
        text = text.replace("i", "\u0130")
    return text.upper()


def training_sources(lang):
    """[(weight, lines)] that the model of `lang` learns from: running text
    of the documents not held out and messages of the catalogues not held
    out, and a little of both in capitals (CAPITALS_SHARE)."""
    lines = [p for _, paragraphs in prose(lang, held=False) for p in paragraphs]
    high = sum(1 for line in lines for c in line if ord(c) >= 0x80)
    msgs = messages(lang, held=False)
    if high >= MIN_PROSE_HIGH:
        sources = [(PROSE_SHARE, lines), (1 - PROSE_SHARE, msgs)]
    else:
        sources = [(1.0, msgs)]
    out = [((1 - CAPITALS_SHARE) * weight, text) for weight, text in sources]
    out += [(CAPITALS_SHARE * weight, [upper(line, lang) for line in text])
            for weight, text in sources]
    return out


def count_single_byte_pairs(lines, page):
    """How often each pair of symbols with a byte 0x80 to 0xFF occurs in
    `lines` written in `page` (each line starting and ending with a space)."""
    counts = collections.Counter()
    for line in lines:
        data = encode(line, page)
        if data is None:
            continue
        data = b" " + data + b" "
        for run in HIGH_RUN.finditer(data):
            start, end = run.span()
            previous = SYMBOL_OF[data[start - 1]]
            for byte in data[start:end]:
                counts[previous * SYMBOLS + byte - 0x80] += 1
                previous = byte - 0x80
            counts[previous * SYMBOLS + SYMBOL_OF[data[end]]] += 1
    return counts


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
    assigned = assigned_single(page) + [True] * (SYMBOLS - 128)
    pairs = collections.Counter()
    for lang in LANGUAGES[page]:
        for weight, lines in training_sources(lang):
            counts = count_single_byte_pairs(lines, page)
            total = sum(counts.values())
            for key, count in counts.items():
                pairs[key] += weight * count / total
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


def count_double_byte(lines, page):
    """How often each character written with bytes 0x80 to 0xFF (a lead
    byte and its trail, or a single byte) occurs in `lines` in `page`."""
    codec = "cp%d" % page
    counts = collections.Counter()
    for line in lines:
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
    return counts


def double_byte_model(page):
    """The character costs of `page`: LEADS * TRAILS pairs, then the 128
    single bytes 0x80..0xFF."""
    codec = "cp%d" % page
    counts, raw = collections.Counter(), 0
    for lang in LANGUAGES[page]:
        for weight, lines in training_sources(lang):
            source = count_double_byte(lines, page)
            total = sum(source.values())
            raw += total
            for key, count in source.items():
                counts[key] += weight * count / total
    # Back to the scale of the counts, which the smoothing is measured in.
    counts = collections.Counter({key: value * raw for key, value in counts.items()})
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
        "// running text and message catalogues of Debian 12 packages (named with",
        "// their versions in the script). Do not edit: run the script.",
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
    if sys.argv[1:] == ["--fetch"]:
        fetch()
    elif sys.argv[1:]:
        sys.exit(__doc__)
    else:
        main()
