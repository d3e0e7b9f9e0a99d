#!/usr/bin/env python3
"""Writes the sample card files in this directory.

    python3 examples/make_examples.py

contacts.crd  "MGC" variant: a Russian address book in Windows-1251, thirteen
              index entries (one of them a deleted card with no body, so the
              numbering shows a gap), one card carrying a picture (a monochrome
              bitmap; the text length follows its bits).
office.crd    "RRG" variant: English text cards and three cards carrying OLE
              objects, each with a text: an embedded Paintbrush picture (its
              native data a BMP file, a DIB presentation), a linked document
              (its path in the topic name, a metafile presentation) and a
              static picture.

The bytes of the format come from tests/cardfile_builder.py. The output is
the same, byte for byte, on every run (python3 tests/regenerate.py writes
these files with every other generated one).
"""

import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests"))
import cardfile_builder as crd  # noqa: E402


def crlf(lines):
    """Card texts keep the Windows line ends they were typed with."""
    return "\r\n".join(lines)


def title_bytes(title):
    line = title.encode("cp1251")
    if len(line) > crd.INDEX_TEXT_SIZE - 1:
        raise ValueError(f"index line too long: {title!r}")
    return line


def mgc_body(text, picture=None):
    return crd.mgc_body(text.encode("cp1251"), picture)


def rrg_text_body(text):
    return crd.rrg_text_body(text.encode("cp1251"))


def presentation(format_name, width, height, data):
    return crd.presentation(format_name, crd.ole_picture(format_name, width, height, data))


def rrg_object_body(uid, kind, class_name, object_data, text, rect=(8, 8, 120, 72)):
    """Object flag 1, UID, the OLE object, then the character size, the
    object's rectangle, the object type and the card's text."""
    return crd.object_body(uid, crd.ole_object(kind, class_name, object_data),
                           text.encode("cp1251"), crd.OBJECT_TYPE[kind], rect=rect)


def bmp_file(width, height, pixel):
    """A 24-bit BMP file; pixel(x, y) gives (red, green, blue), y from the top."""
    row_size = (width * 3 + 3) // 4 * 4
    rows = b""
    for y in reversed(range(height)):  # bottom row first
        row = b"".join(bytes(reversed(pixel(x, y))) for x in range(width))
        rows += row + bytes(row_size - len(row))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    offset = 14 + len(info)
    return b"BM" + struct.pack("<IHHI", offset + len(rows), 0, 0, offset) + info + rows


def floor_plan(x, y):
    """Walls, a door and a blue desk on white: the office floor plan."""
    if x in (0, 47) or y in (0, 31) or (x == 24 and not 12 <= y <= 18):
        return (0, 0, 0) if not (y == 31 and 6 <= x <= 12) else (255, 255, 255)
    if 30 <= x <= 40 and 6 <= y <= 10:
        return (40, 80, 200)
    return (255, 255, 255)


def stamp(x, y):
    """A red circle on cream: the company stamp."""
    inside = (x - 15.5) ** 2 + (y - 15.5) ** 2
    return (200, 30, 30) if 100 <= inside <= 196 else (255, 250, 230)


def metafile(width, height):
    """A Windows metafile: window extent, a rectangle round it, an ellipse inside."""
    def record(function, *params):
        return struct.pack("<IH", 3 + len(params), function) + struct.pack("<%dh" % len(params),
                                                                           *params)
    records = (record(0x020C, height, width) + record(0x041B, height, width, 0, 0) +
               record(0x0418, height - 2, width - 2, 2, 2) + record(0x0000))
    words = 9 + len(records) // 2
    return struct.pack("<HHHIHIH", 1, 9, 0x0300, words, 0, 7, 0) + records


def logo():
    """A small monochrome picture, 32 x 16 at (8, 108) on the card, below the
    card's five lines: a framed box with a diagonal, a letterhead mark."""
    width, height = 32, 16

    def ink(x, y):
        return y in (0, height - 1) or x in (0, width - 1) or x == 2 * y

    return crd.Picture(width, height, 8, 108, crd.monochrome_bits(width, height, ink))


def card_file(head, entries):
    """Index entries right behind the header, the bodies behind the index in
    card order. `entries` holds (title, body or None)."""
    data, _ = crd.lay_out(head, [crd.Entry(title_bytes(title), body) for title, body in entries])
    return data


def contacts():
    cards = [
        ("Аксёнова Мария Петровна", mgc_body(crlf([
            "г. Москва, ул. Садовая-Кудринская, д. 14, кв. 27",
            "Тел.: +7 (495) 123-45-67, моб. +7 916 555-12-34",
            "День рождения: 12 марта",
        ]))),
        ("Белов Андрей Сергеевич", mgc_body(crlf([
            "г. Санкт-Петербург, Невский пр., д. 88, кв. 5",
            "Работает в «Ленэнерго», отдел снабжения",
            "Тел.: +7 (812) 310-22-41",
        ]))),
        ("Бухгалтерия ООО «Северный ветер»", mgc_body(crlf([
            "г. Архангельск, наб. Северной Двины, д. 30",
            "Офис № 305, 3-й этаж, вход со двора",
            "Главный бухгалтер: Клёнова Ирина Юрьевна",
            "Тел./факс: (8182) 65-40-17",
            "Счета присылать до 25-го числа.",
        ]), picture=logo())),
        ("Воробьёв Пётр Ильич", mgc_body(crlf([
            "г. Тверь, ул. Советская, д. 3, кв. 41",
            "Тел.: (4822) 34-56-78",
            "Сосед по даче, ключи от сарая у него.",
        ]))),
        ("Гаврилов Олег (переехал)", None),  # a deleted card: no body
        ("Григорьева Ольга Николаевна", mgc_body(crlf([
            "г. Казань, ул. Баумана, д. 19, кв. 12",
            "Тел.: +7 (843) 292-11-05",
            "Подруга по институту. Дочь Алёна, 7 лет.",
        ]))),
        ("Дмитриев Семён Аркадьевич", mgc_body(crlf([
            "Нотариус",
            "г. Москва, Большая Никитская ул., д. 21, офис № 4",
            "Приём: пн–пт с 10:00 до 18:00",
            "Тел.: +7 (495) 690-03-15",
        ]))),
        ("Ёлкин Фёдор Матвеевич", mgc_body(crlf([
            "г. Ярославль, ул. Свободы, д. 52, кв. 9",
            "Тел.: (4852) 73-14-60",
            "Чинит старые часы и радиоприёмники.",
        ]))),
        ("Жукова Наталья Викторовна", mgc_body(crlf([
            "Врач-терапевт, поликлиника № 12",
            "Тел. регистратуры: +7 (495) 417-20-00",
        ]))),
        ("Зайцев Константин Олегович", mgc_body(crlf([
            "г. Новосибирск, Красный пр., д. 101, кв. 77",
            "Тел.: +7 (383) 222-87-19",
            "Должен 3 000 руб. — вернёт в мае.",
        ]))),
        ("Поликлиника № 12, регистратура", mgc_body(crlf([
            "г. Москва, ул. Вавилова, д. 61",
            "Тел.: +7 (495) 417-20-00",
            "Запись к врачу с 8:00, полис и паспорт с собой.",
        ]))),
        ("Соколова Елена — репетитор", mgc_body(crlf([
            "Английский язык, занятия по вторникам и четвергам",
            "Тел.: +7 926 301-44-82",
            "Оплата: 1 500 руб. за урок.",
        ]))),
        ("Напоминания: «Дачный сезон»", mgc_body(crlf([
            "— проверить насос и шланги;",
            "— купить семена: укроп, петрушка, редис;",
            "— позвонить Воробьёву насчёт ключей;",
            "— оплатить электричество до 1 мая.",
        ]))),
    ]
    return card_file(crd.header(crd.MGC, len(cards)), cards)


def office():
    plan = bmp_file(48, 32, floor_plan)
    stamp_bmp = bmp_file(32, 32, stamp)
    cards = [
        ("Acme Plumbing", rrg_text_body(crlf([
            "24-hour emergency line: (555) 010-4477",
            "Ask for Dave; he fixed the boiler in 1994.",
        ]))),
        ("Dentist - Dr. Helen Park", rrg_text_body(crlf([
            "Park Family Dental, 12 Elm Street, Suite 3",
            "Phone: (555) 013-2290",
            "Next check-up: October.",
        ]))),
        ("Office floor plan", rrg_object_body(
            1, crd.EMBEDDED, b"PBrush",
            crd.embedded_data(plan) + presentation(b"DIB", 48, 32, plan[14:]),
            crlf(["Second floor, east wing.",
                  "The desk by the window is the printer's."]), rect=(8, 48, 56, 80))),
        ("Printer supplies", rrg_text_body(crlf([
            "Toner: HP 92298A (two in the cupboard)",
            "Paper: A4, 80 g/m2, order from Northwind Stationers",
        ]))),
        ("Quarterly review", rrg_text_body(crlf([
            "Room 4B, first Monday of Jan, Apr, Jul, Oct, 9:30",
            "Bring the sales figures and the travel log.",
        ]))),
        ("Budget 1995 (linked)", rrg_object_body(
            2, crd.LINKED, b"Word.Document.6",
            crd.linked_data(b"C:\\DOCS\\BUDGET95.DOC",
                            network=b"\\\\OFFICE\\DOCS\\BUDGET95.DOC") +
            presentation(b"METAFILEPICT", 2540, 1270, metafile(200, 100)),
            crlf(["The budget lives on the office server;",
                  "this card shows its first page."]), rect=(8, 48, 208, 148))),
        ("Company stamp", rrg_object_body(
            3, crd.STATIC, b"DIB", crd.ole_picture(b"DIB", 32, 32, stamp_bmp[14:]),
            crlf(["Use on invoices only."]), rect=(8, 28, 40, 60))),
    ]
    last_object_uid = 3
    return card_file(crd.header(crd.RRG, len(cards), rrg_field=last_object_uid), cards)


def main():
    for name, data in (("contacts.crd", contacts()), ("office.crd", office())):
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
