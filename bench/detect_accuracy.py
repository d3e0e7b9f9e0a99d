#!/usr/bin/env python3
"""How often the code page detector finds the right page, and how fast it is.

Builds bench/detect_probe.cpp with src/decode (the real detector and
conversions) into BUILD_DIR, then:

1. Accuracy on running prose. Writes card files for each of the 14 code
   pages from the documents of running text that the models were NOT made
   from (make_detect_models.held_out_document: split by document, never by
   line), in each of the page's languages in turn: consecutive paragraphs
   of one document, each card its first words as the index line and the
   paragraph as the text (some with an ASCII line of a telephone number,
   an address or a date), until the file holds a target number of letters
   beyond ASCII, from 8 to 600 in turn (PROSE_TARGETS), so most files hold
   only a few dozen. Only paragraphs with a letter beyond ASCII are used. A
   language whose held-out documents hold too few such letters
   (MIN_HELD_PROSE) is measured on its held-out messages instead; the table
   says which. Needs the running text unpacked (make_detect_models.py
   --fetch). Prints a table per page (files, right, accuracy, the median
   letters beyond ASCII a file, the wrong answers, what it was measured on),
   the languages under 100% and the hard pairs: which page was taken for
   which, with the language and the letters beyond ASCII of each file.

2. Accuracy on messages. Writes a corpus of card files for each of the 14 code pages:
   address books, notes and recipes of 3 to 100 cards, each card an index
   line and a text of a few lines, in the page's main languages. The
   sentences are translated messages from the catalogues that the models
   were NOT made from (make_detect_models.held_out), so the detector is
   measured on text it never saw; names, addresses and telephone numbers
   around them are ASCII, as in real address books. Vietnamese is written
   with combining tone marks, as Windows wrote Windows-1258. Each file goes
   through the detector; the answer is right when it is the page the file
   was written in, or a page that decodes the file's bytes to the same
   characters. Prints a table per page (files, right, accuracy, weak
   guesses, the wrong answers), the hard pairs (the Latin pages among
   themselves, the double-byte pages among themselves), any double-byte
   answer for a single-byte file of at least 200 bytes 0x80 to 0xFF or the
   reverse, and how often random bytes are called a weak guess.

3. Speed. On the texts of the benchmark card files (bench/make_bench_files.py:
   32,767 cards of 440 bytes), the seconds the detection takes against the
   seconds the conversion of the same texts with the right page takes, best
   of RUNS, in the same program.

Usage: bench/detect_accuracy.py [--files N] [--speed-only | --accuracy-only |
                                 --prose-only]
Environment: BUILD_DIR (default build-detect-bench beside the tree), CXX,
             RUNS (default 7).
"""

import argparse
import os
import random
import struct
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "src", "decode"))
sys.path.insert(0, os.path.join(ROOT, "bench"))

import make_detect_models as models  # noqa: E402

PAGES = [874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258, 932, 936, 949, 950]
DOUBLE_BYTE = {932, 936, 949, 950}
LATIN = [1250, 1252, 1254, 1257, 1258]
TITLE_BYTES = 39
TEXT_BYTES = 440


def build_probe(build_dir):
    os.makedirs(build_dir, exist_ok=True)
    probe = os.path.join(build_dir, "detect_probe")
    sources = [os.path.join(ROOT, "bench", "detect_probe.cpp")] + [
        os.path.join(ROOT, "src", "decode", name)
        for name in ("detect.cpp", "decode.cpp", "single_byte.cpp")]
    cxx = os.environ.get("CXX", "g++")
    subprocess.run([cxx, "-std=c++17", "-O2", "-I", os.path.join(ROOT, "src"), "-o", probe]
                   + sources, check=True)
    return probe


def fit(text, page, limit):
    """`text` encoded in `page`, cut on a character boundary to `limit`
    bytes; None when the page cannot write it."""
    data = models.encode(text, page)
    if data is None:
        return None
    while len(data) > limit:
        text = text[:-1]
        data = models.encode(text, page)
    return data


def ascii_line(rng):
    """A line of an address book that every code page writes alike."""
    kind = rng.randrange(4)
    if kind == 0:
        return "+%d %03d %03d %02d %02d" % (rng.randint(1, 99), rng.randint(100, 999),
                                            rng.randint(100, 999), rng.randint(0, 99),
                                            rng.randint(0, 99))
    if kind == 1:
        return "%s%d@example.%s" % (rng.choice(["info", "office", "mail", "contact"]),
                                    rng.randint(1, 99), rng.choice(["com", "net", "org"]))
    if kind == 2:
        return "%d.%02d.%d" % (rng.randint(1, 28), rng.randint(1, 12), rng.randint(1985, 1999))
    return "%d x %d" % (rng.randint(1, 12), rng.randint(10, 500))


def card_file(page, sentences, rng):
    """The texts (index lines and card texts, bytes) of one card file."""
    count = rng.choice([3, 3, 4, 5, 6, 8, 10, 12, 16, 20, 30, 45, 60, 80, 100])
    texts = []
    for _ in range(count):
        title = None
        while title is None:
            title = fit(rng.choice(sentences), page, TITLE_BYTES)
        texts.append(title)
        lines = []
        for _ in range(rng.randint(1, 5)):
            if rng.random() < 0.3:
                lines.append(ascii_line(rng).encode())
            else:
                line = fit(rng.choice(sentences), page, 120)
                if line is not None:
                    lines.append(line)
        texts.append(b"\r\n".join(lines)[:TEXT_BYTES])
    return texts


def decoded(texts, page):
    codec = "cp%d" % page
    return [t.decode(codec, errors="replace") for t in texts]


def corpus(files_per_page, seed):
    """(page, texts) for every file, in a fixed order."""
    out = []
    for page in PAGES:
        by_language = []
        for lang in models.LANGUAGES[page]:
            sentences = [s for s in models.messages(lang, held=True)
                         if models.encode(s, page) is not None]
            if len(sentences) >= 50:
                by_language.append(sentences)
        rng = random.Random(seed * 100003 + page)
        for n in range(files_per_page):
            sentences = by_language[n % len(by_language)]
            out.append((page, card_file(page, sentences, rng)))
    return out


def pack(texts):
    data = [struct.pack("<I", len(texts))]
    for text in texts:
        data.append(struct.pack("<I", len(text)) + text)
    return b"".join(data)


def run_probe(probe, files):
    stdin = b"".join(pack(texts) for texts in files)
    result = subprocess.run([probe], input=stdin, stdout=subprocess.PIPE, check=True)
    answers = []
    for line in result.stdout.decode().splitlines():
        encoding, weak = line.split()
        answers.append((int(encoding), weak == "1"))
    assert len(answers) == len(files)
    return answers


def accuracy(probe, files_per_page):
    files = corpus(files_per_page, 16)
    answers = run_probe(probe, [texts for _, texts in files])
    rows, confusions, crossings = {}, {}, []
    for (page, texts), (found, weak) in zip(files, answers):
        row = rows.setdefault(page, [0, 0, 0])
        row[0] += 1
        row[2] += weak
        if found == page or decoded(texts, found) == decoded(texts, page):
            row[1] += 1
            continue
        confusions.setdefault(page, {}).setdefault(found, 0)
        confusions[page][found] += 1
        high = sum(1 for t in texts for b in t if b >= 0x80)
        if (page in DOUBLE_BYTE) != (found in DOUBLE_BYTE) and high >= 200:
            crossings.append((page, found, high))
    print("Accuracy on card files of held-out text (%d files a page)" % files_per_page)
    print()
    print("| page | files | right | accuracy | weak | wrong answers |")
    print("| --- | ---: | ---: | ---: | ---: | --- |")
    for page in PAGES:
        total, right, weak = rows[page]
        wrong = ", ".join("%d: %d" % (found, n)
                          for found, n in sorted(confusions.get(page, {}).items()))
        print("| Windows-%d | %d | %d | %.1f%% | %d | %s |"
              % (page, total, right, 100.0 * right / total, weak, wrong or "-"))
    for name, group in (("Latin pages among themselves", LATIN),
                        ("double-byte pages among themselves", sorted(DOUBLE_BYTE))):
        total = sum(rows[p][0] for p in group)
        wrong = sum(n for p in group for f, n in confusions.get(p, {}).items() if f in group)
        print("%s: %d files, %d confused within the group (%.1f%% right)"
              % (name, total, wrong, 100.0 * (total - wrong) / total))
    print("double-byte for single-byte or the reverse, >= 200 bytes 0x80-0xFF: %d%s"
          % (len(crossings), "".join(" (%d as %d, %d bytes)" % c for c in crossings)))
    rng = random.Random(7)
    noise = [[bytes(rng.randrange(256) or 1 for _ in range(rng.randint(20, 400)))
              for _ in range(rng.randint(6, 60))] for _ in range(100)]
    weak = sum(w for _, w in run_probe(probe, noise))
    print("random bytes: %d files, %d called a weak guess" % (len(noise), weak))


# Letters beyond ASCII that a file of running prose is made to hold, one
# target a file in turn: most files are notes of a few dozen such letters.
PROSE_TARGETS = [8, 12, 16, 20, 25, 30, 40, 50, 60, 80, 120, 250, 600]
# Held-out running text of a language counts when it has at least this many
# letters beyond ASCII; otherwise its held-out messages stand in.
MIN_HELD_PROSE = 500


def prose_paragraphs(lang, page):
    """(source, [paragraphs]) held out for `lang`: one list a document, each
    paragraph with a letter beyond ASCII and written in `page`."""
    documents = []
    for _, paragraphs in models.prose(lang, held=True):
        kept = [p for p in paragraphs if not p.isascii() and models.encode(p, page) is not None]
        if kept:
            documents.append(kept)
    high = sum(1 for d in documents for p in d for c in p if ord(c) >= 0x80)
    if high >= MIN_HELD_PROSE:
        return "prose", documents
    lines = [m for m in models.messages(lang, held=True)
             if not m.isascii() and len(m) >= 20 and models.encode(m, page) is not None]
    return "messages", [lines[i:i + 20] for i in range(0, len(lines), 20)]


def cut(text, page, limit):
    """`text` in `page`, cut at a space to at most `limit` bytes."""
    data = models.encode(text, page)
    while len(data) > limit:
        space = text.rfind(" ", 0, len(text) - 1)
        text = text[:space] if space > 0 else text[:-1]
        data = models.encode(text, page)
    return data


def prose_file(page, documents, target, rng):
    """The texts of a card file of running prose from one document onwards,
    holding about `target` letters beyond ASCII."""
    d = rng.randrange(len(documents))
    paragraphs = [p for doc in documents[d:] + documents[:d] for p in doc]
    texts, high, i = [], 0, rng.randrange(len(paragraphs))
    while high < target and len(texts) < 200:
        paragraph = paragraphs[i % len(paragraphs)]
        i += 1
        title = cut(" ".join(paragraph.split()[:5]), page, TITLE_BYTES)
        body = cut(paragraph, page, TEXT_BYTES - 40)
        if rng.random() < 0.4:
            body += b"\r\n" + ascii_line(rng).encode()
        texts += [title, body]
        high = sum(1 for t in texts for b in t if b >= 0x80)
    return texts


def prose_corpus(files_per_page, seed):
    """(page, language, source, high, texts) for every file, in a fixed order."""
    out = []
    for page in PAGES:
        languages = []
        for lang in models.LANGUAGES[page]:
            source, documents = prose_paragraphs(lang, page)
            if documents:
                languages.append((lang, source, documents))
        rng = random.Random(seed * 100003 + page)
        for n in range(files_per_page):
            lang, source, documents = languages[n % len(languages)]
            target = PROSE_TARGETS[(n // len(languages)) % len(PROSE_TARGETS)]
            texts = prose_file(page, documents, target, rng)
            high = sum(1 for t in texts for b in t if b >= 0x80)
            out.append((page, lang, source, high, texts))
    return out


def prose_accuracy(probe, files_per_page):
    files = prose_corpus(files_per_page, 22)
    answers = run_probe(probe, [f[4] for f in files])
    rows, languages, pairs, sources = {}, {}, {}, {}
    for (page, lang, source, high, texts), (found, _) in zip(files, answers):
        right = found == page or decoded(texts, found) == decoded(texts, page)
        row = rows.setdefault(page, [0, 0, []])
        row[0] += 1
        row[1] += right
        row[2].append(high)
        language = languages.setdefault((page, lang), [0, 0])
        language[0] += 1
        language[1] += right
        sources.setdefault(page, set()).add("%s (%s)" % (lang, source))
        if not right:
            pairs.setdefault((page, found), []).append((lang, high))
    print("Accuracy on card files of held-out running prose (%d files a page)" % files_per_page)
    print()
    print("| page | files | right | accuracy | letters beyond ASCII a file (median) "
          "| wrong answers | measured on |")
    print("| --- | ---: | ---: | ---: | ---: | --- | --- |")
    for page in PAGES:
        total, right, highs = rows[page]
        wrong = ", ".join("%d: %d" % (found, len(v))
                          for (p, found), v in sorted(pairs.items()) if p == page)
        print("| Windows-%d | %d | %d | %.1f%% | %d | %s | %s |"
              % (page, total, right, 100.0 * right / total, sorted(highs)[len(highs) // 2],
                 wrong or "-", ", ".join(sorted(sources[page]))))
    print()
    print("Languages under 100%:",
          ", ".join("%s (%d) %d/%d" % (lang, page, r, t)
                    for (page, lang), (t, r) in sorted(languages.items()) if r < t) or "none")
    print("Hard pairs (written in -> taken for: files, their languages and letters beyond ASCII):")
    for (page, found), wrong in sorted(pairs.items(), key=lambda kv: -len(kv[1])):
        print("  %d -> %d: %d (%s)" % (page, found, len(wrong),
                                      ", ".join("%s %d" % w for w in sorted(wrong)[:12])))


def speed(probe, build_dir, runs):
    import make_bench_files as bench

    print()
    print("Speed on the benchmark texts (32,767 cards of 440 bytes), best of %d" % runs)
    print()
    print("| file | answer | detection s | conversion s | detection / conversion |")
    print("| --- | --- | ---: | ---: | ---: |")
    for name, lang, page in (("bench.mgc", bench.RUSSIAN, 1251),
                             ("bench-1252.mgc", bench.WESTERN, 1252),
                             ("bench-1253.mgc", bench.GREEK, 1253)):
        rng = random.Random(lang["seed"])
        texts = []
        for number in range(1, bench.CARD_COUNT + 1):
            texts.append(bench.index_line(lang, rng, number))
            texts.append(bench.card_text(lang, rng, number))
        path = os.path.join(build_dir, name + ".texts")
        with open(path, "wb") as f:
            f.write(pack(texts))
        out = subprocess.run([probe, "--time", str(runs), path, str(page)],
                             stdout=subprocess.PIPE, check=True).stdout.decode().split()
        found, weak, detect_s, convert_s = out[:4]
        print("| %s | %s%s | %.4f | %.4f | %.2f |"
              % (name, found, " (weak)" if weak == "1" else "", float(detect_s),
                 float(convert_s), float(detect_s) / float(convert_s)))
    ascii_texts = [b"Card %d\r\nNothing but ASCII here, line after line." % n * 8
                   for n in range(2 * bench.CARD_COUNT)]
    path = os.path.join(build_dir, "ascii.texts")
    with open(path, "wb") as f:
        f.write(pack(ascii_texts))
    out = subprocess.run([probe, "--time", str(runs), path, "1252"],
                         stdout=subprocess.PIPE, check=True).stdout.decode().split()
    print("| all ASCII, %d MB | %s | %.4f | %.4f | %.2f |"
          % (sum(map(len, ascii_texts)) >> 20, out[0], float(out[2]), float(out[3]),
             float(out[2]) / float(out[3])))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--files", type=int, default=200, help="card files a page")
    parser.add_argument("--speed-only", action="store_true")
    parser.add_argument("--accuracy-only", action="store_true")
    parser.add_argument("--prose-only", action="store_true",
                        help="only the measurement on running prose")
    args = parser.parse_args()
    build_dir = os.environ.get("BUILD_DIR", os.path.join(os.path.dirname(ROOT),
                                                         "build-detect-bench"))
    probe = build_probe(build_dir)
    if not args.speed_only:
        prose_accuracy(probe, args.files)
        print()
    if args.prose_only:
        return
    if not args.speed_only:
        accuracy(probe, args.files)
    if not args.accuracy_only:
        speed(probe, build_dir, int(os.environ.get("RUNS", "7")))


if __name__ == "__main__":
    main()
