#!/usr/bin/env python3
"""Writes the benchmark card files: bench.mgc and its twin bench.rrg.

Both hold 32,767 cards (the largest count the signed 16-bit card count
allows), each with a Cyrillic index line and a 440-byte Windows-1251 text of
words, spaces and CR LF line ends; the bodies follow the index in card order.
The output is the same on every run.

Usage: make_bench_files.py OUTPUT_DIR
"""

import os
import random
import struct
import sys

CARD_COUNT = 32767
TEXT_SIZE = 440
INDEX_ENTRY_SIZE = 52
INDEX_TEXT_SIZE = 41
LINE_WIDTH = 64

SURNAMES = (
    "Иванов Петров Сидоров Смирнов Кузнецов Попов Васильев Соколов Михайлов "
    "Новиков Фёдоров Морозов Волков Алексеев Лебедев Семёнов Егоров Павлов "
    "Козлов Степанов Николаев Орлов Андреев Макаров Никитин Захаров Зайцев"
).split()
NAMES = (
    "Александр Алексей Анна Борис Валентина Виктор Галина Дмитрий Елена "
    "Екатерина Иван Ирина Константин Людмила Мария Михаил Наталья Ольга "
    "Павел Сергей Светлана Татьяна Юрий Юлия Ярослав"
).split()
STREETS = (
    "Ленина Гагарина Пушкина Садовая Центральная Молодёжная Школьная Лесная "
    "Советская Набережная Заречная Полевая Луговая Мира"
).split()
CITIES = (
    "Москва Тверь Казань Самара Пермь Вологда Ярославль Кострома Тула Рязань "
    "Владимир Калуга Смоленск Псков Новгород"
).split()
WORDS = (
    "позвонить после обеда уточнить адрес доставки договор подписан счёт "
    "оплачен встреча перенесена на следующую неделю просил прислать каталог "
    "день рождения в марте заказ отправлен почтой сдача проекта до конца "
    "месяца контакт через секретаря предпочитает письма телефон рабочий "
    "передать привет коллегам обсудить условия поставки скидка постоянному "
    "клиенту"
).split()


def encode(text):
    return text.encode("cp1251")


def card_text(rng, number):
    """A card text of exactly TEXT_SIZE bytes: address lines, then notes."""
    lines = [
        "%s %s" % (rng.choice(NAMES), rng.choice(SURNAMES)),
        "г. %s, ул. %s, д. %d, кв. %d"
        % (rng.choice(CITIES), rng.choice(STREETS), rng.randint(1, 120), rng.randint(1, 300)),
        "тел. (%03d) %03d-%02d-%02d"
        % (rng.randint(100, 999), rng.randint(100, 999), rng.randint(0, 99), rng.randint(0, 99)),
        "Карточка № %d" % number,
    ]
    notes = []
    size = len(encode("\r\n".join(lines)))
    # A few words more than fit; the text is cut to its size below.
    while size < TEXT_SIZE + 16:
        word = rng.choice(WORDS)
        notes.append(word)
        size += len(word) + 1
    line = ""
    for word in notes:
        if line and len(line) + 1 + len(word) > LINE_WIDTH:
            lines.append(line)
            line = word
        else:
            line = word if not line else line + " " + word
    lines.append(line)
    data = encode("\r\n".join(lines))
    data = data[:TEXT_SIZE]
    return data + b" " * (TEXT_SIZE - len(data))


def index_line(rng, number):
    line = "%s %s %d" % (rng.choice(SURNAMES), rng.choice(NAMES), number)
    return encode(line)[: INDEX_TEXT_SIZE - 1]


def build(header, body_prefix):
    rng = random.Random(1251)
    first_body = len(header) + CARD_COUNT * INDEX_ENTRY_SIZE
    index = bytearray()
    bodies = bytearray()
    for number in range(1, CARD_COUNT + 1):
        offset = first_body + len(bodies)
        title = index_line(rng, number)
        entry = bytes(6) + struct.pack("<IB", offset, 0) + title
        index += entry + bytes(INDEX_ENTRY_SIZE - len(entry))
        text = card_text(rng, number)
        bodies += body_prefix + struct.pack("<H", len(text)) + text
    return bytes(header) + bytes(index) + bytes(bodies)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip().splitlines()[-1])
    out_dir = sys.argv[1]
    os.makedirs(out_dir, exist_ok=True)
    # "MGC": signature and count; every body has no graphic block (length 0).
    mgc = build(b"MGC" + struct.pack("<h", CARD_COUNT), struct.pack("<H", 0))
    # "RRG": signature, 4 bytes not interpreted, count; object flag 0 on every body.
    rrg = build(b"RRG" + bytes(4) + struct.pack("<h", CARD_COUNT), struct.pack("<H", 0))
    for name, data in (("bench.mgc", mgc), ("bench.rrg", rrg)):
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
