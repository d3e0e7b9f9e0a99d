#!/usr/bin/env python3
"""Writes the sample card files in this directory.

    python3 examples/make_examples.py

contacts.crd  "MGC" variant: a Russian address book in Windows-1251, thirteen
              index entries (one of them a deleted card with no body, so the
              numbering shows a gap), one card carrying a graphic block.
office.crd    "RRG" variant: English text cards and one card carrying an
              embedded OLE object.

The output is the same, byte for byte, on every run.
"""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

INDEX_ENTRY_SIZE = 52
INDEX_TEXT_SIZE = 41  # 40 characters and the NUL


def crlf(lines):
    """Card texts keep the Windows line ends they were typed with."""
    return "\r\n".join(lines)


def index_entry(title, body_offset, flag=0):
    """6 bytes not interpreted, the body offset, the flag, the index line."""
    line = title.encode("cp1251")
    if len(line) > INDEX_TEXT_SIZE - 1:
        raise ValueError(f"index line too long: {title!r}")
    entry = bytes(6) + struct.pack("<IB", body_offset, flag) + line.ljust(INDEX_TEXT_SIZE, b"\0")
    assert len(entry) == INDEX_ENTRY_SIZE
    return entry


def mgc_body(text, graphic=None):
    """Graphic block length G, G + 10 bytes of graphic block when G is not 0,
    then the text length and the text."""
    body = b""
    if graphic is None:
        body += struct.pack("<H", 0)
    else:
        size, block = graphic
        assert len(block) == size + 10
        body += struct.pack("<H", size) + block
    data = text.encode("cp1251")
    return body + struct.pack("<H", len(data)) + data


def rrg_text_body(text):
    data = text.encode("cp1251")
    return struct.pack("<HH", 0, len(data)) + data


def rrg_object_body(uid, format_id, class_name, payload):
    """Object flag 1, UID, a field the viewer does not interpret, format ID,
    class name length, then the class name and the object's data."""
    name = class_name.encode("ascii") + b"\0"
    return (struct.pack("<HiIii", 1, uid, 0, format_id, len(name)) + name +
            struct.pack("<I", len(payload)) + payload)


def logo_block():
    """A small monochrome picture: width, height, position, then 32 x 16 bits."""
    width, height = 32, 16
    rows = []
    for y in range(height):
        row = 0
        for x in range(width):
            # A framed box with a diagonal: a letterhead mark.
            if y in (0, height - 1) or x in (0, width - 1) or x == 2 * y:
                row |= 1 << (width - 1 - x)
        rows.append(struct.pack(">I", row))
    bits = b"".join(rows)
    header = struct.pack("<HHHH", width, height, 8, 4) + b"\0\0"
    block = header + bits
    return len(block) - 10, block


def card_file(header, entries):
    """Index entries right behind the header, the bodies behind the index in
    card order. `entries` holds (title, body or None, flag)."""
    first_body = len(header) + INDEX_ENTRY_SIZE * len(entries)
    index = b""
    bodies = b""
    for title, body, flag in entries:
        if body is None:
            index += index_entry(title, 0, flag)
            continue
        index += index_entry(title, first_body + len(bodies), flag)
        bodies += body
    return header + index + bodies


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
        ]), graphic=logo_block())),
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
    entries = [(title, body, 0) for title, body in cards]
    header = b"MGC" + struct.pack("<h", len(entries))
    return card_file(header, entries)


def office():
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
            uid=1, format_id=2, class_name="PBrush",
            payload=bytes(range(32)))),
        ("Printer supplies", rrg_text_body(crlf([
            "Toner: HP 92298A (two in the cupboard)",
            "Paper: A4, 80 g/m2, order from Northwind Stationers",
        ]))),
        ("Quarterly review", rrg_text_body(crlf([
            "Room 4B, first Monday of Jan, Apr, Jul, Oct, 9:30",
            "Bring the sales figures and the travel log.",
        ]))),
    ]
    entries = [(title, body, 0) for title, body in cards]
    last_object_uid = 1
    header = b"RRG" + struct.pack("<Ih", last_object_uid, len(entries))
    return card_file(header, entries)


def main():
    for name, data in (("contacts.crd", contacts()), ("office.crd", office())):
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
