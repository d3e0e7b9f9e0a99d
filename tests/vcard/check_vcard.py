#!/usr/bin/env python3
"""Checks crdview's vCards (--format=vcard, 3.0; --format=vcard4, 4.0).

The rules on their own, byte by byte: UTF-8 without a byte-order mark, CR LF
line ends, lines of at most 75 octets folded with a space and never inside a
UTF-8 sequence, text values with only the escapes \\\\ \\, \\; \\n. Then
every card read back with Python's vobject (Debian python3-vobject): FN,
N, NOTE, TEL, EMAIL, URL and PHOTO against what the card holds, as crdview's
JSON states it, and against phone numbers and addresses listed here by hand.

Usage: check_vcard.py CRDVIEW SOURCE_DIR SCRATCH_DIR
Skips (exit status 77) when vobject cannot be imported; fails then with CI=true.
"""

import base64
import json
import os
import struct
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import cardfile_builder as crd  # noqa: E402

# Status 77 tells ctest the test was skipped; with CI=true a missing tool
# fails the test instead.
SKIPPED = 1 if os.environ.get("CI") == "true" else 77

try:
    import vobject
except ImportError:
    # The Debian package is for the system's Python: run under it instead.
    if sys.executable != "/usr/bin/python3" and os.path.exists("/usr/bin/python3") and \
            not os.environ.get("CHECK_VCARD_REEXEC"):
        os.environ["CHECK_VCARD_REEXEC"] = "1"
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    print("python3-vobject is not installed: " +
          ("failed (CI=true)" if SKIPPED == 1 else "skipped"))
    sys.exit(SKIPPED)

# Phone numbers, e-mail and web addresses as a reader finds them, card by card.
CONTACTS_PHONES = {
    1: ["+7 (495) 123-45-67", "+7 916 555-12-34"], 2: ["+7 (812) 310-22-41"],
    3: ["(8182) 65-40-17"], 4: ["(4822) 34-56-78"], 6: ["+7 (843) 292-11-05"],
    7: ["+7 (495) 690-03-15"], 8: ["(4852) 73-14-60"], 9: ["+7 (495) 417-20-00"],
    10: ["+7 (383) 222-87-19"], 11: ["+7 (495) 417-20-00"], 12: ["+7 926 301-44-82"],
}
OFFICE_PHONES = {1: ["(555) 010-4477"], 2: ["(555) 013-2290"]}
# N of the titles that are names family first, patronymic last (family,
# given, additional); every other title is whole in the family name.
CONTACTS_NAMES = {
    1: ["Аксёнова", "Мария", "Петровна"], 2: ["Белов", "Андрей", "Сергеевич"],
    4: ["Воробьёв", "Пётр", "Ильич"], 6: ["Григорьева", "Ольга", "Николаевна"],
    7: ["Дмитриев", "Семён", "Аркадьевич"], 8: ["Ёлкин", "Фёдор", "Матвеевич"],
    9: ["Жукова", "Наталья", "Викторовна"], 10: ["Зайцев", "Константин", "Олегович"],
}

BUILT_TEXT = ("Call +1 (555) 010-4477 or 555.013.2290; fax 555-0134-22.\r\n"
              "Born 12.03.1994, moved 1994-1995, ZIP 12345-6789, paid 3 000 000, year 1995.\r\n"
              "Mail: jane.doe+cards@example.co.uk, web: https://example.org/a(b)?q=1. "
              "Or www.example.com! Not@this, nor a@b.\r\n"
              "Back\\slash, semi;colon \x1b[1m end\r\n"
              "Ёжик в тумане — длинная строка, чтобы сложить её несколько раз по границам символов")
BUILT_CARDS = [
    # title, text, N, phones, e-mail addresses, web addresses
    ("Doe, Jane Mary", BUILT_TEXT, ["Doe", "Jane", "Mary"],
     ["+1 (555) 010-4477", "555.013.2290", "555-0134-22"],
     ["jane.doe+cards@example.co.uk"], ["https://example.org/a(b)?q=1", "http://www.example.com"]),
    ("Back\\slash; Co, Pat", "No numbers: 1 500 руб., 10:00-18:00.", ["Back\\slash; Co", "Pat", ""],
     [], [], []),
    ("Клёнова Ирина Юрьевна", "Тел./факс: 8 (8182) 65-40-17", ["Клёнова", "Ирина", "Юрьевна"],
     ["8 (8182) 65-40-17"], [], []),
    # Family first with a patronymic last: Russian in capitals, Ukrainian,
    # Belarusian, and a given name with a patronymic alone.
    ("ПЕТРОВА  АННА ИЛЬИНИЧНА", "", ["ПЕТРОВА", "АННА", "ИЛЬИНИЧНА"], [], [], []),
    ("Шевченко Тарас Григорович", "", ["Шевченко", "Тарас", "Григорович"], [], [], []),
    ("Купала Янка Дамінікавіч", "", ["Купала", "Янка", "Дамінікавіч"], [], [], []),
    ("Пётр Ильич", "", ["", "Пётр", "Ильич"], [], [], []),
    # Not such a name: four words, a digit, no patronymic last, an ending alone.
    ("Иванов Иван Иванович младший", "", ["Иванов Иван Иванович младший", "", ""], [], [], []),
    ("Иванов 2 Иванович", "", ["Иванов 2 Иванович", "", ""], [], [], []),
    ("Соколова Елена — репетитор", "", ["Соколова Елена — репетитор", "", ""], [], [], []),
    ("Кто ич", "", ["Кто ич", "", ""], [], [], []),
    # A control character whose caret notation holds a backslash: "^\".
    ("File\x1cseparator", "Before\x1cafter\\", ["File^\\separator", "", ""], [], [], []),
]


def run(program, args):
    result = subprocess.run([program] + args, stdout=subprocess.PIPE)
    assert result.returncode == 0, (args, result.returncode)
    return result.stdout


def check_rules(name, data):
    """The byte-level rules; returns the unfolded content lines."""
    assert not data.startswith(b"\xef\xbb\xbf"), (name, "byte-order mark")
    data.decode("utf-8")
    assert data.endswith(b"\r\n"), name
    physical = data[:-2].split(b"\r\n")
    lines = []
    for line in physical:
        assert b"\r" not in line and b"\n" not in line, (name, "a lone CR or LF", line)
        assert len(line) <= 75, (name, "longer than 75 octets", line)
        line.decode("utf-8")  # each physical line whole: not cut inside a UTF-8 sequence
        if line.startswith(b" "):
            lines[-1] += line[1:]
        else:
            assert not line.startswith(b"\t"), name
            lines.append(line)
    for line in lines:
        property_name = line.split(b":", 1)[0].split(b";", 1)[0]
        if property_name in (b"FN", b"NOTE", b"N"):
            value = line.split(b":", 1)[1]
            i = 0
            while i < len(value):
                if value[i:i + 1] == b"\\":
                    assert value[i + 1:i + 2] in (b"\\", b",", b";", b"n"), (name, value[i:i + 8])
                    i += 2
                    continue
                assert value[i:i + 1] != b"," and (property_name == b"N" or value[i:i + 1] != b";"), \
                    (name, "unescaped", line)
                i += 1
            if property_name == b"N":
                parts = value.replace(b"\\\\", b"").replace(b"\\;", b"").split(b";")
                assert len(parts) == 5, (name, line)
        assert all(c >= 0x20 or c == 0x09 for c in line), (name, "a control character", line)
    return lines


def shown_note(text):
    """A card's text as NOTE holds it once read back: line ends LF, other
    control characters (but TAB) in caret notation."""
    text = text.replace("\r\n", "\n")
    return "".join(c if c in "\n\t" or (ord(c) >= 0x20 and c != "\x7f") else
                   "^?" if c == "\x7f" else "^" + chr(ord(c) + 0x40) for c in text)


def png_size(png):
    assert png[:8] == b"\x89PNG\r\n\x1a\n" and png[12:16] == b"IHDR", png[:16]
    return struct.unpack(">II", png[16:24])


def values(card, name):
    return [item.value for item in card.contents.get(name, [])]


def check_cards(name, data, version, expected):
    """`expected`: per card, (title, text, N parts or None, phones, e-mail
    addresses, web addresses, picture size or None)."""
    lines = check_rules(name, data)
    assert lines.count(b"BEGIN:VCARD") == len(expected), name
    cards = list(vobject.readComponents(data.decode("utf-8")))
    assert len(cards) == len(expected), (name, len(cards))
    # vobject cuts a 4.0 data: URI at its comma: PHOTO is read from the line.
    photos = []
    for line in lines:
        if line == b"BEGIN:VCARD":
            photos.append(None)
        elif line.startswith(b"PHOTO"):
            photos[-1] = line.decode()
    for card, photo_line, (title, text, n, phones, mails, webs, picture) in zip(cards, photos,
                                                                              expected):
        label = (name, title)
        assert card.version.value == version, label
        assert card.fn.value == shown_note(title), (label, card.fn.value)
        parts = n or [title, "", ""]
        got = [card.n.value.family, card.n.value.given, card.n.value.additional]
        assert got == parts, (label, got)
        if text is None:
            assert "note" not in card.contents, label
        else:
            assert card.note.value == shown_note(text), (label, card.note.value)
        assert values(card, "tel") == phones, (label, values(card, "tel"))
        assert values(card, "email") == mails, (label, values(card, "email"))
        assert values(card, "url") == webs, (label, values(card, "url"))
        if picture is None:
            assert "photo" not in card.contents, label
            continue
        photo = card.photo
        if version == "3.0":
            assert photo.params.get("ENCODING") == ["b"] and photo.params.get("TYPE") == ["PNG"]
            png = photo.value if isinstance(photo.value, bytes) else base64.b64decode(photo.value)
        else:
            prefix = "PHOTO:data:image/png;base64,"
            assert photo_line.startswith(prefix), label
            png = base64.b64decode(photo_line[len(prefix):], validate=True)
        assert png_size(png) == picture, (label, png_size(png))


def expected_from_json(program, args, phones, names):
    document = json.loads(run(program, ["--format=json"] + args))
    expected = []
    for card in document["cards"]:
        picture = None
        graphic = card.get("graphic")
        if graphic and graphic["width"] and graphic["height"] and \
                graphic["length"] == (graphic["width"] + 15) // 16 * 2 * graphic["height"]:
            picture = (graphic["width"], graphic["height"])
        shown = card.get("object", {}).get("picture")
        if shown and shown["format"] == "DIB":
            picture = (shown["width"], shown["height"])
        expected.append((card["title"], card["text"], names.get(card["number"]),
                         phones.get(card["number"], []), [], [], picture))
    return expected


def main():
    program, source, scratch = sys.argv[1:4]
    os.makedirs(scratch, exist_ok=True)
    examples = [("contacts.crd", ["-e", "Windows-1251"], CONTACTS_PHONES, CONTACTS_NAMES),
                ("office.crd", ["-e", "Windows-1252"], OFFICE_PHONES, {})]
    built = [crd.Entry(title.encode("cp1251"), crd.mgc_body(text.encode("cp1251")))
             for title, text, *_ in BUILT_CARDS]
    data, _ = crd.lay_out(crd.header(crd.MGC, len(built)), built)
    built_path = os.path.join(scratch, "built.crd")
    with open(built_path, "wb") as f:
        f.write(data)
    built_expected = [(title, text, n, phones, mails, webs, None)
                      for title, text, n, phones, mails, webs in BUILT_CARDS]
    for option, version in (("--format=vcard", "3.0"), ("--format=vcard4", "4.0")):
        several = []
        for name, choice, phones, names in examples:
            card_file = os.path.join(source, "examples", name)
            expected = expected_from_json(program, choice + [card_file], phones, names)
            check_cards(name, run(program, [option] + choice + [card_file]), version, expected)
            several += expected
            print("%s %s: %d cards read back" % (option, name, len(expected)))
        check_cards("built", run(program, [option, "-e", "Windows-1251", built_path]), version,
                    built_expected)
        # Several files: one stream.
        both = [os.path.join(source, "examples", name) for name, *_ in examples[:1]]
        check_cards("several", run(program, [option, "-e", "Windows-1251", built_path] + both),
                    version, built_expected + several[:len(expected_from_json(
                        program, ["-e", "Windows-1251"] + both, CONTACTS_PHONES,
                        CONTACTS_NAMES))])
        print("%s: built cards and several files read back" % option)
    return 0


if __name__ == "__main__":
    sys.exit(main())
