#!/usr/bin/env python3
"""Writes the benchmark card files: bench.mgc, its twin bench.rrg, and two
MGC files in other code pages, bench-1252.mgc and bench-1253.mgc.

Each holds 32,767 cards (the largest count the signed 16-bit card count
allows), each with an index line and a 440-byte text of words, spaces and
CR LF line ends; the bodies follow the index in card order, so all four
files have the same size and layout. bench.mgc and bench.rrg are Russian in
Windows-1251; bench-1252.mgc is French, German, Spanish and Portuguese in
Windows-1252, with accented letters and a few euro signs, dashes and curly
quotes; bench-1253.mgc is Greek in Windows-1253. The output is the same on
every run.

Usage: make_bench_files.py OUTPUT_DIR
"""

import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))
import cardfile_builder as crd  # noqa: E402

CARD_COUNT = 32767
TEXT_SIZE = 440
LINE_WIDTH = 64

RUSSIAN = dict(
    encoding="cp1251",
    seed=1251,
    surnames=(
        "Иванов Петров Сидоров Смирнов Кузнецов Попов Васильев Соколов Михайлов "
        "Новиков Фёдоров Морозов Волков Алексеев Лебедев Семёнов Егоров Павлов "
        "Козлов Степанов Николаев Орлов Андреев Макаров Никитин Захаров Зайцев"
    ).split(),
    names=(
        "Александр Алексей Анна Борис Валентина Виктор Галина Дмитрий Елена "
        "Екатерина Иван Ирина Константин Людмила Мария Михаил Наталья Ольга "
        "Павел Сергей Светлана Татьяна Юрий Юлия Ярослав"
    ).split(),
    streets=(
        "Ленина Гагарина Пушкина Садовая Центральная Молодёжная Школьная Лесная "
        "Советская Набережная Заречная Полевая Луговая Мира"
    ).split(),
    cities=(
        "Москва Тверь Казань Самара Пермь Вологда Ярославль Кострома Тула Рязань "
        "Владимир Калуга Смоленск Псков Новгород"
    ).split(),
    words=(
        "позвонить после обеда уточнить адрес доставки договор подписан счёт "
        "оплачен встреча перенесена на следующую неделю просил прислать каталог "
        "день рождения в марте заказ отправлен почтой сдача проекта до конца "
        "месяца контакт через секретаря предпочитает письма телефон рабочий "
        "передать привет коллегам обсудить условия поставки скидка постоянному "
        "клиенту"
    ).split(),
    address="г. %(city)s, ул. %(street)s, д. %(house)d, кв. %(flat)d",
    phone="тел. (%03d) %03d-%02d-%02d",
    card="Карточка № %d",
)

WESTERN = dict(
    encoding="cp1252",
    seed=1252,
    surnames=(
        "Dupont Lefèvre Müller Schröder García Núñez Gonçalves Fernández Peña "
        "Bäcker Jäger Köhler Moreau Lemaître Rodríguez Martín Gómez Simões "
        "Françoise Weiß Hoffmann Durand Bérénger Muñoz Magalhães Cortés Löwe"
    ).split(),
    names=(
        "François Hélène Jürgen Sören Inés José María João Cécile Zoë Renée "
        "Günter Björn Ángel Raúl Léa Jérôme André Agnès Gustavo Sebastián "
        "Amélie Lúcia Stéphane Andrés"
    ).split(),
    streets=(
        "Hauptstraße Schloßallee Königstraße Mühlenweg Gartenstraße "
        "Bahnhofstraße Lindenstraße Rosenstraße Marktplatz Kirchgäßchen"
    ).split(),
    cities=(
        "München Köln Zürich Genève Besançon Nîmes Orléans Málaga Cádiz Logroño "
        "Córdoba Düsseldorf Göttingen Évora Setúbal"
    ).split(),
    words=(
        "réunion déjà prévue à côté du café après le déjeuner envoyer la facture "
        "reçu payé très bien noté Straße Größe Bücher über für Grüße schön "
        "mañana señor año próximo envío teléfono atención información coração "
        "informações pagamento não são também até à próxima reunião "
        "où élève forêt naïve Ärger Übung Öl rückgängig fällig bestätigt "
        "Lieferung geändert Rechnung überwiesen contraseña dirección "
        "12,50 € 100 € – “urgent” “dringend”"
    ).split(),
    address="%(street)s %(house)d, %(flat)05d %(city)s",
    phone="Tél. +33 %03d %03d %02d %02d",
    card="Fiche n° %d",
)

GREEK = dict(
    encoding="cp1253",
    seed=1253,
    surnames=(
        "Παπαδόπουλος Νικολάου Γεωργίου Οικονόμου Βασιλείου Κωνσταντίνου "
        "Δημητρίου Ιωάννου Αθανασίου Παπαγεωργίου Χριστοδούλου Μαυρίδης "
        "Καραγιάννης Αντωνίου Σταματόπουλος Λαμπράκης Ζαχαρίου Πετρίδης"
    ).split(),
    names=(
        "Γιώργος Μαρία Νίκος Ελένη Δημήτρης Κατερίνα Γιάννης Σοφία Κώστας "
        "Βασιλική Παναγιώτης Χρυσούλα Θανάσης Ευαγγελία Σπύρος Δέσποινα "
        "Μιχάλης Ιωάννα Ανδρέας Φωτεινή"
    ).split(),
    streets=(
        "Ερμού Σταδίου Πανεπιστημίου Αθηνάς Πατησίων Ακαδημίας Σόλωνος "
        "Τσιμισκή Εγνατίας Μητροπόλεως Αριστοτέλους Κηφισίας"
    ).split(),
    cities=(
        "Αθήνα Θεσσαλονίκη Πάτρα Ηράκλειο Λάρισα Βόλος Ιωάννινα Χανιά Καβάλα "
        "Σέρρες Καλαμάτα Κοζάνη Ρόδος Κέρκυρα Τρίκαλα"
    ).split(),
    words=(
        "τηλεφώνησε μετά το μεσημέρι επιβεβαίωση διεύθυνσης αποστολής "
        "σύμβαση υπογράφηκε λογαριασμός πληρώθηκε συνάντηση μεταφέρθηκε την "
        "επόμενη εβδομάδα ζήτησε κατάλογο γενέθλια τον Μάρτιο παραγγελία "
        "στάλθηκε ταχυδρομικώς παράδοση έργου έως το τέλος του μήνα επικοινωνία "
        "μέσω γραμματέα προτιμά επιστολές τηλέφωνο εργασίας χαιρετισμούς "
        "στους συναδέλφους συζήτηση όρων προμήθειας έκπτωση σε σταθερό πελάτη"
    ).split(),
    address="οδ. %(street)s %(house)d, %(flat)03d %(city)s",
    phone="τηλ. %03d %03d %02d %02d",
    card="Καρτέλα αρ. %d",
)


def card_text(lang, rng, number):
    """A card text of exactly TEXT_SIZE bytes: address lines, then notes."""
    encoding = lang["encoding"]
    lines = [
        "%s %s" % (rng.choice(lang["names"]), rng.choice(lang["surnames"])),
        lang["address"]
        % dict(
            city=rng.choice(lang["cities"]),
            street=rng.choice(lang["streets"]),
            house=rng.randint(1, 120),
            flat=rng.randint(1, 300),
        ),
        lang["phone"]
        % (rng.randint(100, 999), rng.randint(100, 999), rng.randint(0, 99), rng.randint(0, 99)),
        lang["card"] % number,
    ]
    notes = []
    size = len("\r\n".join(lines).encode(encoding))
    # A few words more than fit; the text is cut to its size below.
    while size < TEXT_SIZE + 16:
        word = rng.choice(lang["words"])
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
    data = "\r\n".join(lines).encode(encoding)
    data = data[:TEXT_SIZE]
    return data + b" " * (TEXT_SIZE - len(data))


def index_line(lang, rng, number):
    line = "%s %s %d" % (rng.choice(lang["surnames"]), rng.choice(lang["names"]), number)
    return line.encode(lang["encoding"])[: crd.INDEX_TEXT_SIZE - 1]


def build(lang, signature):
    """Every card a text body behind the index, in card order."""
    rng = random.Random(lang["seed"])
    text_body = crd.rrg_text_body if signature == crd.RRG else crd.mgc_body
    entries = []
    for number in range(1, CARD_COUNT + 1):
        title = index_line(lang, rng, number)
        entries.append(crd.Entry(title, text_body(card_text(lang, rng, number))))
    data, _ = crd.lay_out(crd.header(signature, CARD_COUNT), entries)
    return data


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip().splitlines()[-1])
    out_dir = sys.argv[1]
    os.makedirs(out_dir, exist_ok=True)
    # "MGC" bodies have no picture; "RRG" bodies carry no object.
    files = (
        ("bench.mgc", RUSSIAN, crd.MGC),
        ("bench.rrg", RUSSIAN, crd.RRG),
        ("bench-1252.mgc", WESTERN, crd.MGC),
        ("bench-1253.mgc", GREEK, crd.MGC),
    )
    for name, lang, signature in files:
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(build(lang, signature))


if __name__ == "__main__":
    main()
