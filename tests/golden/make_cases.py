#!/usr/bin/env python3
"""Writes the golden cases of crdview into cases/ beside this script.

Regenerate every case (fixture, arguments, expected output, standard error,
exit status), together with the samples and the fuzz seeds, with:

    python3 tests/regenerate.py

Each case states in bytes the card file it feeds to crdview (the bytes of
the format come from tests/cardfile_builder.py), and composes what crdview
must print from the cards it placed: the listing (banner, header line,
heading, rule, index line, text, closing message), the JSON document and
the CSV table, and on standard error the damage report, one line for each
problem of the file. Cases whose output does not follow from a well-formed
file (cut or corrupted files) state what crdview shows of each card. Nothing
here runs crdview.

NAME.crd     the card file (when the case has one)
NAME.args    crdview's arguments, one a line (run with cases/ as working dir)
NAME.out     the exact standard output
NAME.status  the exit status, when it is not 0
NAME.err     the exact standard error, when it is not empty
"""

import json
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
CASES = os.path.join(HERE, "cases")
sys.path.insert(0, os.path.dirname(HERE))
import cardfile_builder as crd  # noqa: E402

# ---------------------------------------------------------------------------
# What crdview prints.

HELP = (b"\nUsage:\n\n%s [OPTION] file.\n\nOpens the Windows CRD (contact card) file\n\n"
        b"  OPTION:\n  -e <encoding> decode from this encoding to UTF-8.\n"
        b"                supports Windows-874, Windows-1250 to Windows-1258\n"
        b"                and Windows-932, 936, 949 and 950.\n"
        b"  --encoding=<encoding> the same as -e <encoding>.\n"
        b"  --format=<format> listing (the default), json or csv.\n"
        b"  --extract=<dir> also write each card's picture or object into dir.\n"
        b"  --strict      fail (exit status 1) when a file listed has problems.\n"
        b"  --help, -h    show this text.\n"
        b"  --version     show the version of crdview.\n\n"
        b"  EXAMPLE:\n  %s -e Windows-1251 file.CDR\n\n"
        b"  NOTE:\n  In the Windows terminal use chcp command to set the code page.\n"
        b"  For example: \"chcp 1251\" to set the Windwso-1251 code page.\n\n")

CLOSE_LISTED = b"\n" + b"\n"
CLOSE_ERROR = b"\nError reading file.\n" + b"\n"
CLOSE_NOT_CARD_FILE = b"\nNot the Windows Card file.\n" + b"\n"

EXIT_LISTED, EXIT_NOT_LISTED, EXIT_USAGE = 0, 1, 2


def banner(path):
    return b"\nWindows Card File " + path.encode()


def header_line(signature, count):
    return b"\n\n" + signature + b" card file, total cards: %d\n" % count


def bad_signature(supplied):
    return b"\n\nThe signature is not supported: " + supplied


def heading(number):
    """Right-aligned to the eight-hyphen rule up to card 999."""
    indent = 2 if number <= 9 else 1 if number <= 99 else 0
    return b"\n" + b" " * indent + b"Card %d" % number + b"\n--------"


def shown(text):
    return b"\n" + text + b"\n"


def ole_notice(uid, format_id, class_name_length):
    return (b"\n*** OLE object, not supported,\n    UID: %d, format ID: %d, class name len: %d.\n"
            % (uid, format_id, class_name_length))


def up_to_nul(data):
    return data.split(b"\0", 1)[0]


def from_code_page(codec):
    """Python's own codec is the reference; a byte or pair the code page
    leaves unassigned (0x98 of cp1251, a stray lead byte) becomes '*'."""
    return lambda data: data.decode(codec, errors="replace").replace("\ufffd", "*").encode()


cp1251_to_utf8 = from_code_page("cp1251")

KNOWN = b"Windows-874, Windows-1250 to Windows-1258, Windows-932, 936, 949, 950"


def unknown_encoding(name):
    return (b'crdview: unknown encoding "%s"; the texts are shown as stored (known: %s)\n'
            % (name, KNOWN))


def not_an_option(word):
    return b'crdview: "%s" is not an option; the texts are shown as stored\n' % word


def as_stored(data):
    return data


cp1252_to_utf8 = from_code_page("cp1252")  # JSON and CSV without -e


# ---------------------------------------------------------------------------
# The damage report: one line on standard error for each problem found, at
# most 20 a file, then how many more there are.

HEADER_CUT = "the header is cut short by the end of the file"
BODY_CUT = "the body is cut short by the end of the file"
TEXT_LENGTH_CUT = "the text length is cut short by the end of the file"
REPORTED_PROBLEMS = 20


def index_short(missing, count):
    return "the index ends before the stated count of entries (%d of %d missing)" % (missing,
                                                                                      count)


def negative_count(count):
    return "the card count is negative (%d) but index entries follow the header" % count


def top_bit(offset):
    return "the body offset has its top bit set (0x%08X); the body is not read" % offset


def beyond_end(offset, size):
    return "the body offset (%d) is at or beyond the end of the file (%d bytes)" % (offset, size)


def picture_cut(held, length):
    """`length`: the picture's fields and bits, 8 + G bytes."""
    return "the picture is cut short by the end of the file (%d of %d bytes)" % (held, length)


def text_cut(held, length):
    return "the text is cut short by the end of the file (%d of %d bytes)" % (held, length)


def object_fails(reason):
    return "the object does not parse: " + reason


PAST_END = "it runs past the end of the file"
NO_NUL = "a counted string without its NUL"
TYPE_MISMATCH = "the object type does not match the format"


# ---------------------------------------------------------------------------
# What crdview shows of a card file, and the three ways it writes it.

class Shown:
    """One listed card as crdview shows it: its number, index line and text
    (stored bytes, shown up to the first NUL; None: no text read), the
    object notice (uid, format ID, class name length), the picture of an
    "MGC" card (a crd.Picture, or the tuple (G, width, height, x, y)), what
    a walk over an object that parses found (`details`, in JSON order) and
    the card's problem."""

    def __init__(self, number, title, text=b"", notice=None, graphic=None, details=None,
                 problem=None):
        self.number, self.title, self.text, self.notice = number, title, text, notice
        self.graphic, self.details, self.problem = graphic, details, problem


class FileView:
    """A card file as crdview shows it: variant, stored count, the listed
    cards, and the problems of the file as a whole: `early` found with the
    header, `late` once the index has been walked."""

    def __init__(self, signature, count, cards, early=(), late=()):
        self.signature, self.count, self.cards = signature, count, list(cards)
        self.early, self.late = list(early), list(late)
        self.offsets = []  # each entry's body offset, when card_file laid the file out

    def problem_lines(self):
        lines = list(self.early)
        lines += ["card %d: %s" % (card.number, card.problem) for card in self.cards
                  if card.problem]
        return lines + list(self.late)


def listing_of(view, convert):
    out = header_line(view.signature, view.count)
    for card in view.cards:
        out += heading(card.number) + shown(convert(up_to_nul(card.title)))
        if card.notice:
            out += ole_notice(*card.notice)
        if card.text is not None:
            out += shown(convert(up_to_nul(card.text)))
    return out


def damage_report(path, view):
    lines = view.problem_lines()
    err = b"".join(b"crdview: %s: %s\n" % (path.encode(), line.encode())
                   for line in lines[:REPORTED_PROBLEMS])
    more = len(lines) - REPORTED_PROBLEMS
    if more > 0:
        err += b"crdview: %s: %d more problem%s\n" % (path.encode(), more,
                                                        b"" if more == 1 else b"s")
    return err


def json_value(value, convert):
    """A value as the JSON writer writes it: bytes from the card file
    converted (up to the first NUL), str as it is, dict keys in order."""
    if value is None:
        return "null"
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, int):
        return "%d" % value
    if isinstance(value, bytes):
        value = convert(up_to_nul(value)).decode("utf-8")
    if isinstance(value, str):
        # The writer escapes \b and \f as \u0008 and \u000c; fixtures hold neither.
        assert "\b" not in value and "\f" not in value
        return json.dumps(value, ensure_ascii=False)
    if isinstance(value, dict):
        return "{" + ", ".join('"%s": %s' % (key, json_value(item, convert))
                               for key, item in value.items()) + "}"
    return "[" + ", ".join(json_value(item, convert) for item in value) + "]"


def graphic_fields(graphic):
    if isinstance(graphic, crd.Picture):
        graphic = (graphic.length, graphic.width, graphic.height, graphic.x, graphic.y)
    return dict(zip(("length", "width", "height", "x", "y"), graphic))


def json_card(card):
    fields = {"number": card.number, "title": card.title, "text": card.text}
    if card.graphic:
        fields["graphic"] = graphic_fields(card.graphic)
    if card.notice:
        uid, format_id, class_name_length = card.notice
        fields["object"] = dict(uid=uid, format_id=format_id,
                                class_name_length=class_name_length, **(card.details or {}))
    if card.problem:
        fields["problems"] = [card.problem]
    return fields


def json_of(path, view, encoding, convert, detected=False):
    top = json_value({"file": path, "variant": view.signature.decode(), "encoding": encoding,
                      "encoding_detected": detected, "count": view.count}, convert)
    cards = "".join("\n  " + json_value(json_card(card), convert) + ","
                    for card in view.cards).rstrip(",")
    problems = json_value(view.early + view.late, convert)
    return (top[:-1] + ',\n "cards": [' + cards + '\n ],\n "problems": ' + problems +
            "}\n").encode()


def csv_field(data, convert):
    text = convert(up_to_nul(data))
    if any(c in text for c in b',"\r\n'):
        return b'"' + text.replace(b'"', b'""') + b'"'
    return text


def csv_of(view, convert):
    return b"number,title,text\r\n" + b"".join(
        b"%d,%s,%s\r\n" % (card.number, csv_field(card.title, convert),
                            csv_field(card.text or b"", convert)) for card in view.cards)


# ---------------------------------------------------------------------------
# Cards placed with the builder, and what crdview shows of them.

class Body:
    """A card body: its bytes in the file, and what crdview shows of it when
    the file holds it whole: the stored text (None: none is read), the
    notice, the picture, the object's details, the body's problem."""

    def __init__(self, data, text=None, notice=None, graphic=None, details=None, problem=None):
        self.data, self.text, self.notice, self.graphic = data, text, notice, graphic
        self.details, self.problem = details, problem


def pattern_picture(graphic):
    """A picture of G bytes of bits whose fields (width, height, x, y) and
    bits are a fixed byte pattern."""
    pattern = bytes((i * 37 + 11) & 0xFF for i in range(graphic + crd.PICTURE_FIELDS_SIZE))
    width, height, x, y = struct.unpack_from("<4H", pattern)
    return crd.Picture(width, height, x, y, pattern[crd.PICTURE_FIELDS_SIZE:])


def mgc_text(text, graphic=0, picture=None):
    """G = 0 and the text, or a picture (of G pattern bytes), then the text."""
    if graphic:
        picture = pattern_picture(graphic)
    return Body(crd.mgc_body(text, picture), text=text, graphic=picture)


def rrg_text(text, trailing=b""):
    """Object flag 0, L, the text; `trailing` bytes follow in the file but are
    not part of the text."""
    return Body(crd.rrg_text_body(text) + trailing, text=text)


def rrg_object(uid, format_id, class_name_length, flag=1, ignored=0x11223344, rest=b"",
               problem=None):
    """The flag and the four fields of the notice, then `rest`: an object
    that does not parse (`problem` says why, in the file it lies in)."""
    data = crd.object_fields(uid, ignored, format_id, class_name_length, flag) + rest
    return Body(data, notice=(uid, format_id, class_name_length), problem=problem)


KIND_NAMES = {crd.EMBEDDED: "embedded", crd.LINKED: "linked", crd.STATIC: "static"}


def ole_card(uid, kind, class_name, rest, text, object_type=None, problem=None, link=None,
             native_size=None, picture=None):
    """An "RRG" object body: flag 1, UID, the OLE object (version, `kind`,
    the class name, `rest`), the card's fields, the object type and the
    text. An object that parses shows its text and what the walk found: the
    class name, the kind, `link`, `native_size`, `picture` ((format, width,
    height), or (format,) for a clipboard format); one that does not shows
    the notice alone and has `problem`."""
    if object_type is None:
        object_type = crd.OBJECT_TYPE.get(kind, 0)
    data = crd.object_body(uid, crd.ole_object(kind, class_name, rest), text, object_type)
    class_name_length = len(class_name) + 1 if class_name else 0
    details = None
    if problem is None:
        details = {"class_name": class_name, "kind": KIND_NAMES[kind]}
        if kind == crd.LINKED:
            details["link"] = link
        if kind == crd.EMBEDDED:
            details["native_size"] = native_size
        if picture:
            details["picture"] = dict(zip(("format", "width", "height"), picture))
    return Body(data, text=None if problem else text, notice=(uid, kind, class_name_length),
                details=details, problem=problem)


class Card:
    """One index entry. `offset` overrides the body's place (0: no body; a
    value with the top bit set: a negative offset); `pad` fills the six bytes
    the viewer does not interpret; `before` is a block no entry points at,
    placed right before the body."""

    def __init__(self, title, body=None, flag=0, offset=None, pad=bytes(6), before=b""):
        self.title, self.body, self.flag, self.offset = title, body, flag, offset
        self.pad, self.before = pad, before


def card_file(signature, cards, count=None, rrg_field=0, tail=b""):
    """Lays out a card file (header, index, then the bodies in card order,
    then `tail`) and states what crdview shows of it: (file bytes, FileView).
    Every index entry is whole; a body given with an explicit offset is the
    caller's to place (in `tail`)."""
    count = len(cards) if count is None else count
    assert count <= len(cards)
    head = crd.header(signature, count, rrg_field)
    entries = [crd.Entry(card.title, card.body.data if card.body and card.offset is None else None,
                         card.flag, card.offset, card.pad, card.before) for card in cards]
    data, offsets = crd.lay_out(head, entries, tail)
    view = FileView(signature, count, [])
    view.offsets = offsets
    if count < 0 and len(data) - len(head) >= crd.INDEX_ENTRY_SIZE:
        view.early.append(negative_count(count))
    for number, (card, offset) in enumerate(zip(cards, offsets), start=1):
        if number > count or offset == 0 or card.flag != 0:
            continue  # skipped: nothing at all is shown
        if offset >= 0x80000000:
            # Negative as a signed 32-bit offset: the body is not read.
            view.cards.append(Shown(number, card.title, None, problem=top_bit(offset)))
        elif offset >= len(data):
            # A body the file does not hold reads as zeros: an empty text.
            view.cards.append(Shown(number, card.title, problem=beyond_end(offset, len(data))))
        else:
            body = card.body
            view.cards.append(Shown(number, card.title, body.text, body.notice, body.graphic,
                                    body.details, body.problem))
    return data, view


# ---------------------------------------------------------------------------
# Writing the cases.

written = []


def case(name, args, out, status=EXIT_LISTED, card_data=None, err=b""):
    if card_data is not None:
        with open(os.path.join(CASES, name + ".crd"), "wb") as f:
            f.write(card_data)
    with open(os.path.join(CASES, name + ".args"), "w", newline="\n") as f:
        f.write("".join(arg + "\n" for arg in args))
    with open(os.path.join(CASES, name + ".out"), "wb") as f:
        f.write(out)
    status_path = os.path.join(CASES, name + ".status")
    if status != EXIT_LISTED:
        with open(status_path, "w", newline="\n") as f:
            f.write("%d\n" % status)
    elif os.path.exists(status_path):
        os.remove(status_path)
    err_path = os.path.join(CASES, name + ".err")
    if err:
        with open(err_path, "wb") as f:
            f.write(err)
    elif os.path.exists(err_path):
        os.remove(err_path)
    assert name not in written, name
    written.append(name)


def listing_case(name, data, view, args_before=(), err=b"", convert=as_stored):
    """A card file listed: banner, what it shows, the empty closing line; its
    damage report on standard error, after any line about the options."""
    path = name + ".crd"
    case(name, list(args_before) + [path], banner(path) + listing_of(view, convert) +
         CLOSE_LISTED, card_data=data, err=err + damage_report(path, view))


def all_ascii(view):
    """Whether every title and text crdview reads of `view` is ASCII."""
    return all(byte < 0x80 for card in view.cards
               for text in (card.title, card.text or b"") for byte in up_to_nul(text))


def ascii_note(path):
    """What the formats say of a file whose code page they chose and whose texts are ASCII."""
    return b"crdview: %s: the texts are ASCII; any code page shows them alike\n" % path.encode()


def format_cases(name, view, encoding="Windows-1252"):
    """NAME_json and NAME_csv: the card file of case NAME as JSON and CSV,
    converted from `encoding`. Windows-1252 is what the formats choose for
    ASCII texts themselves (then no -e is given); any other page is named."""
    path = name + ".crd"
    convert = from_code_page("cp" + encoding.split("-")[1])
    detected = encoding == "Windows-1252" and all_ascii(view)
    choice = [] if detected else ["-e", encoding]
    problems = (ascii_note(path) if detected else b"") + damage_report(path, view)
    case(name + "_json", ["--format=json"] + choice + [path],
         json_of(path, view, encoding, convert, detected), err=problems)
    case(name + "_csv", ["--format=csv"] + choice + [path], csv_of(view, convert), err=problems)


def listed(name, signature, cards, args_before=(), err=b"", convert=as_stored, formats=False,
           **layout):
    """A card file laid out by card_file and listed in full; with `formats`
    also as JSON and CSV."""
    data, view = card_file(signature, cards, **layout)
    listing_case(name, data, view, args_before, err, convert)
    if formats:
        format_cases(name, view)
    return data, view


def raw_case(name, data, middle, close=CLOSE_LISTED, status=EXIT_LISTED):
    """A file whose listing is stated piece by piece (not a card file)."""
    path = name + ".crd"
    case(name, [path], banner(path) + middle + close, status=status, card_data=data)


def cp(text):
    return text.encode("cp1251")


# Russian texts as stored in Windows-1251, and the same cards for the options.
RUSSIAN = [
    Card(cp("Иванов Иван Петрович"), mgc_text(cp("ул. Ленина, д. 5, кв. 12\r\nТел. 123-45-67"))),
    Card(cp("Щукина Эльвира Юрьевна"), mgc_text(cp("Звонить после 18:00"))),
]


def command_line_cases():
    # One argument: the texts exactly as stored.
    _, view = listed("as_stored", b"MGC", RUSSIAN)
    format_cases("as_stored", view, encoding="Windows-1251")
    # -e Windows-1251: index lines and texts converted to UTF-8.
    listed("convert", b"MGC", RUSSIAN, args_before=("-e", "Windows-1251"), convert=cp1251_to_utf8)
    # Any other pair before the file lists it without conversion, and says so
    # on standard error.
    listed("option_upper_e", b"MGC", RUSSIAN, args_before=("-E", "Windows-1251"),
           err=not_an_option(b"-E"))
    listed("encoding_lower_case", b"MGC", RUSSIAN, args_before=("-e", "windows-1251"),
           err=unknown_encoding(b"windows-1251"))
    listed("encoding_koi8r", b"MGC", RUSSIAN, args_before=("-e", "KOI8-R"),
           err=unknown_encoding(b"KOI8-R"))
    # Two or four arguments: the help text only, with the program's base name.
    help_out = HELP % (b"crdview", b"crdview")
    case("two_args", ["-e", "as_stored.crd"], help_out, status=EXIT_USAGE)
    case("four_args", ["-e", "Windows-1251", "as_stored.crd", "as_stored.crd"], help_out,
         status=EXIT_USAGE)


def option_cases():
    """The long options, taken out wherever they stand, and their failures."""
    help_out = HELP % (b"crdview", b"crdview")
    case("help_long", ["as_stored.crd", "--help"], help_out)
    case("help_short", ["-h"], help_out)
    case("version", ["--version"], b"crdview 1.1.0\n")
    # What follows "--" is taken as it stands: here a file named "-h".
    case("options_end", ["--", "-h"], banner("-h") + CLOSE_ERROR, status=EXIT_NOT_LISTED)
    data, view = card_file(b"MGC", RUSSIAN)
    case("encoding_option", ["encoding_option.crd", "--format", "listing",
                             "--encoding=Windows-1251"],
         banner("encoding_option.crd") + listing_of(view, cp1251_to_utf8) + CLOSE_LISTED,
         card_data=data)
    usage = [
        ("format_unknown", ["--format=xml", "as_stored.crd"],
         b'crdview: unknown format "xml" (accepted: listing, json, csv)\n'),
        ("format_without_value", ["as_stored.crd", "--format"],
         b"crdview: --format needs a value\n"),
        ("json_unknown_encoding", ["--format=json", "-e", "KOI8-R", "as_stored.crd"],
         b'crdview: unknown encoding "KOI8-R" (known: %s)\n' % KNOWN),
        ("csv_not_an_option", ["--format=csv", "-x", "y", "as_stored.crd"],
         b'crdview: "-x" is not an option\n'),
        ("encoding_twice", ["--encoding=Windows-1251", "-e", "Windows-1252", "as_stored.crd"],
         b'crdview: --encoding and "-e Windows-1252" both name an encoding\n'),
    ]
    for name, args, err in usage:
        case(name, args, b"", status=EXIT_USAGE, err=err)
    # JSON and CSV say nothing on standard output about a file they cannot use.
    case("json_missing_file", ["--format=json", "none.crd"], b"", status=EXIT_NOT_LISTED,
         err=b"crdview: none.crd: No such file or directory\n")
    case("csv_not_a_card_file", ["--format=csv", "signature_lower_rrg.crd"], b"",
         status=EXIT_NOT_LISTED, err=b"crdview: signature_lower_rrg.crd: not a card file\n")


def closing_cases():
    case("missing_file", ["none.crd"], banner("none.crd") + CLOSE_ERROR, status=EXIT_NOT_LISTED)
    # A path that opens but cannot be read as a file.
    case("directory", ["."], banner(".") + CLOSE_ERROR, status=EXIT_NOT_LISTED)
    raw_case("signature_lower_rrg", b"rrg" + bytes(60), bad_signature(b"rrg"),
             CLOSE_NOT_CARD_FILE, EXIT_NOT_LISTED)
    raw_case("signature_mgc_mixed_case", b"MGc\x01\x00" + bytes(52), bad_signature(b"MGc"),
             CLOSE_NOT_CARD_FILE, EXIT_NOT_LISTED)
    # A file shorter than a signature shows only the bytes it holds.
    raw_case("empty_file", b"", bad_signature(b""), CLOSE_NOT_CARD_FILE, EXIT_NOT_LISTED)
    raw_case("one_byte_file", b"M", bad_signature(b"M"), CLOSE_NOT_CARD_FILE, EXIT_NOT_LISTED)
    raw_case("two_byte_file", b"MG", bad_signature(b"MG"), CLOSE_NOT_CARD_FILE, EXIT_NOT_LISTED)
    raw_case("three_byte_other", b"CRD", bad_signature(b"CRD"), CLOSE_NOT_CARD_FILE,
             EXIT_NOT_LISTED)


def index_cases():
    # The worked example: Alpha with its text Hello, Beta without a body.
    listed("mgc_two_cards", b"MGC", [Card(b"Alpha", mgc_text(b"Hello")), Card(b"Beta")])
    listed("rrg_text_cards", b"RRG", [
        Card(b"Acme Plumbing", rrg_text(b"Call (555) 010-4477\r\nAsk for Dave")),
        Card(b"Dentist", rrg_text(b"Dr. Park, Tuesday 9:30")),
    ], rrg_field=0x7FFF0102)  # the four bytes before the count are not interpreted
    listed("count_zero", b"MGC", [], count=0)
    # A negative count lists no card, and is reported when index entries follow.
    listed("count_minus_one", b"MGC", [Card(b"Never read", mgc_text(b"x"))], count=-1)
    listed("rrg_count_minus_one", b"RRG", [Card(b"Never read", rrg_text(b"x"))], count=-1)
    # The cards' numbers keep their places in the index, gaps and all.
    _, view = listed("skipped_entries", b"MGC", [
        Card(b"First", mgc_text(b"one")),
        Card(b"No body", offset=0),
        Card(b"Flagged", mgc_text(b"hidden"), flag=1),
        Card(b"Flag 0x80", mgc_text(b"hidden too"), flag=0x80),
        Card(b"Fifth", mgc_text(b"five")),
    ])
    format_cases("skipped_entries", view)
    _, view = listed("negative_offsets", b"MGC", [
        Card(b"Top bit set", offset=0x80000000),
        Card(b"Minus one", offset=0xFFFFFFFF),
        Card(b"Readable", mgc_text(b"still here")),
        Card(b"Top bit and a plausible offset", offset=0x8000006D),
    ])
    format_cases("negative_offsets", view)
    listed("rrg_negative_offset", b"RRG", [
        Card(b"Object elsewhere", offset=0xFFFFFFFE),
        Card(b"Text", rrg_text(b"fine")),
    ])
    # Headings of cards 9, 10, 99, 100 and 1000 (nine characters wide).
    shown_cards = {1, 9, 10, 99, 100, 999, 1000}
    listed("heading_widths", b"MGC", [
        Card(b"Card number %d" % n, mgc_text(b"text %d" % n)) if n in shown_cards else Card(b"")
        for n in range(1, 1001)
    ])
    # The index line field: 40 characters and the NUL; 41 with no NUL ends at the field's end.
    forty = b"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd"
    forty_one = forty + b"e"
    assert len(forty) == 40 and len(forty_one) == 41
    listed("index_line_40", b"MGC", [Card(forty, mgc_text(b"body"))])
    listed("index_line_41_no_nul", b"RRG", [Card(forty_one, rrg_text(b"body")),
                                            Card(b"Next", rrg_text(b"next body"))])
    listed("index_line_nul_inside", b"MGC", [Card(b"Shown\0hidden", mgc_text(b"body"))])
    # Bodies may lie anywhere and in any order; two entries may share one.
    shared = mgc_text(b"Shared text")
    first, second = mgc_text(b"Stored second"), mgc_text(b"Stored first")
    head = crd.MGC_HEADER_SIZE + 4 * crd.INDEX_ENTRY_SIZE
    at_shared, at_second = head, head + len(shared.data)
    at_first = at_second + len(second.data)
    cards = [Card(b"A", shared, offset=at_shared), Card(b"B", first, offset=at_first),
             Card(b"C", second, offset=at_second), Card(b"D", shared, offset=at_shared)]
    data, view = card_file(b"MGC", cards, tail=shared.data + second.data + first.data)
    listing_case("bodies_out_of_order", data, view)


def body_cases():
    listed("mgc_empty_text", b"MGC", [Card(b"Empty", mgc_text(b"")), Card(b"After", mgc_text(b"x"))])
    # G = 100: the text length at body offset 110; G = 1; G = 0: at 2.
    listed("mgc_graphic_block", b"MGC", [
        Card(b"With picture", mgc_text(b"Text behind a 100-byte picture", graphic=100)),
        Card(b"Small picture", mgc_text(b"G is 1", graphic=1)),
        Card(b"No picture", mgc_text(b"plain")),
    ], formats=True)
    # What JSON escapes and CSV quotes: '"', '\\', commas, line ends, control characters.
    listed("escapes", b"RRG", [
        Card(b'Say "hi", then \\ back', rrg_text(b'Tab\there, "quoted", a\\b\r\nCR LF')),
        Card(b"Controls", rrg_text(b"\x01 \x1b \x1f, lone \n LF and \r CR, DEL \x7f")),
        Card(b"Plain", rrg_text(b"no special characters")),
    ], formats=True)
    listed("embedded_nul", b"MGC", [Card(b"Nul", mgc_text(b"Shown\0not shown")),
                                    Card(b"Leading NUL", mgc_text(b"\0all hidden"))])
    listed("rrg_embedded_nul", b"RRG", [Card(b"Nul", rrg_text(b"Before\0after"))])
    # An RRG text is exactly its stored length: what follows it is not part of it.
    listed("rrg_text_then_zero_flag", b"RRG", [Card(b"Five", rrg_text(b"Hello")),
                                               Card(b"Next", rrg_text(b"World"))])
    listed("rrg_text_then_xyz", b"RRG", [Card(b"Five", rrg_text(b"Hello", trailing=b"XYZ"))])
    listed("rrg_text_then_object", b"RRG", [Card(b"Five", rrg_text(b"Hello")),
                                            Card(b"Object", rrg_object(
                                                3, 2, 7, problem=object_fails(PAST_END)))])
    line = b"The quick brown fox jumps over the lazy dog, line %05d.\r\n"
    long_text = b"".join(line % i for i in range(1200))[:65535]
    assert len(long_text) == 65535
    listed("rrg_longest_text", b"RRG", [Card(b"Longest", rrg_text(long_text, trailing=b"XYZ")),
                                        Card(b"Short", rrg_text(b"ok"))])
    # Objects that do not parse: the card fields of the first run into the
    # next body (its flag 0x8000 read as the object type); the second's
    # format, read as unsigned, is no format.
    listed("rrg_object", b"RRG", [
        Card(b"Picture", rrg_object(7, 2, 9, rest=b"PBrush\0\0\0" + bytes(20),
                                    problem=object_fails(TYPE_MISMATCH))),
        Card(b"Negative fields", rrg_object(
            -1, -2147483648, 2147483647, flag=0x8000,
            problem=object_fails("an unknown object format (2147483648)"))),
        Card(b"Text after", rrg_text(b"plain text")),
    ], formats=True)


def conversion_cases():
    conv = ("-e", "Windows-1251")
    # The whole text is converted, however long (here 1232 bytes of UTF-8).
    words = "Съешь же ещё этих мягких французских булок да выпей чаю. "
    long_card = cp((words * 12).strip())
    assert len(long_card.decode("cp1251")) > 600
    listed("convert_long_card", b"MGC", [Card(cp("Длинная карточка"), mgc_text(long_card))],
           args_before=conv, convert=cp1251_to_utf8)
    # Every sign of the code page, and 0x98, which it leaves unassigned.
    signs = cp("Ёлкин ёж «кавычки» № 5 – тире — €\u00a0Ђ Ї і ў ") + b"\x98"
    listed("convert_signs", b"MGC", [Card(cp("Ёжиков «Ёлка» №1"), mgc_text(signs))],
           args_before=conv, convert=cp1251_to_utf8)
    upper_half = bytes(range(0x80, 0x100))
    listed("convert_rrg_upper_half", b"RRG", [Card(bytes(range(0xC0, 0xE8)), rrg_text(upper_half))],
           args_before=conv, convert=cp1251_to_utf8)
    listed("upper_half_as_stored", b"RRG", [Card(bytes(range(0xC0, 0xE8)), rrg_text(upper_half))])


def object_cases():
    """Object cards: the notice, then the text when the object parses; each
    also as JSON and CSV."""
    # A 2 x 2 picture of 1 bit a pixel: info header, black and white, two rows.
    dib = (struct.pack("<IiiHHIIiiII", 40, 2, 2, 1, 1, 0, 8, 0, 0, 0, 0) +
           b"\0\0\0\0\xff\xff\xff\0" + b"\x40\0\0\0\x80\0\0\0")
    bmp = b"BM" + struct.pack("<IHHI", 14 + len(dib), 0, 0, 14 + 48) + dib
    embedded = crd.embedded_data(bmp)
    plan = b"C:\\DOCS\\PLAN.DOC"
    linked = crd.linked_data(plan)
    wmf = bytes(18)
    picture, presentation, counted = crd.ole_picture, crd.presentation, crd.counted
    kinds = [
        ("object_embedded_dib", ole_card(
            1, 2, b"PBrush", embedded + presentation(b"DIB", picture(b"DIB", 2, 2, dib)),
            b"A picture\r\nwith a caption", native_size=len(bmp), picture=(b"DIB", 2, 2))),
        ("object_embedded_no_presentation", ole_card(
            2, 2, b"Package", embedded + presentation(), b"Packed", native_size=len(bmp))),
        ("object_embedded_clipboard_named", ole_card(
            3, 2, b"SoundRec", embedded + presentation(
                b"Native", crd.clipboard_picture(0, b"abc", name=b"Rich Text Format")),
            b"A sound", native_size=len(bmp), picture=(b"Native",))),
        ("object_embedded_clipboard_number", ole_card(
            4, 2, b"SoundRec", embedded + presentation(b"CF_TEXT",
                                                        crd.clipboard_picture(1, b"hi")),
            b"Numbered format", native_size=len(bmp), picture=(b"CF_TEXT",))),
        ("object_linked_metafile", ole_card(
            5, 1, b"Word.Document.6", linked +
            presentation(b"METAFILEPICT", picture(b"METAFILEPICT", 2540, 1270, wmf)),
            b"Linked budget", link=plan, picture=(b"METAFILEPICT", 2540, 1270))),
        ("object_static_bitmap", ole_card(6, 3, b"BITMAP", picture(b"BITMAP", 8, 1, b"\xff"),
                                          b"A static picture", picture=(b"BITMAP", 8, 1))),
    ]
    failures = [
        # Each of these lists the notice alone, and says why on standard error.
        ("object_native_past_end", ole_card(
            7, 2, b"PBrush", counted(b"") + counted(b"") + struct.pack("<I", 1 << 20) + bmp,
            b"never shown", problem=object_fails(PAST_END))),
        ("object_string_without_nul", ole_card(
            8, 2, b"PBrush", struct.pack("<I", 3) + b"abc" + counted(b"") +
            struct.pack("<I", 0) + presentation(), b"never shown",
            problem=object_fails(NO_NUL))),
        ("object_unknown_format", ole_card(
            9, 4, b"PBrush", b"", b"never shown",
            problem=object_fails("an unknown object format (4)"))),
        ("object_presentation_format_3", ole_card(
            10, 2, b"PBrush", embedded + struct.pack("<II", 0x0501, 3), b"never shown",
            problem=object_fails("an unknown presentation format (3)"))),
        ("object_type_contradicts", ole_card(
            11, 2, b"PBrush", embedded + presentation(), b"never shown", object_type=2,
            problem=object_fails(TYPE_MISMATCH))),
        ("object_static_not_a_picture", ole_card(
            12, 3, b"PBrush", picture(b"DIB", 1, 1, b"x"), b"never shown",
            problem=object_fails("a static object whose class name is not a picture format"))),
        ("object_metafile_too_small", ole_card(
            13, 1, b"Word.Document.6", linked + presentation(
                b"METAFILEPICT", struct.pack("<III", 1, 1, 7) + bytes(7)), b"never shown",
            problem=object_fails("a metafile picture smaller than its 8 reserved bytes"))),
    ]
    for name, body in kinds + failures:
        listed(name, b"RRG", [Card(b"Object card", body), Card(b"After", rrg_text(b"Plain"))],
               formats=True)
    # The file ends inside the card's fields: the object does not parse.
    body = ole_card(14, 2, b"PBrush", embedded + presentation(), b"gone", native_size=len(bmp))
    data, _ = card_file(b"RRG", [Card(b"Cut", body)])
    cut = FileView(b"RRG", 1, [Shown(1, b"Cut", None, body.notice,
                                     problem=object_fails(PAST_END))])
    listing_case("object_cut_in_card_fields", data[:-12], cut)
    format_cases("object_cut_in_card_fields", cut)
    # The file ends inside the text: what it holds of it is shown.
    cut = FileView(b"RRG", 1, [Shown(1, b"Cut", b"go", body.notice, details=body.details,
                                     problem=text_cut(2, 4))])
    listing_case("object_cut_in_text", data[:-2], cut)
    format_cases("object_cut_in_text", cut)


def code_page_cases():
    """One card file a family of code pages, listed with its own code page."""
    families = [
        ("cp1252", "Müller François", "Straße 5, 1050 Bruxelles\r\nTél. « café » – 12 €"),
        ("cp1250", "Dvořák Łucja", "Příliš žluťoučký kůň úpěl ďábelské ódy"),
        ("cp1253", "Παπαδόπουλος Νίκος", "Οδός Ερμού 12, Αθήνα\r\nΤηλ. 210 123 4567"),
        ("cp1255", "כהן דוד", "רחוב הרצל 7, תל אביב"),
        ("cp1256", "محمد علي", "شارع النيل 12، القاهرة"),
        ("cp874", "สมชาย ใจดี", "ถนนสุขุมวิท กรุงเทพฯ"),
        ("cp932", "山田 太郎", "東京都千代田区 ｶﾀｶﾅ\r\n電話 03-1234-5678"),
        ("cp936", "王小明", "北京市海淀区中关村大街 1 号"),
        ("cp949", "김철수", "서울특별시 종로구 세종대로"),
        ("cp950", "陳大文", "臺北市中正區重慶南路"),
    ]
    for codec, title, text in families:
        cards = [Card(title.encode(codec), mgc_text(text.encode(codec)))]
        listed("code_page_" + codec, b"MGC", cards, args_before=("-e", "Windows-" + codec[2:]),
               convert=from_code_page(codec))
    # Every upper byte of each single-byte page; '*' where it assigns none.
    for codec in ("cp874", "cp1253", "cp1255", "cp1258"):
        cards = [Card(b"Upper half", rrg_text(bytes(range(0x80, 0x100))))]
        listed("code_page_%s_upper_half" % codec, b"RRG", cards,
               args_before=("-e", "Windows-" + codec[2:]), convert=from_code_page(codec))
    # Stray lead bytes: alone at the end of a title cut at 40 bytes, before a
    # line end, before a byte that is no trail, and a pair the page leaves unassigned.
    stray = b"\x82\xa0 \x81\r\n\x85\x40 \x88\x9f ok \xfc"
    title = "漢字".encode("cp932") * 9 + b"abc\x81"
    assert len(title) == 40
    listed("code_page_cp932_stray_lead_bytes", b"MGC", [Card(title, mgc_text(stray))],
           args_before=("-e", "Windows-932"), convert=from_code_page("cp932"))


def truncated_cases():
    """Files that end early: the missing bytes read as zeros, and each cut is
    reported."""
    # Inside the count: MGC 05 -> count 5, every entry past the end reads as
    # offset 0 and is skipped.
    listing_case("truncated_in_count", b"MGC\x05",
                 FileView(b"MGC", 5, [], early=[HEADER_CUT], late=[index_short(5, 5)]))
    listing_case("rrg_truncated_in_header", b"RRG\x01\x02\x03\x04\x03",
                 FileView(b"RRG", 3, [], early=[HEADER_CUT], late=[index_short(3, 3)]))
    format_cases("rrg_truncated_in_header",
                 FileView(b"RRG", 3, [], early=[HEADER_CUT], late=[index_short(3, 3)]))
    # More cards counted than entries present.
    # (The one card keeps its body in the six bytes of its entry that are not
    # interpreted: G = 0, L = 2, two letters; nothing follows the entry.)
    data = crd.header(b"MGC", 3) + crd.index_entry(b"Only", 5, pad=b"\0\0\x02\0ok")
    view = FileView(b"MGC", 3, [Shown(1, b"Only", b"ok")], late=[index_short(2, 3)])
    listing_case("count_beyond_entries", data, view)
    format_cases("count_beyond_entries", view)
    # Inside an index entry. Each entry keeps its body in its own six bytes
    # that are not interpreted (G = 0, L = 2, two letters): bodies may lie
    # anywhere. The second entry is cut inside its index line; a partly
    # present entry counts as missing.
    first_at, second_at = 5, 5 + crd.INDEX_ENTRY_SIZE
    entry1 = crd.index_entry(b"Complete", first_at, pad=b"\0\0\x02\0Hi")
    entry2 = crd.index_entry(b"Truncated title", second_at, pad=b"\0\0\x02\0Yo")
    data = crd.header(b"MGC", 2) + entry1 + entry2[:11 + 9]
    listing_case("truncated_in_index_entry", data, FileView(
        b"MGC", 2, [Shown(1, b"Complete", b"Hi"), Shown(2, b"Truncated", b"Yo")],
        late=[index_short(1, 2)]))
    # Cut inside the body offset: only its low byte is there, the rest reads as zeros.
    entry = crd.index_entry(b"x", 5)
    listing_case("truncated_in_body_offset", crd.header(b"MGC", 1) + entry[:7],
                 FileView(b"MGC", 1, [Shown(1, b"")], late=[index_short(1, 1)]))
    # Inside a body: the text prints as far as the file goes.
    for name, signature, body in (("truncated_in_mgc_text", b"MGC", mgc_text),
                                  ("truncated_in_rrg_text", b"RRG", rrg_text)):
        data, _ = card_file(signature, [Card(b"Cut", body(b"Only this much of a longer text"))])
        view = FileView(signature, 1, [Shown(1, b"Cut", b"Only this much",
                                             problem=text_cut(14, 31))])
        listing_case(name, data[:-17], view)
    format_cases("truncated_in_rrg_text", view)
    # Inside the picture: 54 of its 8 + 100 bytes of fields and bits.
    body = mgc_text(b"lost", graphic=100)
    data, _ = card_file(b"MGC", [Card(b"Picture", body)])
    listing_case("truncated_in_graphic_block", data[:-60], FileView(b"MGC", 1, [
        Shown(1, b"Picture", graphic=body.graphic, problem=picture_cut(54, 108))]))
    data, _ = card_file(b"RRG", [Card(b"Object", rrg_object(7, 2, 9))])
    view = FileView(b"RRG", 1, [Shown(1, b"Object", None, notice=(7, 0, 0),
                                      problem=object_fails(PAST_END))])
    listing_case("truncated_in_object", data[:-10], view)
    format_cases("truncated_in_object", view)
    data, view = card_file(b"MGC", [Card(b"Far away", offset=1 << 20)])
    listing_case("body_beyond_end", data, view)
    format_cases("body_beyond_end", view)


def picture_cases():
    """The "MGC" picture layout: G, width, height, x, y, the G bytes of bits,
    then the text length at body offset 10 + G (2 when G is 0)."""
    mark = crd.Picture(32, 4, 8, 4, crd.monochrome_bits(32, 4, lambda x, y: x == 8 * y))
    _, view = listed("mgc_picture_layout", b"MGC", [
        Card(b"Blank card", mgc_text(b"")),  # four zero bytes
        Card(b"No picture", mgc_text(b"G is 0: the text length at 2")),
        Card(b"Two bytes of bits", mgc_text(b"G is 2: the text length at 12",
                                            picture=crd.Picture(16, 1, 3, 4, b"\x0f\xf0"))),
        # Read two bytes late, "Ab" would be taken for the text length.
        Card(b"Letterhead", mgc_text(b"Ab: the text length at 10 + 16", picture=mark)),
    ], formats=True)
    # G near 65535, the body placed (behind a block no entry points at) so
    # that its text length straddles the 128 KiB mark and its text lies in
    # the next 128 KiB of the file.
    window = 128 * 1024
    big = crd.Picture(1008, 520, 0, 0, bytes((i * 7 + 3) & 0xFF for i in range(65520)))
    assert big.consistent()
    first = mgc_text(b"Before the block")
    index_end = crd.MGC_HEADER_SIZE + 2 * crd.INDEX_ENTRY_SIZE
    big_at = window - 1 - crd.mgc_text_at(big)
    gap = big_at - index_end - len(first.data)
    text = b"Text in the next 128 KiB of the file"
    data, view = listed("mgc_picture_next_window", b"MGC", [
        Card(b"Before", first),
        Card(b"Large picture", mgc_text(text, picture=big), before=bytes(gap)),
    ], formats=True)
    assert view.offsets[1] == big_at and data.index(text) == window + 1


def damage_cases():
    """One case per kind of damage, on cut and corrupted copies of two files
    laid out by the builder; the files themselves report nothing."""
    # "MGC": two text cards, then a picture card (the last body in the file).
    picture = crd.Picture(16, 2, 5, 6, b"\x00\xff\xff\x00")
    mgc_cards = [Card(b"Text", mgc_text(b"Hello, world")), Card(b"Second", mgc_text(b"Two")),
                 Card(b"Picture", mgc_text(b"Under the picture", picture=picture))]
    mgc, good = listed("damage_mgc_whole", b"MGC", mgc_cards, formats=True)
    mgc_whole = good
    text_1, text_2 = Shown(1, b"Text", b"Hello, world"), Shown(2, b"Second", b"Two")
    at = good.offsets[2]  # the picture card's body
    fields = crd.PICTURE_FIELDS_SIZE + picture.length  # 12 bytes of fields and bits
    text_at = at + crd.mgc_text_at(picture)

    def mgc_view(last, count=3, cards=(text_1, text_2), **problems):
        return FileView(b"MGC", count, list(cards) + ([last] if last else []), **problems)

    def picture_card(text=b"", problem=None, graphic=picture):
        return Shown(3, b"Picture", text, graphic=graphic, problem=problem)

    def corrupt(data, at, new):
        return data[:at] + new + data[at + len(new):]

    def entry_at(number):
        return crd.MGC_HEADER_SIZE + crd.INDEX_ENTRY_SIZE * (number - 1) + crd.ENTRY_PAD_SIZE

    size = len(mgc)
    # (name, file, what crdview shows, also as JSON and CSV)
    rows = [
        ("damage_header_signature_only", b"MGC",
         FileView(b"MGC", 0, [], early=[HEADER_CUT]), True),
        ("damage_header_cut", mgc[:4],
         FileView(b"MGC", 3, [], early=[HEADER_CUT], late=[index_short(3, 3)]), True),
        ("damage_rrg_header_cut", crd.header(b"RRG", 0, 0x04030201)[:7],
         FileView(b"RRG", 0, [], early=[HEADER_CUT]), False),
        ("damage_index_missing", crd.header(b"MGC", 5),
         FileView(b"MGC", 5, [], late=[index_short(5, 5)]), False),
        # Entries 1 and 2 whole, entry 3 cut inside its index line: every body is gone.
        ("damage_index_cut", mgc[:entry_at(3) + 5 + 10], mgc_view(
            Shown(3, b"Picture", problem=beyond_end(good.offsets[2], entry_at(3) + 15)),
            cards=[Shown(n, title, problem=beyond_end(good.offsets[n - 1], entry_at(3) + 15))
                   for n, title in ((1, b"Text"), (2, b"Second"))],
            late=[index_short(1, 3)]), True),
        ("damage_negative_count", crd.header(b"MGC", -3) + mgc[crd.MGC_HEADER_SIZE:],
         FileView(b"MGC", -3, [], early=[negative_count(-3)]), True),
        ("damage_negative_count_no_entry", crd.header(b"RRG", -1) + bytes(51),
         FileView(b"RRG", -1, []), False),
        ("damage_top_bit", corrupt(mgc, entry_at(2) + 3, b"\x80"), mgc_view(
            picture_card(b"Under the picture"),
            cards=[text_1, Shown(2, b"Second", None,
                                 problem=top_bit(0x80000000 | good.offsets[1]))]), True),
        ("damage_offset_at_end", corrupt(mgc, entry_at(1), struct.pack("<I", size)), mgc_view(
            picture_card(b"Under the picture"),
            cards=[Shown(1, b"Text", problem=beyond_end(size, size)), text_2]), True),
        ("damage_body_cut", mgc[:at + 1], mgc_view(
            Shown(3, b"Picture", problem=BODY_CUT)), False),
        ("damage_picture_cut_in_fields", mgc[:at + 2 + 5], mgc_view(
            picture_card(problem=picture_cut(5, fields),
                         graphic=(picture.length, 16, 2, 5, 0))), False),
        ("damage_picture_cut_in_bits", mgc[:at + 2 + 10], mgc_view(
            picture_card(problem=picture_cut(10, fields))), False),
        ("damage_text_length_cut", mgc[:text_at + 1], mgc_view(
            picture_card(problem=TEXT_LENGTH_CUT)), False),
        ("damage_text_cut", mgc[:text_at + 2 + 5], mgc_view(
            picture_card(b"Under", problem=text_cut(5, 17))), True),
    ]
    # G = 0: the text length cut.
    data, _ = card_file(b"MGC", [Card(b"Short", mgc_text(b"abc"))])
    rows.append(("damage_text_length_cut_no_picture", data[:-4], FileView(
        b"MGC", 1, [Shown(1, b"Short", problem=TEXT_LENGTH_CUT)]), False))

    # "RRG": a text card, a linked object with a metafile, an embedded
    # Paintbrush picture with a DIB presentation (the last body in the file).
    dib = (struct.pack("<IiiHHIIiiII", 40, 8, 1, 1, 1, 0, 4, 0, 0, 0, 0) +
           b"\0\0\0\0\xff\xff\xff\0" + b"\x5a\0\0\0")
    bmp = b"BM" + struct.pack("<IHHI", 14 + len(dib), 0, 0, 14 + 48) + dib
    link = b"C:\\PLAN.DOC"
    linked_ole = crd.linked_data(link)
    metafile = crd.ole_picture(b"METAFILEPICT", 100, 50, bytes(18))
    embedded_ole = crd.embedded_data(bmp)
    dib_picture = crd.ole_picture(b"DIB", 8, 1, dib)
    linked = ole_card(21, crd.LINKED, b"Word.Document.6", linked_ole + crd.presentation(
        b"METAFILEPICT", metafile), b"Linked text", link=link,
        picture=(b"METAFILEPICT", 100, 50))
    embedded = ole_card(22, crd.EMBEDDED, b"PBrush", embedded_ole + crd.presentation(
        b"DIB", dib_picture), b"Caption", native_size=len(bmp), picture=(b"DIB", 8, 1))
    rrg, good = listed("damage_rrg_whole", b"RRG", [
        Card(b"Text", rrg_text(b"Plain text")), Card(b"Linked", linked),
        Card(b"Embedded", embedded)], formats=True)
    plain = Shown(1, b"Text", b"Plain text")
    linked_card = Shown(2, b"Linked", b"Linked text", linked.notice, details=linked.details)
    linked_at, at = good.offsets[1], good.offsets[2]
    ole_at = at + 2 + 4  # behind the flag and the UID
    class_at = ole_at + 8  # the class name, a counted string
    presentation_at = ole_at + len(crd.ole_object(crd.EMBEDDED, b"PBrush", embedded_ole))
    metafile_size_at = (linked_at + 6 + len(crd.ole_object(crd.LINKED, b"Word.Document.6",
                                                            linked_ole)) +
                        8 + len(crd.counted(b"METAFILEPICT")) + 8)
    type_at = len(rrg) - len(b"Caption") - 4

    def rrg_view(last, first=(plain, linked_card)):
        return FileView(b"RRG", 3, list(first) + [last])

    def failing(reason, notice=embedded.notice):
        return Shown(3, b"Embedded", None, notice, problem=object_fails(reason))

    rows += [
        ("damage_rrg_body_cut", rrg[:at + 1], rrg_view(
            Shown(3, b"Embedded", None, (0, 0, 0), problem=BODY_CUT)), False),
        ("damage_object_cut", rrg[:presentation_at - 20], rrg_view(failing(PAST_END)), True),
        ("damage_object_no_nul", corrupt(rrg, class_at + 4 + 6, b"x"),
         rrg_view(failing(NO_NUL)), True),
        ("damage_object_format", corrupt(rrg, ole_at + 4, struct.pack("<I", 7)),
         rrg_view(failing("an unknown object format (7)", (22, 7, 7))), True),
        ("damage_presentation_format", corrupt(rrg, presentation_at + 4, struct.pack("<I", 4)),
         rrg_view(failing("an unknown presentation format (4)")), False),
        ("damage_metafile_size", corrupt(rrg, metafile_size_at, struct.pack("<I", 7)), rrg_view(
            Shown(3, b"Embedded", b"Caption", embedded.notice, details=embedded.details),
            first=[plain, Shown(2, b"Linked", None, linked.notice, problem=object_fails(
                "a metafile picture smaller than its 8 reserved bytes"))]), True),
        ("damage_object_type", corrupt(rrg, type_at, struct.pack("<H", 1)),
         rrg_view(failing(TYPE_MISMATCH)), False),
        ("damage_object_text_cut", rrg[:-4], rrg_view(
            Shown(3, b"Embedded", b"Cap", embedded.notice, details=embedded.details,
                  problem=text_cut(3, 7))), True),
    ]
    for name, data, view, formats in rows:
        listing_case(name, data, view)
        if formats:
            format_cases(name, view)

    # At most 20 lines a file, then how many more problems there are.
    for number in (20, 21, 23):
        listed("damage_%d_problems" % number, b"MGC", [
            Card(b"Card %d" % n, offset=0x80000000 + n) for n in range(1, number + 1)])
    # --strict: a listed file with problems exits 1, in every format.
    cut = mgc_view(picture_card(b"Under", problem=text_cut(5, 17)))
    path = "damage_text_cut.crd"
    case("strict_damaged", ["--strict", path], banner(path) + listing_of(cut, as_stored) +
         CLOSE_LISTED, status=EXIT_NOT_LISTED, err=damage_report(path, cut))
    case("strict_damaged_json", ["--format=json", "--strict", "-e", "Windows-1252", path],
         json_of(path, cut, "Windows-1252", cp1252_to_utf8), status=EXIT_NOT_LISTED,
         err=damage_report(path, cut))
    path = "damage_mgc_whole.crd"
    case("strict_whole", [path, "--strict"],
         banner(path) + listing_of(mgc_whole, as_stored) + CLOSE_LISTED)


def command_line_cases_v2():
    """The command line of several files, -e anywhere, reasons on standard
    error, --find and --card. Runs after every other group: it also mends
    the cases of the classic rules whose output this changes (the help text
    gains lines; four words list every file; the listing names on standard
    error why a file was not listed)."""
    help_v2 = HELP.replace(
        b"  --strict",
        b"  --overwrite   with --extract, replace the files there (regular files only).\n"
        b"  --find=<text> only the cards whose title or text holds text, in any case.\n"
        b"  --card=<list> only the cards numbered in list: 3, 3,7 or 10-20.\n"
        b"  --raw         on a terminal too, show control characters as stored.\n"
        b"  --strict").replace(
        b"crdview.\n\n  EXAMPLE",
        b"crdview.\n  Several files are listed one after another (\"-\": standard input).\n\n"
        b"  EXAMPLE") % (b"crdview", b"crdview")

    def mend(name, out=None, status=None, err=None):
        """Rewrites what an earlier group wrote for case NAME."""
        assert name in written, name
        if out is not None:
            with open(os.path.join(CASES, name + ".out"), "wb") as f:
                f.write(out)
        status_path = os.path.join(CASES, name + ".status")
        if status == EXIT_LISTED and os.path.exists(status_path):
            os.remove(status_path)
        elif status is not None and status != EXIT_LISTED:
            with open(status_path, "w", newline="\n") as f:
                f.write("%d\n" % status)
        if err is not None:
            with open(os.path.join(CASES, name + ".err"), "wb") as f:
                f.write(err)

    for name in ("help_long", "help_short", "two_args"):
        mend(name, out=help_v2)
    # Four words: -e NAME applies to both files, each listed in turn.
    _, russian = card_file(b"MGC", RUSSIAN)
    converted = (banner("as_stored.crd") + listing_of(russian, cp1251_to_utf8) +
                 CLOSE_LISTED)
    mend("four_args", out=converted * 2, status=EXIT_LISTED)
    # Why a file was not listed, on standard error (standard output as before).
    mend("missing_file", err=b"crdview: none.crd: No such file or directory\n")
    mend("options_end", err=b"crdview: -h: No such file or directory\n")
    mend("directory", err=b"crdview: .: Is a directory\n")
    for name, begins in (("signature_lower_rrg", b"rrg"), ("signature_mgc_mixed_case", b"MGc"),
                         ("one_byte_file", b"M"), ("two_byte_file", b"MG"),
                         ("three_byte_other", b"CRD")):
        mend(name, err=b'crdview: %s.crd: not a card file (it begins with "%s")\n'
             % (name.encode(), begins))
    mend("empty_file", err=b"crdview: empty_file.crd: not a card file (it is empty)\n")
    mend("csv_not_a_card_file",
         err=b'crdview: signature_lower_rrg.crd: not a card file (it begins with "rrg")\n')
    # -e keeps its exact names; another case or an alias lists as stored.
    meant = (b'crdview: unknown encoding "%s"; the texts are shown as stored; '
             b'did you mean "Windows-1251"?\n')
    mend("encoding_lower_case", err=meant % b"windows-1251")

    stored = banner("as_stored.crd") + listing_of(russian, as_stored) + CLOSE_LISTED
    _, two = card_file(b"MGC", [Card(b"Alpha", mgc_text(b"Hello")), Card(b"Beta")])
    two_cards = banner("mgc_two_cards.crd") + listing_of(two, as_stored) + CLOSE_LISTED
    missing = banner("none.crd") + CLOSE_ERROR
    no_such = b"crdview: none.crd: No such file or directory\n"
    case("several_files", ["as_stored.crd", "mgc_two_cards.crd", "as_stored.crd"],
         stored + two_cards + stored)
    case("several_files_one_missing", ["mgc_two_cards.crd", "none.crd", "as_stored.crd"],
         two_cards + missing + stored, status=EXIT_NOT_LISTED, err=no_such)
    case("e_after_files", ["as_stored.crd", "as_stored.crd", "-e", "Windows-1251"],
         converted * 2)
    case("e_alias_as_stored", ["as_stored.crd", "-e", "1251"], stored, err=meant % b"1251")
    for alias in ("cp1251", "CP1251", "1251", "windows-1251", "WINDOWS-1251"):
        case("encoding_alias_" + alias.lower().replace("-", "_") +
             ("_upper" if alias != alias.lower() else ""),
             ["--encoding=" + alias, "as_stored.crd"], converted)
    case("not_an_option_verbose", ["--verbose", "as_stored.crd"], help_v2, status=EXIT_USAGE,
         err=b'crdview: "--verbose" is not an option\n')
    case("not_an_option_after_file", ["as_stored.crd", "-x", "y"], help_v2, status=EXIT_USAGE,
         err=b'crdview: "-x" is not an option\n')
    case("e_without_value", ["as_stored.crd", "-e"], b"", status=EXIT_USAGE,
         err=b"crdview: -e needs a value\n")
    case("dko_signature", ["dko_signature.crd"],
         banner("dko_signature.crd") + bad_signature(b"DKO") + CLOSE_NOT_CARD_FILE,
         status=EXIT_NOT_LISTED, card_data=b"DKO\x01\x00" + bytes(52),
         err=b'crdview: dko_signature.crd: a Unicode card file of Windows NT ("DKO"), which '
             b'crdview cannot read yet\n')
    case("zip_signature", ["zip_signature.crd"],
         banner("zip_signature.crd") + bad_signature(b"PK\x03") + CLOSE_NOT_CARD_FILE,
         status=EXIT_NOT_LISTED, card_data=b"PK\x03\x04" + bytes(30),
         err=b'crdview: zip_signature.crd: not a card file (it begins with "PK\\x03")\n')
    # JSON of several files: an array of each file's document (a file that
    # gives none is left out); CSV: a first column "file".
    docs = [json_of(name, view, "Windows-1252", from_code_page("cp1252"))
            for name, view in (("mgc_two_cards.crd", two), ("as_stored.crd", russian))]
    case("json_several_files", ["--format=json", "mgc_two_cards.crd", "none.crd",
                                "as_stored.crd", "-e", "Windows-1252"],
         b"[\n" + b",\n".join(doc[:-1] for doc in docs) + b"\n]\n", status=EXIT_NOT_LISTED,
         err=no_such)
    rows = []
    for name, view, convert in (("mgc_two_cards.crd", two, as_stored),
                                ("as_stored.crd", russian, from_code_page("cp1252"))):
        rows += [b"%s,%d,%s,%s\r\n" % (name.encode(), card.number, csv_field(card.title, convert),
                                        csv_field(card.text or b"", convert))
                 for card in view.cards]
    case("csv_several_files", ["--format=csv", "-e", "Windows-1252", "mgc_two_cards.crd", "as_stored.crd"],
         b"file,number,title,text\r\n" + b"".join(rows))
    # --find and --card keep cards; the header keeps the stored count.
    kept = FileView(b"MGC", 2, [card for card in russian.cards if card.number == 2])
    only_second = banner("as_stored.crd") + listing_of(kept, cp1251_to_utf8) + CLOSE_LISTED
    # (The arguments stay ASCII: the golden runner reads them as ASCII. The
    # Cyrillic and Greek of the fold table are checked in tests/cli.)
    case("find_in_text", ["-e", "Windows-1251", "--find=18:00", "as_stored.crd"], only_second)
    first_only = FileView(b"MGC", 2, two.cards[:1])
    case("find_any_case", ["--find=hELLo", "mgc_two_cards.crd"],
         banner("mgc_two_cards.crd") + listing_of(first_only, as_stored) + CLOSE_LISTED)
    case("card_list", ["-e", "Windows-1251", "--card=2-5", "as_stored.crd"], only_second)
    case("card_list_not_one", ["--card=3,", "as_stored.crd"], b"", status=EXIT_USAGE,
         err=b"crdview: --card=3,: not a list of card numbers (such as 3, 3,7 or 10-20)\n")


def html_vcard_cases():
    """The HTML page and the vCards (3.0 and 4.0) of cards placed with the
    builder: texts with markup, escapes and control characters, phone
    numbers, e-mail and web addresses, an "MGC" picture and object cards.
    Pictures are PNG files made here with Python's zlib: the pixel rows
    unfiltered, deflated at zlib's default level in one IDAT chunk."""
    import base64
    import zlib

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(
            ">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    def png(width, height, depth, colour_type, rows, palette=None):
        head = struct.pack(">IIBBBBB", width, height, depth, colour_type, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) +
                (chunk(b"PLTE", palette) if palette else b"") +
                chunk(b"IDAT", zlib.compress(b"".join(b"\0" + row for row in rows))) +
                chunk(b"IEND", b""))

    # An "MGC" picture 12 pixels wide: rows of 2 bytes, the 4 bits after the
    # last pixel 0 in the PNG. A 2 x 2 DIB of 1 bit a pixel, bottom row first.
    picture = crd.Picture(12, 2, 5, 6, b"\x0f\xff\xf0\x0f")
    picture_png = png(12, 2, 1, 0, [b"\x0f\xf0", b"\xf0\x00"])
    dib = (struct.pack("<IiiHHIIiiII", 40, 2, 2, 1, 1, 0, 8, 0, 0, 0, 0) +
           b"\0\0\0\0\xff\xff\xff\0" + b"\x40\0\0\0\x80\0\0\0")
    dib_png = png(2, 2, 1, 3, [b"\x80", b"\x40"], palette=b"\0\0\0\xff\xff\xff")
    bmp = b"BM" + struct.pack("<IHHI", 14 + len(dib), 0, 0, 14 + 48) + dib
    plan = b"C:\\DOCS\\A&B.DOC"

    contact = cp("Call +1 (555) 010-4477 or 555.013.2290; born 12.03.1994, ZIP 12345-6789.\r\n"
                 "Mail jane.doe@example.org, see www.example.com. Back\\slash\tTab\r\n"
                 "Ёжик в тумане — строка длиннее семидесяти пяти октетов, сложенная по символам")
    odd = (b"<b>&amp;</b> \"q\" 'a'\r\nESC\x1b[0m bell\x07 lone\rCR del\x7f" +
           b" On the fold ESC\x1b, the caret pair kept whole.")
    mgc_cards = [
        Card(cp("Doe, Jane Mary"), mgc_text(contact)),
        Card(b"<Markup> & \"quotes\"", mgc_text(odd)),
        Card(b"Picture", mgc_text(b"Under the picture", picture=picture)),
        Card(b"", mgc_text(b"")),
    ]
    mgc_data, _ = card_file(b"MGC", mgc_cards)
    rrg_cards = [
        Card(b"Floor plan", ole_card(1, crd.EMBEDDED, b"PBrush", crd.embedded_data(bmp) +
                                     crd.presentation(b"DIB", crd.ole_picture(b"DIB", 2, 2, dib)),
                                     b"Plan", native_size=len(bmp), picture=(b"DIB", 2, 2))),
        Card(b"Budget", ole_card(2, crd.LINKED, b"Word.Document.6", crd.linked_data(plan) +
                                 crd.presentation(b"METAFILEPICT",
                                                  crd.ole_picture(b"METAFILEPICT", 9, 9, bytes(18))),
                                 b"Linked", link=plan, picture=(b"METAFILEPICT", 9, 9))),
        Card(b"Stamp", ole_card(3, crd.STATIC, b"BITMAP", crd.ole_picture(b"BITMAP", 8, 1, b"\xff"),
                                b"Device bitmap", picture=(b"BITMAP", 8, 1))),
    ]
    rrg_data, _ = card_file(b"RRG", rrg_cards)

    # vCards: (title, stored text, N parts, phones, e-mail, web, PNG) a card.
    def escaped(text):
        """A text value as tokens: characters, and escapes and caret pairs
        that a fold never cuts."""
        out = []
        for i, c in enumerate(text):
            if c in "\\,;":
                out.append("\\" + c)
            elif c == "\n":
                out += [] if i > 0 and text[i - 1] == "\r" else ["\\n"]
            elif c == "\r":
                out.append("\\n" if text[i + 1:i + 2] == "\n" else "^M")
            elif c == "\x7f":
                out.append("^?")
            elif ord(c) < 0x20 and c != "\t":
                out.append("^" + chr(ord(c) + 0x40))
            else:
                out.append(c)
        return out

    def folded(*parts):
        """A content line of plain strings and token lists, folded greedily:
        at most 75 octets a line, a token never cut."""
        tokens = [t for part in parts for t in (list(part) if isinstance(part, str) else part)]
        out, column = b"", 0
        for token in tokens:
            data = token.encode()
            if column + len(data) > 75:
                out, column = out + b"\r\n ", 1
            out, column = out + data, column + len(data)
        return out + b"\r\n"

    def vcards(cards, version):
        out = b""
        for title, text, n, tels, mails, webs, photo in cards:
            out += b"BEGIN:VCARD\r\nVERSION:%s\r\n" % version.encode()
            out += folded("FN:", escaped(title))
            name = []
            for part in n:
                name += escaped(part) + [";"]
            out += folded("N:", name, ";")
            out += b"".join(folded("TEL:" + tel) for tel in tels)
            out += b"".join(folded(("EMAIL:" if version == "4.0" else "EMAIL;TYPE=INTERNET:") +
                                   mail) for mail in mails)
            out += b"".join(folded("URL:" + web) for web in webs)
            if text is not None:
                out += folded("NOTE:", escaped(text))
            if photo:
                encoded = base64.b64encode(photo).decode()
                out += folded(("PHOTO:data:image/png;base64," if version == "4.0" else
                               "PHOTO;ENCODING=b;TYPE=PNG:") + encoded)
            out += b"END:VCARD\r\n"
        return out

    def utf8(data):
        return cp1251_to_utf8(data).decode()

    mgc_vcards = [
        ("Doe, Jane Mary", utf8(contact), ["Doe", "Jane", "Mary"],
         ["+1 (555) 010-4477", "555.013.2290"], ["jane.doe@example.org"],
         ["http://www.example.com"], None),
        (utf8(mgc_cards[1].title), utf8(odd), [utf8(mgc_cards[1].title), "", ""], [], [], [], None),
        ("Picture", "Under the picture", ["Picture", "", ""], [], [], [], picture_png),
        ("Card 4", "", ["Card 4", "", ""], [], [], [], None),
    ]
    rrg_vcards = [
        ("Floor plan", "Plan", ["Floor plan", "", ""], [], [], [], dib_png),
        ("Budget", "Linked", ["Budget", "", ""], [], [], [], None),
        ("Stamp", "Device bitmap", ["Stamp", "", ""], [], [], [], None),
    ]
    for option, version in (("--format=vcard", "3.0"), ("--format=vcard4", "4.0")):
        stem = option[len("--format="):]
        case(stem + "_mgc_cards", [option, "-e", "Windows-1251", stem + "_mgc_cards.crd"],
             vcards(mgc_vcards, version), card_data=mgc_data)
        case(stem + "_object_cards", [option, "-e", "Windows-1252", stem + "_object_cards.crd"],
             vcards(rrg_vcards, version), card_data=rrg_data)
        case(stem + "_several_files", [option, "-e", "Windows-1251", stem + "_object_cards.crd",
                                       stem + "_mgc_cards.crd"],
             vcards(rrg_vcards + mgc_vcards, version))

    # The HTML page.
    style = (
        ":root{color-scheme:light}"
        "body{margin:0;padding:1.5rem;background:#e8e4da;color:#1c1c1c;"
        "font:15px/1.35 system-ui,\"Segoe UI\",Roboto,\"Noto Sans\",\"DejaVu Sans\",Arial,"
        "sans-serif;display:flex;flex-direction:column;gap:2rem}"
        "a{color:#1a4f9c}"
        "nav.files{order:-1}"
        "section.file{display:flex;flex-direction:column;gap:1rem}"
        "section.file>header{order:-2}section.file>nav{order:-1}"
        "h1{font-size:1.4rem;margin:0 0 .2rem;overflow-wrap:anywhere}"
        "h2.list{font-size:1rem;margin:0 0 .3rem}"
        ".facts{margin:0;color:#555}"
        "nav ol{margin:0;padding-left:2.8rem;columns:18rem}"
        ".cards{display:flex;flex-wrap:wrap;gap:1.25rem;align-items:flex-start}"
        ".card{background:#fffef9;border:1px solid #8f897b;box-shadow:3px 3px 0 #b8b1a1;"
        "min-width:24rem;max-width:100%;width:max-content}"
        ".card h3{margin:0;padding:.3rem .6rem;font-size:1rem;background:#f3efe3;"
        "border-bottom:2px solid #c0392b;display:flex;gap:.7rem;overflow-wrap:anywhere}"
        ".card h3 .number{color:#6d6d6d;font-weight:400}"
        ".face{position:relative;padding:8px;min-height:4rem}"
        ".text{position:relative;margin:0;white-space:pre-wrap;overflow-wrap:anywhere;font:inherit;"
        "text-shadow:0 0 2px #fffef9,0 0 3px #fffef9}"
        ".placed{position:absolute}"
        "img{display:block;image-rendering:pixelated}"
        "img.placed{object-fit:contain}"
        ".face>img,.face>.box{margin-bottom:.4rem}"
        ".box{border:1px dashed #777;box-sizing:border-box;display:flex;align-items:flex-end;"
        "justify-content:flex-end;color:#555;font-size:.7rem;"
        "background:repeating-linear-gradient(45deg,#f4f4f1 0 6px,#e8e8e3 6px 12px)}"
        ".box:not(.placed){width:10rem;height:4.5rem}"
        ".box span{padding:0 .25rem;background:#fffef9cc}"
        ".caption{margin:0;padding:.2rem .6rem .4rem;color:#555;font-size:.8rem;"
        "overflow-wrap:anywhere}"
        ".caption,.problem,.extracted{width:0;min-width:100%;box-sizing:border-box}"
        ".problem,.problems{margin:0;padding:.3rem .6rem;color:#a61b1b;font-size:.85rem}"
        ".extracted{margin:0;padding:.2rem .6rem .4rem;font-size:.85rem}"
        "@media print{body{background:#fff;padding:0}"
        ".card{box-shadow:none;break-inside:avoid}}")

    def html_text(text):
        out = ""
        for i, c in enumerate(text):
            if c in "&<>\"'":
                out += {"&": "&amp;", "<": "&lt;", ">": "&gt;", "\"": "&quot;", "'": "&#39;"}[c]
            elif c in "\t\n" or (c == "\r" and text[i + 1:i + 2] == "\n"):
                out += c
            elif c == "\x7f":
                out += "^?"
            elif ord(c) < 0x20:
                out += "^" + chr(ord(c) + 0x40)
            else:
                out += c
        return out

    def page_head(title):
        return ("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
                "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
                "img-src data:; style-src 'unsafe-inline'\">\n"
                "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                "<meta name=\"generator\" content=\"crdview\">\n"
                "<link rel=\"icon\" href=\"data:,\">\n<title>" + html_text(title) +
                "</title>\n<style>" + style + "</style>\n</head>\n<body>\n")

    def image(png_bytes, width, height, place, alt):
        placed = (" class=\"placed\" style=\"left:%dpx;top:%dpx;width:%dpx;height:%dpx\"" % place
                  if place else "")
        return ("<img%s width=\"%d\" height=\"%d\" alt=\"%s\" src=\"data:image/png;base64,%s\">" %
                (placed, width, height, alt, base64.b64encode(png_bytes).decode()))

    def section(number, several, path, variant, cards, encoding):
        prefix = "file-%d-" % number if several else ""
        out = ("<section class=\"file\" id=\"file-%d\">\n<header><h1>%s</h1><p class=\"facts\">"
               "%s card file, %d card%s, texts in %s</p></header>\n<div class=\"cards\">\n" %
               (number, html_text(path), variant, len(cards), "" if len(cards) == 1 else "s",
                encoding))
        for card_number, title, face, text, after in cards:
            out += ("<article class=\"card\" id=\"%scard-%d\">\n<h3><span class=\"number\">%d"
                    "</span> <span class=\"title\">%s</span></h3>\n<div class=\"face\"%s>" %
                    (prefix, card_number, card_number, html_text(title), face[0]))
            out += face[1] + "<p class=\"text\">" + html_text(text) + "</p></div>\n"
            out += after + "</article>\n"
        out += "</div>\n<nav class=\"titles\"><h2 class=\"list\">Cards</h2><ol>\n"
        for card_number, title, *_ in cards:
            out += "<li value=\"%d\"><a href=\"#%scard-%d\">%s</a></li>\n" % (
                card_number, prefix, card_number, html_text(title))
        return out + "</ol></nav>\n</section>\n"

    def mgc_section(number, several, path):
        return section(number, several, path, "MGC", [
            (1, "Doe, Jane Mary", ("", ""), utf8(contact), ""),
            (2, utf8(mgc_cards[1].title), ("", ""), utf8(odd), ""),
            (3, "Picture", (" style=\"min-width:17px;min-height:8px\"",
                            image(picture_png, 12, 2, (5, 6, 12, 2), "The card's picture")),
             "Under the picture", ""),
            (4, "", ("", ""), "", ""),
        ], "Windows-1251")

    def rrg_section(number, several, path):
        box = ("<div class=\"box placed\" style=\"left:0px;top:0px;width:100px;height:50px\">"
               "<span>%s</span></div>")
        return section(number, several, path, "RRG", [
            (1, "Floor plan", (" style=\"min-width:100px;min-height:50px\"",
                               image(dib_png, 2, 2, (0, 0, 100, 50), "The card's object")),
             "Plan", ""),
            (2, "Budget", (" style=\"min-width:100px;min-height:50px\"",
                           box % "a Windows metafile"), "Linked",
             "<p class=\"caption\"><b>Word.Document.6</b> object, linked to <span class=\"link\">"
             "C:\\DOCS\\A&amp;B.DOC</span>: a Windows metafile, not shown</p>\n"),
            (3, "Stamp", (" style=\"min-width:100px;min-height:50px\"",
                          box % "a device-dependent bitmap"), "Device bitmap",
             "<p class=\"caption\"><b>BITMAP</b> object: a device-dependent bitmap, not shown"
             "</p>\n"),
        ], "Windows-1251")

    end = "</body>\n</html>\n"
    case("html_mgc_cards", ["--format=html", "-e", "Windows-1251", "html_mgc_cards.crd"],
         (page_head("html_mgc_cards.crd") + mgc_section(1, False, "html_mgc_cards.crd") +
          end).encode(), card_data=mgc_data)
    case("html_object_cards", ["--format=html", "-e", "Windows-1251", "html_object_cards.crd"],
         (page_head("html_object_cards.crd") + rrg_section(1, False, "html_object_cards.crd") +
          end).encode(), card_data=rrg_data)
    files = ["html_object_cards.crd", "html_mgc_cards.crd"]
    case("html_several_files", ["--format=html", "-e", "Windows-1251"] + files,
         (page_head("Card files") + rrg_section(1, True, files[0]) +
          mgc_section(2, True, files[1]) +
          "<nav class=\"files\"><h2 class=\"list\">Card files</h2><ol>\n" +
          "".join("<li><a href=\"#file-%d\">%s</a></li>\n" % (i, path)
                  for i, path in enumerate(files, start=1)) + "</ol></nav>\n" + end).encode())

    # The help text and the message for an unknown format name the new ones.
    for name in written:
        for extension in (".out", ".err"):
            path = os.path.join(CASES, name + extension)
            if not os.path.exists(path):
                continue
            with open(path, "rb") as f:
                data = f.read()
            mended = data.replace(
                b"  --format=<format> listing (the default), json or csv.\n",
                b"  --format=<format> listing (the default), json, csv, html, vcard or vcard4.\n"
            ).replace(b"(accepted: listing, json, csv)",
                      b"(accepted: listing, json, csv, html, vcard, vcard4)")
            if mended != data:
                with open(path, "wb") as f:
                    f.write(mended)


def main():
    os.makedirs(CASES, exist_ok=True)
    command_line_cases()
    option_cases()
    closing_cases()
    index_cases()
    body_cases()
    conversion_cases()
    code_page_cases()
    object_cases()
    truncated_cases()
    picture_cases()
    damage_cases()
    command_line_cases_v2()
    html_vcard_cases()
    # Remove what an earlier run wrote for cases that no longer exist.
    for entry in os.listdir(CASES):
        stem, ext = os.path.splitext(entry)
        if ext in (".crd", ".args", ".out", ".status", ".err") and stem not in written:
            os.remove(os.path.join(CASES, entry))
    print("%d cases written to %s" % (len(written), CASES))


if __name__ == "__main__":
    main()
