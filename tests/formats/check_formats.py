#!/usr/bin/env python3
"""Checks crdview's JSON and CSV against its own listing, with Python's json
and csv modules as independent parsers.

For every card file given, and for Windows-1252 (the formats' default) and
Windows-1251: the JSON document must parse (strict UTF-8, no raw control
characters), and the listing of the same file in the same code page must show
its variant, count, and each card's number, title and text, in order; the CSV must parse into the
header row and one record per card of the JSON document, each record ending
with CR LF, a field that a spreadsheet would evaluate (its first character
'=', '+', '-', '@', TAB or CR) behind an apostrophe, and with --csv-as-stored
every field exactly as the JSON document holds it. The damage report on standard error must be the same in the
three formats and hold exactly the problems the JSON document lists (the
file's and each card's, "card N: " before a card's), at most 20 lines and
then one that says how many more there are. A file that is not a card file
must give nothing on standard output, one line on standard error and exit
status 1.

Usage: check_formats.py CRDVIEW CARD_FILE...
"""

import csv
import io
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile


def run(args):
    done = subprocess.run(args, capture_output=True)
    return done.returncode, done.stdout, done.stderr


def listing_holds(listing, document):
    """Whether the listing shows what the JSON document holds: the variant
    and the count, then for each card, in order, its number, its title and
    its text (when it has one), each on lines of their own; and as many
    card headings as the document has cards."""
    pos = listing.find(b"%s card file, total cards: %d\n" % (document["variant"].encode(),
                                                                document["count"]))
    if pos < 0:
        return False
    for card in document["cards"]:
        pieces = [b"Card %d\n" % card["number"], b"\n" + card["title"].encode() + b"\n"]
        if card["text"] is not None:
            pieces.append(b"\n" + card["text"].encode() + b"\n")
        for piece in pieces:
            at = listing.find(piece, pos)
            if at < 0:
                return False
            pos = at + len(piece)
    return len(re.findall(rb"\n *Card \d+\n--------\n", listing)) == len(document["cards"])


REPORTED_PROBLEMS = 20


def report_problems(path, document, report):
    """What is wrong with the damage report `report` (standard error), given
    the problems the JSON document lists. The order of the file's problems
    among the cards' is not told by the document: the lines are compared as
    a multiset."""
    if not isinstance(document.get("problems"), list):
        return "the json has no top-level \"problems\" list"
    problems = list(document["problems"])
    for card in document["cards"]:
        problems += ["card %d: %s" % (card["number"], p) for p in card.get("problems", [])]
    expected = ["crdview: %s: %s" % (path, p) for p in problems]
    lines = report.decode("utf-8", errors="replace").splitlines()
    if len(expected) > REPORTED_PROBLEMS:
        more = len(expected) - REPORTED_PROBLEMS
        tail = "crdview: %s: %d more problem%s" % (path, more, "" if more == 1 else "s")
        if not lines or lines.pop() != tail:
            return "the report does not end with %r" % tail
        for line in lines:
            if line not in expected:
                return "the report holds %r, which the JSON does not" % line
            expected.remove(line)
        return None if len(lines) == REPORTED_PROBLEMS else "%d lines reported" % len(lines)
    if sorted(lines) != sorted(expected):
        return "the report %r differs from the JSON problems %r" % (lines, expected)
    return None


def kept_text(field):
    """A CSV field as a spreadsheet must see it: never a formula (OWASP)."""
    return "'" + field if field[:1] in ("=", "+", "-", "@", "\t", "\r") else field


def check(crdview, path, encoding):
    problems = []
    status, listing, report = run([crdview, "-e", encoding, path])
    js_status, js, js_err = run([crdview, "--format=json", "-e", encoding, path])
    csv_status, cs, cs_err = run([crdview, "--format", "csv", "--encoding", encoding, path])
    if status != 0 and b"Not the Windows Card file." in listing:
        for name, st, out, err in (("json", js_status, js, js_err),
                                   ("csv", csv_status, cs, cs_err)):
            says_why = b"not a card file" in err or b"Unicode card file" in err
            if st != 1 or out or err.count(b"\n") != 1 or not says_why:
                problems.append("%s of a file that is not a card file: status %d, %d bytes out, "
                                "stderr %r" % (name, st, len(out), err))
        return problems
    if js_status != status or csv_status != status:
        problems.append("status: listing %d, json %d, csv %d" % (status, js_status, csv_status))
    try:
        document = json.loads(js)
    except ValueError as error:
        return problems + ["json does not parse: %s" % error]
    if status == 0 and not listing_holds(listing, document):
        problems.append("json does not hold what the listing shows")
    if status == 0:
        if js_err != report or cs_err != report:
            problems.append("standard error differs: listing %r, json %r, csv %r"
                            % (report, js_err, cs_err))
        wrong = report_problems(path, document, report)
        if wrong:
            problems.append(wrong)
    records = cs.split(b"\r\n")
    if records[-1] != b"":
        problems.append("csv does not end with CR LF")
    as_stored = run([crdview, "--format=csv", "--csv-as-stored", "-e", encoding, path])[1]
    stored = [[str(card["number"]), card["title"], card["text"] or ""]
              for card in document["cards"]]
    for name, table, cards in (
            ("csv", cs, [[number, kept_text(title), kept_text(text)]
                         for number, title, text in stored]),
            ("csv --csv-as-stored", as_stored, stored)):
        rows = list(csv.reader(io.StringIO(table.decode("utf-8"), newline="")))
        if rows != [["number", "title", "text"]] + cards:
            problems.append("%s records differ from the json cards" % name)
    return problems


def check_file_column(crdview, path):
    """The "file" column of several files is guarded as the cards' fields
    are: card files named "=1+2.crd" and "-x.crd" (after "--")."""
    with tempfile.TemporaryDirectory() as scratch:
        names = ["=1+2.crd", "-x.crd"]
        for name in names:
            shutil.copy(path, os.path.join(scratch, name))
        table = subprocess.run([os.path.abspath(crdview), "--format=csv", "--"] + names,
                               capture_output=True, cwd=scratch).stdout
    rows = list(csv.reader(io.StringIO(table.decode("utf-8"), newline="")))
    files = sorted(set(row[0] for row in rows[1:]))
    return [] if files == ["'-x.crd", "'=1+2.crd"] else ["csv file column: %r" % files]


def main():
    crdview, paths = sys.argv[1], sys.argv[2:]
    failed = 0
    sample = next((p for p in paths if p.endswith("contacts.crd")), paths[0])
    for problem in check_file_column(crdview, sample):
        print("FAIL:", problem)
        failed += 1
    for path in paths:
        for encoding in ("Windows-1252", "Windows-1251"):
            for problem in check(crdview, path, encoding):
                print("FAIL %s (%s): %s" % (path, encoding, problem))
                failed += 1
    print("%d files checked, %d problems" % (len(paths), failed))
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
