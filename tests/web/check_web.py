#!/usr/bin/env python3
"""Checks crdview.html, the web page, in headless Chromium over its DevTools
protocol (tests/html/check_html.py's client): the page is loaded from a file:
URL and given card files as a person gives them (the file chooser, and a drop
on the page), and what it shows and saves must be what the crdview program
writes for the same files named by their bare names:

- the cards shown are --format=html's page (its body's DOM, byte for byte
  as the browser serialises both), for each example, a damaged file, a file
  that is no card file, and two files at once; again after the code page,
  the find box and the card list change;
- each save button's download is the program's --format=vcard, vcard4, csv,
  json or html output, and the pictures' zip holds what --extract writes;
- but for one thing: the page is built without zlib and keeps the rows of
  its PNG pictures in stored deflate blocks, so each PNG (a data: URI, a
  vCard's PHOTO) is compared by what it holds, its chunks and its inflated
  rows (Python's zlib), not by its bytes;
- a file of 1,260 cards is shown (the time is printed; the benchmark's
  figures are not a test), and one of 32,767 cards shows its first cards and
  says so;
- the page makes no request, raises no script error and reports no policy
  violation; its controls are labelled; at a phone's width it is no wider
  than the screen.
A screenshot of the page with examples/office.crd is written to the scratch
directory (and to --screenshot PATH).

Usage: check_web.py CRDVIEW PAGE SOURCE_DIR SCRATCH_DIR [--screenshot PATH]
Skips (exit status 77) when no Chromium is installed, unless CI is set in the
environment: a test whose tool is missing fails there.
"""

import base64
import hashlib
import io
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zipfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
sys.path.insert(0, os.path.join(HERE, "..", "html"))
import cardfile_builder as crd  # noqa: E402
from check_html import DevTools, page_target, start_chromium  # noqa: E402

SKIPPED = 77
SAVES = {"vcard": ".vcf", "vcard4": ".vcard4.vcf", "csv": ".csv", "json": ".json",
         "html": ".html"}


class Page:
    """The web page in a Chromium tab."""

    def __init__(self, tools, url, downloads):
        self.tools, self.url, self.downloads = tools, url, downloads
        self.saves = 0

    def evaluate(self, expression, wait=False):
        reply = self.tools.call("Runtime.evaluate", expression=expression, returnByValue=True,
                                awaitPromise=wait)
        assert "exceptionDetails" not in reply, (expression, reply["exceptionDetails"])
        return reply["result"].get("value")

    def wait_until(self, expression, seconds=60):
        deadline = time.time() + seconds
        while time.time() < deadline:
            value = self.evaluate(expression)
            if value:
                return value
            time.sleep(0.02)
        raise AssertionError("waited in vain for " + expression + ": status " +
                             repr(self.status()))

    def status(self):
        return self.evaluate("document.getElementById('status').textContent")

    def load(self):
        self.tools.call("Page.navigate", url=self.url)
        self.wait_until("document.getElementById('encoding') && "
                        "document.getElementById('encoding').options.length > 1")

    def unsettle(self):
        """Empties the status line, for settled() to see the next one."""
        self.evaluate("document.getElementById('status').textContent = ''")

    def settled(self):
        """Waits for the status line to be written again (after unsettle)
        and no longer say that crdview is at work; returns it."""
        return self.wait_until("(s => !s.endsWith('…') && s)"
                               "(document.getElementById('status').textContent)")

    def choose(self, paths):
        """Gives `paths` to the file chooser; returns the status line after."""
        self.unsettle()
        node = self.tools.call("Runtime.evaluate",
                               expression="document.getElementById('files')")["result"]
        started = time.time()
        self.tools.call("DOM.setFileInputFiles", files=paths, objectId=node["objectId"])
        status = self.settled()
        # From the choice to the status line (after the cards), as this
        # client sees it; it polls every 20 ms.
        self.wall = time.time() - started
        return status

    def drop(self, paths):
        """Drops `paths` on the middle of the page; returns the status line after."""
        self.unsettle()
        data = {"items": [], "files": paths, "dragOperationsMask": 1}
        for kind in ("dragEnter", "dragOver", "drop"):
            self.tools.call("Input.dispatchDragEvent", type=kind, x=200, y=200, data=data)
        return self.settled()

    def set_controls(self, encoding=None, find=None, cards=None):
        """Sets the code page menu and the find and card boxes, and shows the
        cards again (a change of menu shows them; Enter in a box does)."""
        self.unsettle()
        script = []
        if find is not None:
            script.append(f"document.getElementById('find').value = {json.dumps(find)};")
        if cards is not None:
            script.append(f"document.getElementById('cards').value = {json.dumps(cards)};")
        if encoding is not None:
            script.append(f"(s => {{ s.value = {json.dumps(encoding)}; "
                          "s.dispatchEvent(new Event('change')); })"
                          "(document.getElementById('encoding'));")
        else:
            script.append("document.getElementById('controls').requestSubmit();")
        self.evaluate("\n".join(script))
        return self.settled()

    def shown(self):
        """The cards shown: the serialised content of the page's card area."""
        return self.evaluate("document.getElementById('cards-shown').innerHTML")

    def as_shown(self, html):
        """crdview's page `html` as the browser serialises its body, and its style."""
        return self.evaluate(f"(d => [d.body.innerHTML, d.querySelector('style').textContent])"
                             f"(new DOMParser().parseFromString({json.dumps(html)}, 'text/html'))")

    def press_button(self, selector):
        """Focuses the button and presses Enter on it, as a keyboard user does."""
        self.evaluate(f"document.querySelector('{selector}').focus()")
        for kind in ("keyDown", "keyUp"):
            self.tools.call("Input.dispatchKeyEvent", type=kind, key="Enter", code="Enter",
                            windowsVirtualKeyCode=13, text="\r" if kind == "keyDown" else "")

    def save(self, format_name):
        """Presses the save button of `format_name`; returns the name and
        bytes of the file downloaded (each into a folder of its own)."""
        # Headless Chromium drops a page's download of an HTML file that
        # follows another download within a moment; no person is that quick.
        time.sleep(0.3)
        self.saves += 1
        folder = os.path.join(self.downloads, str(self.saves))
        os.makedirs(folder)
        self.tools.call("Page.setDownloadBehavior", behavior="allow", downloadPath=folder)
        seen = len(self.tools.events)
        self.press_button(f"button[data-format={format_name}]")
        deadline = time.time() + 60
        while time.time() < deadline:
            states = [e["params"]["state"] for e in self.tools.events[seen:]
                      if e.get("method") == "Page.downloadProgress"]
            if "completed" in states or "canceled" in states:
                break
            try:
                self.tools.events.append(self.tools._message())
            except TimeoutError:
                break
        assert "completed" in states, (format_name, "no download", states, self.status())
        names = os.listdir(folder)
        assert len(names) == 1, names
        with open(os.path.join(folder, names[0]), "rb") as f:
            return names[0], f.read()


def crdview(program, args, cwd):
    """The program's standard output for `args` run in `cwd`."""
    return subprocess.run([program] + args, cwd=cwd, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL).stdout


def png_content(encoded):
    """What a PNG (base64) holds: its chunks but IDAT, and its rows
    inflated; a digest of them."""
    data = base64.b64decode(encoded)
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    pos, kept, rows = 8, [], b""
    while pos < len(data):
        length, kind = struct.unpack_from(">I4s", data, pos)
        body = data[pos + 8:pos + 8 + length]
        assert struct.unpack_from(">I", data, pos + 8 + length)[0] == zlib.crc32(kind + body)
        if kind == b"IDAT":
            rows += body
        else:
            kept.append(kind + body)
        pos += 12 + length
    content = b"".join(kept) + zlib.decompress(rows)
    return hashlib.sha256(content).hexdigest()


PNG_PATTERNS = [re.compile(p) for p in (r"(data:image/png;base64,)([A-Za-z0-9+/=]+)",
                                        r"(PHOTO;ENCODING=b;TYPE=PNG:)([A-Za-z0-9+/=]+)")]


def pngs_by_content(text):
    """`text` (a page, a vCard, str or bytes) with its lines unfolded (a
    vCard's) and each PNG in it made the digest of what it holds."""
    as_bytes = isinstance(text, bytes)
    if as_bytes:
        text = text.decode("utf-8", "surrogateescape")
    if "BEGIN:VCARD" in text:
        text = text.replace("\r\n ", "")
    for pattern in PNG_PATTERNS:
        text = pattern.sub(lambda m: m.group(1) + "png-content:" + png_content(m.group(2)), text)
    return text.encode("utf-8", "surrogateescape") if as_bytes else text


def check_shown(page, program, cwd, names, options, what):
    """The cards shown are crdview's --format=html page of `names` (and the
    page's notes of cards not shown)."""
    expected = crdview(program, ["--format=html"] + options + names, cwd).decode()
    body, style = page.as_shown(expected)
    shown = pngs_by_content(re.sub(r'<p class="note">[^<]*</p>', "", page.shown()))
    body = pngs_by_content(body)
    assert shown == body, (what, "the cards shown differ from crdview's page",
                           first_difference(shown, body))
    assert page.evaluate("document.getElementById('cards-style').textContent") == style, what


def first_difference(a, b):
    at = next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))
    return a[max(0, at - 80):at + 80], b[max(0, at - 80):at + 80]


def check_saves(page, program, cwd, names, options, what, extract_dir):
    """Each download is what crdview writes for the same files and options."""
    stem = os.path.splitext(names[0])[0] if len(names) == 1 else "cards"
    for format_name, ending in SAVES.items():
        name, data = page.save(format_name)
        assert name == stem + ending, (what, name)
        expected = crdview(program, ["--format=" + format_name] + options + names, cwd)
        data, expected = pngs_by_content(data), pngs_by_content(expected)
        assert data == expected, (what, format_name, first_difference(data, expected))
    shutil.rmtree(extract_dir, ignore_errors=True)
    subprocess.run([program, "--extract=" + extract_dir] + options + names, cwd=cwd,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    extracted = {name: open(os.path.join(extract_dir, name), "rb").read()
                 for name in os.listdir(extract_dir)}
    if not extracted:
        page.unsettle()
        page.press_button("button[data-format=pictures]")
        page.settled()
        assert "no pictures" in page.status(), page.status()
        return 0
    name, data = page.save("pictures")
    assert name == stem + "-pictures.zip", name
    with zipfile.ZipFile(io.BytesIO(data)) as archive:
        assert archive.testzip() is None, what
        got = {info.filename: archive.read(info) for info in archive.infolist()}
        assert all(info.compress_type == zipfile.ZIP_STORED for info in archive.infolist())
    assert got == extracted, (what, sorted(got), sorted(extracted))
    return len(got)


def shown_time(status):
    """The time the status line gives for the cards shown."""
    found = re.search(r"in (\d+\.\d+) s", status)
    assert found, status
    return float(found.group(1))


def many_cards(count, text_size):
    """An "MGC" file of `count` cards, each a title and a text of about
    `text_size` bytes; every hundredth card a picture."""
    entries = []
    for n in range(1, count + 1):
        text = (f"Card {n}\r\n" + "Address line, phone 555-%04d. " % n * 40)[:text_size]
        picture = crd.Picture(32, 8, 4, 4, crd.monochrome_bits(32, 8, lambda x, y: (x + y) % 3 == 0)) \
            if n % 100 == 0 else None
        entries.append(crd.Entry(b"Name %05d" % n, crd.mgc_body(text.encode(), picture)))
    data, _ = crd.lay_out(crd.header(crd.MGC, count), entries)
    return data


def problems(tools):
    """Requests (anything but the page itself, data: and blob: URLs), script
    errors, policy reports and console errors since the events were cleared."""
    found = []
    for event in tools.events:
        method, params = event.get("method"), event.get("params", {})
        if method == "Network.requestWillBeSent":
            url = params["request"]["url"]
            if not url.startswith(("data:", "blob:")) and not url.endswith("/crdview.html"):
                found.append("request: " + url)
        elif method == "Runtime.exceptionThrown":
            found.append("exception: " + json.dumps(params["exceptionDetails"])[:300])
        elif method == "Log.entryAdded" and params["entry"]["level"] in ("error", "warning"):
            found.append("log: " + params["entry"]["text"])
        elif method == "Runtime.consoleAPICalled" and params["type"] in ("error", "warning"):
            found.append("console: " + json.dumps(params["args"])[:300])
    return found


def main():
    args = sys.argv[1:]
    screenshot = None
    if "--screenshot" in args:
        at = args.index("--screenshot")
        screenshot = os.path.abspath(args[at + 1])
        del args[at:at + 2]
    program, page_path, source, scratch = (os.path.abspath(a) for a in args[:4])
    os.makedirs(scratch, exist_ok=True)
    if not os.path.isfile(page_path):
        print(f"{page_path}: no such page (build it with emcmake cmake -S . -B build-web "
              "&& cmake --build build-web)")
        return 1
    profile = tempfile.mkdtemp(prefix="chromium-", dir=scratch)
    browser, port = start_chromium(profile)
    if browser is None:
        print("chromium is not installed" + (": the test fails in CI" if os.environ.get("CI")
                                               else ": skipped"))
        return 1 if os.environ.get("CI") else SKIPPED
    cards_dir = os.path.join(scratch, "cards")
    downloads = os.path.join(scratch, "downloads")
    extract_dir = os.path.join(scratch, "extracted")
    for folder in (cards_dir, downloads):
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
    try:
        tools = DevTools(page_target(port))
        for domain in ("Page", "Network", "Log", "Runtime"):
            tools.call(domain + ".enable")
        page = Page(tools, "file://" + page_path, downloads)
        started = time.time()
        page.load()
        print(f"page ready (its WebAssembly module compiled) {time.time() - started:.2f} s "
              "after it was asked for")

        size = os.path.getsize(page_path)
        csp = page.evaluate("document.querySelector('meta[http-equiv=Content-Security-Policy]')"
                            ".content")
        print(f"page: {size} bytes; Content-Security-Policy: {csp}")
        assert size <= 2 * 1024 * 1024, size
        unlabelled = page.evaluate(
            "[...document.querySelectorAll('input, select')].filter(c => !c.labels.length)"
            ".map(c => c.id)")
        assert unlabelled == [], unlabelled

        # Card files as a person has them: the examples, a damaged file (cut
        # short), a file that is no card file, all under their bare names.
        examples = os.path.join(source, "examples")
        for name in ("office.crd", "contacts.crd"):
            shutil.copy(os.path.join(examples, name), cards_dir)
        with open(os.path.join(examples, "office.crd"), "rb") as f:
            office = f.read()
        with open(os.path.join(cards_dir, "damaged.crd"), "wb") as f:
            f.write(office[:len(office) * 2 // 3])
        with open(os.path.join(cards_dir, "notes.txt"), "wb") as f:
            f.write(b"Not a card file\r\n")
        with open(os.path.join(cards_dir, "many.crd"), "wb") as f:
            f.write(many_cards(1260, 440))
        with open(os.path.join(cards_dir, "bench.crd"), "wb") as f:
            f.write(many_cards(32767, 440))

        def path(name):
            return os.path.join(cards_dir, name)

        tools.events.clear()
        for name in ("office.crd", "contacts.crd", "damaged.crd"):
            if name == "office.crd":  # the screenshot: a desktop's window
                tools.call("Emulation.setDeviceMetricsOverride", width=1100, height=1000,
                           deviceScaleFactor=1, mobile=False)
            status = page.choose([path(name)])
            if name == "office.crd":
                png = base64.b64decode(tools.call("Page.captureScreenshot",
                                                  format="png")["data"])
                tools.call("Emulation.clearDeviceMetricsOverride")
                for out in filter(None, (os.path.join(scratch, "office.png"), screenshot)):
                    with open(out, "wb") as f:
                        f.write(png)
            check_shown(page, program, cards_dir, [name], [], name)
            pictures = check_saves(page, program, cards_dir, [name], [], name, extract_dir)
            print(f"{name}: shown in {shown_time(status):.2f} s ({page.wall:.2f} s seen here); "
                  f"5 saves and {pictures} pictures as crdview writes them")
        damaged = page.evaluate("document.querySelectorAll('.problems li, .problem').length")
        assert damaged > 0 and not page.evaluate("document.getElementById('messages').hidden")

        status = page.choose([path("notes.txt")])
        assert "could not show notes.txt" in status, status
        assert "not a card file" in page.evaluate(
            "document.getElementById('messages').textContent").lower()

        # Two files at once, dropped on the page; then the code page, find
        # and card list as --encoding, --find and --card.
        status = page.drop([path("contacts.crd"), path("office.crd")])
        names = ["contacts.crd", "office.crd"]
        check_shown(page, program, cards_dir, names, [], "two files")
        ids = page.evaluate("[...document.querySelectorAll('article.card')].map(a => a.id)")
        assert "file-1-card-1" in ids and "file-2-card-1" in ids, ids
        print(f"two files dropped: shown in {shown_time(status):.2f} s")
        for options, controls in [(["--encoding=Windows-1252"], {"encoding": "Windows-1252"}),
                                  (["--encoding=Windows-1251", "--find=ОФИС"],
                                   {"encoding": "Windows-1251", "find": "ОФИС"}),
                                  (["--encoding=Windows-1251", "--find=a", "--card=2-5,7"],
                                   {"find": "a", "cards": "2-5,7"})]:
            page.set_controls(**controls)
            check_shown(page, program, cards_dir, names, options, " ".join(options))
        check_saves(page, program, cards_dir, names, options, "two files, chosen", extract_dir)
        status = page.set_controls(encoding="", find="", cards="x")
        assert "could not show" in status, status
        print("code page, find and card list: shown and saved as crdview writes them")
        page.set_controls(cards="")

        status = page.choose([path("many.crd")])
        check_shown(page, program, cards_dir, ["many.crd"], [], "1,260 cards")
        print(f"1,260 cards: shown in {shown_time(status):.2f} s ({page.wall:.2f} s seen here)")
        status = page.choose([path("bench.crd")])
        count = page.evaluate("document.querySelectorAll('article.card').length")
        note = page.evaluate("document.querySelector('.note').textContent")
        assert count == 2000 and "first 2,000 cards" in note, (count, note)
        check_shown(page, program, cards_dir, ["bench.crd"], ["--card=1-2000"], "32,767 cards")
        print(f"32,767 cards ({os.path.getsize(path('bench.crd'))} bytes): the first 2,000 "
              f"shown in {shown_time(status):.2f} s ({page.wall:.2f} s seen here)")
        status = page.set_controls(cards="1-32767")
        count = page.evaluate("document.querySelectorAll('article.card').length")
        assert count == 2000 and page.evaluate("document.querySelector('.note') !== null"), count
        print(f"all 32,767 cards asked for: the first 2,000 shown in {shown_time(status):.2f} s")
        page.set_controls(cards="")

        # At a phone's width nothing is wider than the screen.
        tools.call("Emulation.setDeviceMetricsOverride", width=360, height=740,
                   deviceScaleFactor=2, mobile=True)
        page.choose([path("office.crd")])
        width = page.evaluate("document.documentElement.scrollWidth")
        tools.call("Emulation.clearDeviceMetricsOverride")
        assert width <= 360, width

        found = problems(tools)
        assert not found, found
        print("no request, no script error, no policy report")
    finally:
        browser.kill()
        browser.wait()
        shutil.rmtree(profile, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
