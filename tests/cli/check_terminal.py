#!/usr/bin/env python3
"""Checks what crdview writes to a terminal (Python's pty) against what a pipe
gets, for hostile card files and names stated in bytes here: nothing from a
file or its name drives the terminal; a listing with no code page named comes
in the page its texts look like, with its one line about it after it; and
--open with a stand-in xdg-open on PATH that records the page it is given.

Usage: check_terminal.py CRDVIEW SOURCE_DIR SCRATCH_DIR
"""

import os
import shutil
import subprocess
import sys

from check_cli import on_terminal

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def driving_bytes(screen):
    """What in `screen` a terminal would act on: C0 controls but TAB, LF and
    CR LF, DEL, bytes 0x80 to 0x9F outside UTF-8, and U+0080 to U+009F."""
    text = screen.replace(b"\r\n", b"\n").decode("utf-8", "surrogateescape")
    return [c for c in text if (ord(c) < 0x20 and c not in "\t\n") or 0x7F <= ord(c) <= 0x9F
            or 0xDC80 <= ord(c) <= 0xDC9F]


def run(crdview, args, cwd, env=None):
    done = subprocess.run([crdview] + args, cwd=cwd, capture_output=True, env=env)
    return done.returncode, done.stdout, done.stderr


def check_hostile(crdview, scratch, mgc):
    def write(name, data):
        with open(os.path.join(os.fsencode(scratch), name), "wb") as f:
            f.write(data)

    write(b"esc-c.crd", b"\x1bc\x9b")  # ESC c resets the screen; 0x9B is CSI
    write(b"osc\x1b]2;owned\x07.crd", mgc([(b"T", b"x")]))  # retitles the window
    write(b"stray\x9b2J.crd", mgc([(b"T", b"x")]))  # CSI on an 8-bit terminal
    write(b"c1.crd", mgc([(b"csi\x9b31m", b"osc\x9d0;t\x07 st\x9c \x1b[2J del\x7f")]))
    write(b"sjis.crd", mgc([(b"T", b"\x80 in Windows-932 is U+0080")]))
    # Arguments in; what the terminal must show, and what it showed before.
    table = [
        ([b"esc-c.crd"], [b"The signature is not supported: ^[cM-^[",
                          b'crdview: esc-c.crd: not a card file (it begins with "\\x1Bc\\x9B")']),
        ([b"osc\x1b]2;owned\x07.crd"], [b"Windows Card File osc^[]2;owned^G.crd"]),
        ([b"missing\x1b]2;owned\x07.crd"],
         [b"Windows Card File missing^[]2;owned^G.crd",
          b"crdview: missing^[]2;owned^G.crd: No such file or directory"]),
        ([b"stray\x9b2J.crd"], [b"Windows Card File strayM-^[2J.crd"]),
        ([b"missing\xc2\x9d.crd"], [b"crdview: missingM-^].crd: No such file or directory"]),
        # Texts as stored (an unknown -e): each byte 0x80 to 0x9F as cat -v shows it.
        ([b"-e", b"KOI8-R", b"c1.crd"],
         [b"\ncsiM-^[31m\n", b"\noscM-^]0;t^G stM-^\\ ^[[2J del^?\n"]),
        # Decoded: U+0080 to U+009F so, and the rest of UTF-8 as it is.
        ([b"-e", b"Windows-932", b"sjis.crd"], [b"\nM-^@ in Windows-932 is U+0080\n"]),
        ([b"-e", b"Windows-1252", b"c1.crd"], [b"\ncsi\xe2\x80\xba31m\n"]),
    ]
    for args, shown in table:
        screen = on_terminal(crdview, args, scratch)
        check(all(part in screen for part in shown) and not driving_bytes(screen),
              "terminal %r: %r" % (args, screen))
        # Standard error escapes names through a pipe too; standard output
        # keeps every byte.
        status, out, err = run(crdview, args, scratch)
        check(not driving_bytes(err), "stderr %r: %r" % (args, err))
        check(b"\x1b" not in args[-1] or args[-1] in out, "pipe %r: %r" % (args, out))
    # --raw: on a terminal too, the bytes a pipe gets.
    for args in ([b"--raw", b"c1.crd"], [b"--raw", b"esc-c.crd"], [b"--raw", b"-e", b"Windows-932",
                                                                    b"sjis.crd"]):
        piped = run(crdview, args, scratch)[1].replace(b"\r\n", b"\n")
        check(on_terminal(crdview, args, scratch).startswith(piped),
              "terminal %r: not as a pipe gets it" % args)


def check_code_page(crdview, source, scratch):
    contacts = os.path.join(source, "examples", "contacts.crd")
    screen = on_terminal(crdview, [contacts], scratch)
    converted = run(crdview, ["-e", "Windows-1251", contacts], scratch)[1]
    hint = (b"crdview: %s: the texts look like Windows-1251 (Cyrillic: Russian" % contacts.encode())
    check(screen.startswith(converted) and screen[len(converted):].startswith(hint) and
          screen.endswith(b"; -e Windows-1251 chooses it yourself\n"),
          "terminal: not converted, or the line not after the listing: %r" % screen[-300:])
    piped = run(crdview, [contacts], scratch)
    check(piped[2] == b"" and "Аксёнова".encode("cp1251") in piped[1], "pipe: not as stored")
    ascii_file = os.path.join(source, "tests", "golden", "cases", "mgc_two_cards.crd")
    check(on_terminal(crdview, [ascii_file], scratch) == run(crdview, [ascii_file], scratch)[1]
          .replace(b"\r\n", b"\n"), "terminal: an ASCII listing differs from a pipe's")


def check_open(crdview, source, scratch):
    bin_dir = os.path.join(scratch, "bin")
    tmp = os.path.join(scratch, "tmp")
    os.makedirs(bin_dir)
    os.makedirs(tmp)
    record = os.path.join(scratch, "opened")
    opener = os.path.join(bin_dir, "xdg-open")
    with open(opener, "w") as f:
        f.write('#!/bin/sh\necho "$1" >> "%s"\necho chatter\nexit ${OPENER_STATUS:-0}\n' % record)
    os.chmod(opener, 0o755)
    env = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ["PATH"], TMPDIR=tmp)
    files = [os.path.join(source, "examples", name) for name in ("office.crd", "contacts.crd")]
    status, out, err = run(crdview, ["--open"] + files, scratch, env)
    opened = open(record).read().splitlines() if os.path.exists(record) else []
    # Standard error: what the texts look like, as --format=html says it, and the viewer's chatter.
    said = [line for line in err.splitlines() if b": the texts " not in line]
    check(status == 0 and out == b"" and said == [b"chatter"] and len(opened) == 1,
          "--open: status %d, out %r, err %r, opened %r" % (status, out[:80], err, opened))
    if opened:
        page = opened[0]
        check(os.path.dirname(page) == tmp and os.path.basename(page).startswith("crdview-") and
              page.endswith(".html") and os.stat(page).st_mode & 0o077 == 0,
              "--open: the page %s" % page)
        check(open(page, "rb").read() == run(crdview, ["--format=html"] + files, scratch)[1],
              "--open: the page is not --format=html's")
    # A second run: a new page; a viewer that fails, or none, is told.
    status, _, err = run(crdview, ["--open", files[0]], scratch, dict(env, OPENER_STATUS="3"))
    pages = sorted(os.listdir(tmp))
    check(status == 1 and len(pages) == 2 and b"crdview: the page %s/" % tmp.encode() in err
          and err.endswith(b"is written, but not shown: xdg-open failed (exit status 3)\n"),
          "--open, viewer failed: %d %r" % (status, err))
    status, _, err = run(crdview, ["--open", files[0]], scratch, dict(env, PATH=tmp))
    check(status == 1 and b"cannot run xdg-open: No such file or directory" in err,
          "--open, no viewer: %d %r" % (status, err))
    for args, said in ((["--open", "--format=json"], b"not as json"),
                       (["--open", "--extract=" + tmp], b"do not go together")):
        status, out, err = run(crdview, args + files, scratch, env)
        check(status == 2 and out == b"" and said in err, "%r: %d %r" % (args, status, err))


def main():
    crdview, source, scratch = (os.path.abspath(a) for a in sys.argv[1:4])
    sys.path.insert(0, os.path.join(source, "tests"))
    import cardfile_builder as cb

    shutil.rmtree(scratch, ignore_errors=True)
    os.makedirs(scratch)

    def mgc(cards):
        return cb.lay_out(cb.header(cb.MGC, len(cards)),
                          [cb.Entry(title, cb.mgc_body(text)) for title, text in cards])[0]

    check_hostile(crdview, scratch, mgc)
    check_code_page(crdview, source, scratch)
    check_open(crdview, source, scratch)
    print("%d problems" % len(failures))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
