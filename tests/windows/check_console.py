#!/usr/bin/env python3
"""Checks crdview.exe in a Windows console, under Wine on a pseudo-terminal
(Python's pty): a UTF-8 listing reads right whatever the console's code page,
which is put back after; and started with a console of its own (as from
Explorer; Wine gives one to a program started from a Unix terminal), the
files given go to the browser as --open sends them (a stand-in xdg-open on
PATH records the page, which Wine's browser hand-off passes on), and with
no file a sentence says what crdview is and a key closes it.

Usage: check_console.py WINE_RUN PREFIX CRDVIEW_EXE SOURCE_DIR SCRATCH_DIR
"""

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


def on_console(command, env, key=b""):
    """What a console under Wine showed for `command`, without the cursor
    movements Wine's console draws with; and the exit status. `key` is typed
    once the program has been quiet for a while."""
    pid, fd = pty.fork()
    if pid == 0:
        os.execvpe(command[0], command, env)
    shown = b""
    while True:
        try:
            ready, _, _ = select.select([fd], [], [], 10)
            if not ready and key:
                os.write(fd, key)
                key = b""
                continue
            chunk = os.read(fd, 65536) if ready else b""
        except OSError:  # EIO: the program has ended
            chunk = b""
        if not chunk:
            break
        shown += chunk
    os.close(fd)
    status = os.waitpid(pid, 0)[1]
    # Wine's console moves the cursor over blanks rather than writing them.
    text = re.sub(rb"\x1b\[(\d*)C", lambda m: b" " * int(m.group(1) or 1), shown)
    text = re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]", b"", text).replace(b"\r", b"")
    return text, os.waitstatus_to_exitcode(status)


def main():
    wine_run, prefix, crdview, source, scratch = (os.path.abspath(a) for a in sys.argv[1:6])
    shutil.rmtree(scratch, ignore_errors=True)
    os.makedirs(scratch)
    env = dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8")
    exe = "Z:" + crdview.replace("/", "\\")
    contacts = os.path.join(source, "examples", "contacts.crd")
    name = "Аксёнова Мария Петровна".encode()

    def in_cmd(line):
        return on_console([wine_run, prefix, "cmd", "/c", line], env)[0]

    # UTF-8 on a console whose code page is 437; the page is 437 again after.
    shown = in_cmd('chcp 437 >nul & %s -e Windows-1251 --card=1 %s & chcp' % (exe, contacts))
    check(name in shown and shown.rstrip().endswith(b"437"), "-e on code page 437: %r" % shown)
    shown = in_cmd('chcp 437 >nul & %s --card=1 %s' % (exe, contacts))
    check(name in shown and b"-e Windows-1251 chooses it yourself" in shown,
          "no -e on code page 437: %r" % shown)
    # --raw: as stored, which the console shows in its own code page.
    shown = in_cmd('chcp 1251 >nul & %s --raw --card=1 %s' % (exe, contacts))
    check(name in shown, "--raw on code page 1251: %r" % shown)
    shown = in_cmd('chcp 437 >nul & %s --raw --card=1 %s' % (exe, contacts))
    check(name not in shown, "--raw on code page 437 read as Cyrillic: %r" % shown)

    # A console of its own: the files dropped go to the browser.
    bin_dir = os.path.join(scratch, "bin")
    os.makedirs(bin_dir)
    record = os.path.join(scratch, "opened")
    with open(os.path.join(bin_dir, "xdg-open"), "w") as f:
        f.write('#!/bin/sh\necho "$1" >> "%s"\n' % record)
    os.chmod(os.path.join(bin_dir, "xdg-open"), 0o755)
    dropped = dict(env, PATH=bin_dir + os.pathsep + env["PATH"])
    shown, status = on_console([wine_run, prefix, crdview, contacts], dropped)
    opened = open(record).read().split() if os.path.exists(record) else []
    page = re.sub(r"^file://", "", opened[0]) if opened else ""
    html = subprocess.run([wine_run, prefix, crdview, "--format=html", contacts],
                          capture_output=True, env=env).stdout
    check(status == 0 and len(opened) == 1 and re.search(r"/crdview-\w+\.html$", page) and
          open(page, "rb").read() == html, "dropped: %d %r %r" % (status, opened, shown))
    # None dropped: a sentence, then a key closes the window.
    shown, status = on_console([wine_run, prefix, crdview], env, key=b"x")
    check(status == 2 and b"crdview shows the cards of Windows CRD card files" in shown.replace(
        b"\n", b" ") and b"Press a key to close this window." in shown, "no file: %d %r" %
          (status, shown))
    print("%d problems" % len(failures))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
