#!/usr/bin/env python3
"""Checks crdview's command line from the outside: which files a command line
lists, what it says on standard error and its exit status (one table); the
caret notation on a pseudo-terminal (Python's pty) against the bytes through
a pipe; JSON and CSV of several files (read back with Python's json and csv);
--find and --card; and --extract run twice into one directory.

The card files are built here with tests/cardfile_builder.py.

Usage: check_cli.py CRDVIEW SOURCE_DIR SCRATCH_DIR
"""

import csv
import io
import json
import os
import pty
import re
import select
import shutil
import subprocess
import sys

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def run(crdview, args, cwd):
    done = subprocess.run([crdview] + args, cwd=cwd, capture_output=True)
    return done.returncode, done.stdout, done.stderr


def banners(listing):
    """The files a listing shows, in order."""
    return [line[len(b"Windows Card File "):].decode()
            for line in listing.split(b"\n") if line.startswith(b"Windows Card File ")]


def on_terminal(crdview, args, cwd):
    """Standard output of crdview run on a pseudo-terminal, as the terminal got it."""
    pid, fd = pty.fork()
    if pid == 0:
        os.chdir(cwd)
        os.execv(crdview, [crdview] + args)
    got = b""
    exited = False
    while True:
        ready, _, _ = select.select([fd], [], [], 0.05)
        if ready:
            try:
                chunk = os.read(fd, 65536)
            except OSError:  # EIO: the child has closed the terminal
                chunk = b""
            if chunk:
                got += chunk
                continue
            if exited:
                break
        if not exited:
            exited = os.waitpid(pid, os.WNOHANG)[0] != 0
        elif not ready:
            break
    os.close(fd)
    # The terminal turns each LF into CR LF on its way out.
    return got.replace(b"\r\n", b"\n")


def main():
    crdview, source, scratch = sys.argv[1:4]
    sys.path.insert(0, os.path.join(source, "tests"))
    import cardfile_builder as cb

    shutil.rmtree(scratch, ignore_errors=True)
    os.makedirs(scratch)

    def write(name, data):
        with open(os.path.join(scratch, name), "wb") as f:
            f.write(data)

    def mgc(cards):
        return cb.lay_out(cb.header(cb.MGC, len(cards)),
                          [cb.Entry(title, cb.mgc_body(text)) for title, text in cards])[0]

    write("a.crd", mgc([(b"Alpha", b"first")]))
    write("b.crd", mgc([(b"Beta", b"second")]))
    write("c.crd", mgc([(b"Gamma", b"third")]))
    # Windows-1251: "Ivanov" and "Petrov", in Cyrillic.
    write("ru.crd", mgc([("Иванов".encode("cp1251"), "Москва".encode("cp1251")),
                         ("Петров".encode("cp1251"), "Киев".encode("cp1251"))]))
    write("pk.crd", b"PK\x03\x04" + bytes(20))
    write("dko.crd", b"DKO" + bytes(20))
    os.makedirs(os.path.join(scratch, "dir"))

    not_stored = ('crdview: unknown encoding "%s"; the texts are shown as stored; '
                  'did you mean "Windows-1251"?')
    # Words in; files listed, standard error lines and status out.
    table = [
        (["a.crd", "b.crd", "c.crd"], ["a.crd", "b.crd", "c.crd"], [], 0),
        (["a.crd", "b.crd"], ["a.crd", "b.crd"], [], 0),
        (["a.crd", "b.crd", "c.crd", "a.crd"], ["a.crd", "b.crd", "c.crd", "a.crd"], [], 0),
        (["a.crd", "missing.crd", "b.crd"], ["a.crd", "missing.crd", "b.crd"],
         ["crdview: missing.crd: No such file or directory"], 1),
        (["dir"], ["dir"], ["crdview: dir: Is a directory"], 1),
        (["pk.crd"], ["pk.crd"], ['crdview: pk.crd: not a card file (it begins with "PK\\x03")'], 1),
        (["dko.crd"], ["dko.crd"],
         ['crdview: dko.crd: a Unicode card file of Windows NT ("DKO"), which crdview cannot '
          'read yet'], 1),
        # -e anywhere, for every file.
        (["ru.crd", "-e", "Windows-1251"], ["ru.crd"], [], 0),
        (["-e", "Windows-1251", "a.crd", "ru.crd"], ["a.crd", "ru.crd"], [], 0),
        # The classic three words.
        (["-E", "Windows-1251", "a.crd"], ["a.crd"],
         ['crdview: "-E" is not an option; the texts are shown as stored'], 0),
        (["-x", "y", "a.crd"], ["a.crd"],
         ['crdview: "-x" is not an option; the texts are shown as stored'], 0),
        (["-e", "KOI8-R", "a.crd"], ["a.crd"],
         ['crdview: unknown encoding "KOI8-R"; the texts are shown as stored (known: '
          'Windows-874, Windows-1250 to Windows-1258, Windows-932, 936, 949, 950)'], 0),
        (["-e", "windows-1251", "a.crd"], ["a.crd"], [not_stored % "windows-1251"], 0),
        (["a.crd", "-e", "cp1251"], ["a.crd"], [not_stored % "cp1251"], 0),
        (["--encoding=cp1251", "a.crd"], ["a.crd"], [], 0),
        (["--encoding", "WINDOWS-1251", "a.crd"], ["a.crd"], [], 0),
        (["--encoding=1251", "a.crd"], ["a.crd"], [], 0),
        # Usage errors: nothing listed.
        (["a.crd", "-x", "y"], [], ['crdview: "-x" is not an option'], 2),
        (["--verbose", "a.crd"], [], ['crdview: "--verbose" is not an option'], 2),
        (["a.crd", "-e"], [], ["crdview: -e needs a value"], 2),
        (["-e", "Windows-1251", "a.crd", "-e", "Windows-1252"], [],
         ['crdview: "-e Windows-1251" and "-e Windows-1252" both name an encoding'], 2),
        (["--card=0", "a.crd"], [],
         ["crdview: --card=0: not a list of card numbers (such as 3, 3,7 or 10-20)"], 2),
        (["--card=5-3", "a.crd"], [],
         ["crdview: --card=5-3: not a list of card numbers (such as 3, 3,7 or 10-20)"], 2),
        (["--overwrite", "a.crd"], [], ["crdview: --overwrite goes with --extract"], 2),
        ([], [], [], 2),
        # After "--", and "-" alone, are files.
        (["--", "-x"], ["-x"], ["crdview: -x: No such file or directory"], 1),
        (["--strict", "a.crd", "b.crd"], ["a.crd", "b.crd"], [], 0),
    ]
    for args, files, err_lines, status in table:
        got_status, out, err = run(crdview, args, scratch)
        shown = banners(out) if b"Usage:" not in out else []
        check((shown, err.decode().splitlines(), got_status) == (files, err_lines, status),
              "%s: listed %s, stderr %r, status %d" % (args, shown, err, got_status))
    # A usage error names the word before the help.
    _, out, _ = run(crdview, ["--verbose", "a.crd"], scratch)
    check(b"Usage:" in out, "--verbose: no help")
    # Converted: the Cyrillic of ru.crd, for a file after -e and one before it.
    for args in (["ru.crd", "-e", "Windows-1251"], ["-e", "Windows-1251", "a.crd", "ru.crd"],
                 ["--encoding=CP1251", "ru.crd"]):
        check("Иванов".encode() in run(crdview, args, scratch)[1], "%s: not converted" % args)

    # Caret notation on a terminal; every byte as stored through a pipe.
    controls = b"\x1b]0;owned\x07 \x1b[2J tab\there CR LF\r\nlone\rCR del\x7f"
    write("esc.crd", mgc([(b"Title\x1b[31m", controls)]))
    piped = run(crdview, ["esc.crd"], scratch)[1]
    check(controls in piped and b"Title\x1b[31m" in piped, "pipe: control bytes not as stored")
    screen = on_terminal(crdview, ["esc.crd"], scratch)
    carets = b"^[]0;owned^G ^[[2J tab\there CR LF\r\nlone^MCR del^?"
    check(carets in screen and b"Title^[[31m" in screen, "terminal: %r" % screen)
    check(not any(c in screen for c in b"\x1b\x07\x7f"), "terminal: a control byte got through")
    raw = on_terminal(crdview, ["--raw", "esc.crd"], scratch)
    check(b"\x1b[2J" in raw, "terminal --raw: not as stored: %r" % raw)
    # The same but for caret notation: the rest of the listing is unchanged.
    check(screen == piped.replace(controls, carets).replace(b"Title\x1b[31m", b"Title^[[31m"),
          "terminal: more than the controls differ")
    check(json.loads(run(crdview, ["--format=json", "esc.crd"], scratch)[1])["cards"][0]["text"]
          == controls.decode(), "json: the text differs")

    # JSON: one array of the documents each file gives; CSV: a first column "file".
    documents = json.loads(run(crdview, ["--format=json", "a.crd", "missing.crd", "b.crd"],
                               scratch)[1])
    alone = [json.loads(run(crdview, ["--format=json", name], scratch)[1])
             for name in ("a.crd", "b.crd")]
    check(documents == alone, "json of several files: %r" % documents)
    check(run(crdview, ["--format=json", "a.crd"], scratch)[1].startswith(b"{"),
          "json of one file: not a document")
    rows = list(csv.reader(io.StringIO(
        run(crdview, ["--format=csv", "a.crd", "b.crd"], scratch)[1].decode(), newline="")))
    check(rows == [["file", "number", "title", "text"], ["a.crd", "1", "Alpha", "first"],
                   ["b.crd", "1", "Beta", "second"]], "csv of several files: %r" % rows)

    # --find (any case, after decoding) and --card keep cards; the count stays.
    def cards(args):
        return [c["title"] for c in json.loads(run(crdview, ["--format=json"] + args,
                                                   scratch)[1])["cards"]]
    check(cards(["-e", "Windows-1251", "--find=МОСКВА", "ru.crd"]) == ["Иванов"],
          "--find: Cyrillic in another case")
    check(cards(["-e", "Windows-1251", "--find=петр", "ru.crd"]) == ["Петров"], "--find: title")
    check(cards(["--card=2", "ru.crd", "-e", "Windows-1251"]) == ["Петров"], "--card=2")
    check(cards(["--card=1-2", "--find=ALPHA", "a.crd"]) == ["Alpha"], "--card and --find")
    out = run(crdview, ["--card=2", "ru.crd"], scratch)[1]
    check(b"total cards: 2" in out and b"Card 1" not in out and b"Card 2" in out,
          "--card: listing")

    # --extract twice into one directory, created with its parents.
    office = os.path.join(source, "examples", "office.crd")
    target = os.path.join(scratch, "new", "pictures")
    first = run(crdview, ["--extract=" + target, office], scratch)
    kept = {name: open(os.path.join(target, name), "rb").read() for name in os.listdir(target)}
    check(first[0] == 0 and first[2].endswith(b"wrote %d files to %s\n" % (len(kept),
                                                                          target.encode())),
          "extract: first run %r" % (first,))
    check(sorted(kept) == ["card-3.bmp", "card-6.wmf", "card-7.bmp"],
          "extract: a preview equal to its picture is written once: %s" % sorted(kept))
    second = run(crdview, ["--extract=" + target, office], scratch)
    check(second[0] == 1 and second[1] == first[1], "extract: second run lists in full")
    lines = second[2].decode().splitlines()
    check(lines == ["crdview: %s/%s: exists, left as it is" % (target, name) for name in
                    sorted(kept)] + ["crdview: wrote 0 files to %s (3 skipped: they exist)"
                                     % target], "extract: second run said %r" % lines)
    check(all(open(os.path.join(target, n), "rb").read() == kept[n] for n in kept),
          "extract: a file was touched")
    # --overwrite replaces regular files, never through a symbolic link.
    os.remove(os.path.join(target, "card-6.wmf"))
    os.symlink(os.path.join(scratch, "elsewhere"), os.path.join(target, "card-6.wmf"))
    with open(os.path.join(target, "card-3.bmp"), "wb") as f:
        f.write(b"old")
    status, _, err = run(crdview, ["--overwrite", "--extract=" + target, office], scratch)
    check(status == 1 and b"card-6.wmf: a symbolic link, left as it is" in err and
          not os.path.exists(os.path.join(scratch, "elsewhere")), "overwrite: symbolic link")
    check(open(os.path.join(target, "card-3.bmp"), "rb").read() == kept["card-3.bmp"],
          "overwrite: card-3.bmp not replaced")
    # Several card files: each file's names begin with its name.
    target = os.path.join(scratch, "both")
    status, _, err = run(crdview, ["--extract=" + target, office,
                                   os.path.join(source, "examples", "contacts.crd")], scratch)
    check(status == 0 and "contacts-card-3.bmp" in os.listdir(target) and
          "office-card-7.bmp" in os.listdir(target), "extract several: %s" % os.listdir(target))
    # Not a directory: a usage error.
    status, out, _ = run(crdview, ["--extract=a.crd/x", "a.crd"], scratch)
    check(status == 2 and out == b"", "extract into a file's path: status %d" % status)

    # The code page: JSON and CSV choose it by what the texts look like and
    # say so; a listing on a terminal with --raw only suggests it (without,
    # see check_terminal.py); a pipe hears nothing.
    contacts = os.path.join(source, "examples", "contacts.crd")
    status, out, err = run(crdview, ["--format=json", contacts], scratch)
    document = json.loads(out)
    check(status == 0 and document["encoding"] == "Windows-1251" and
          document["encoding_detected"] is True and
          document["cards"][0]["title"] == "Аксёнова Мария Петровна" and
          err.startswith(b"crdview: %s: the texts look like Windows-1251 (Cyrillic: Russian" %
                         contacts.encode()) and err.endswith(b"; -e Windows-1251 chooses it yourself\n"),
          "auto: %r" % err)
    found = json.loads(run(crdview, ["--format=json", "--find=москва", contacts], scratch)[1])
    check([card["number"] for card in found["cards"]] == [1, 7, 11],
          "--find in the code page the texts look like: %r" % found["cards"])
    # The listing shows the texts as stored, and finds the same cards.
    status, out, err = run(crdview, ["--find=москва", contacts], scratch)
    check(status == 0 and re.findall(rb"\n *Card (\d+)\n", out) == [b"1", b"7", b"11"] and
          "Москва".encode("cp1251") in out and err == b"",
          "--find in the listing without -e: %r" % re.findall(rb"Card \d+", out))
    named = json.loads(run(crdview, ["--format=json", "-e", "Windows-1251", contacts], scratch)[1])
    check(named["encoding_detected"] is False, "auto: -e named is not detected")
    check(run(crdview, ["--format=csv", "--encoding=auto", "a.crd"], scratch)[2] ==
          b"crdview: a.crd: the texts are ASCII; any code page shows them alike\n", "auto: ASCII")
    noise = bytes((i * 131 + 7) % 128 + 128 for i in range(400))
    write("noise.crd", mgc([(b"Noise", noise)]))
    check(b"the guess is weak" in run(crdview, ["-e", "auto", "noise.crd"], scratch)[2],
          "auto: random bytes are a weak guess")
    screen = on_terminal(crdview, ["--raw", contacts], scratch)
    check(b"crdview: the texts look like Windows-1251 (Cyrillic); crdview -e Windows-1251 " in screen
          and b" shows them in UTF-8" in screen, "terminal --raw: no code page hint")
    check(run(crdview, [contacts], scratch)[2] == b"", "pipe: a code page hint")
    check(b"look like" not in on_terminal(crdview, ["a.crd"], scratch), "terminal: hint for ASCII")

    print("%d problems" % len(failures))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
