#!/usr/bin/env python3
"""Checks crdview's HTML pages in a real browser: headless Chromium, driven
over its DevTools protocol (a websocket client in the standard library).

Each page is loaded from a file: URL; the check fails when the page asks for
anything (a network request other than the page itself and data: URIs, or a
Content-Security-Policy report), when an image does not decode, or when an
image's natural size is not the size of the card's picture as crdview's JSON
states it. On pages of card files built here byte by byte, titles and texts
must read back from the DOM as the listing shows them on a terminal (markup
characters as text, control characters in caret notation), boxes must stand
for what a browser cannot show, and several files make one page.

Usage: check_html.py CRDVIEW SOURCE_DIR SCRATCH_DIR
Skips (exit status 77) when no Chromium is installed; fails then with CI=true.
"""

import base64
import json
import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import cardfile_builder as crd  # noqa: E402

# Status 77 tells ctest the test was skipped; with CI=true a missing tool
# fails the test instead.
SKIPPED = 1 if os.environ.get("CI") == "true" else 77


class DevTools:
    """A websocket connection to one page target of Chromium's DevTools."""

    def __init__(self, url):
        host_port, path = url[len("ws://"):].split("/", 1)
        host, port = host_port.split(":")
        self.sock = socket.create_connection((host, int(port)), timeout=30)
        key = base64.b64encode(os.urandom(16)).decode()
        self.sock.sendall((f"GET /{path} HTTP/1.1\r\nHost: {host_port}\r\nUpgrade: websocket\r\n"
                           f"Connection: Upgrade\r\nSec-WebSocket-Key: {key}\r\n"
                           "Sec-WebSocket-Version: 13\r\n\r\n").encode())
        reply = b""
        while b"\r\n\r\n" not in reply:
            reply += self.sock.recv(4096)
        assert reply.startswith(b"HTTP/1.1 101"), reply
        self.pending = reply.split(b"\r\n\r\n", 1)[1]
        self.next_id = 0
        self.events = []

    def _read(self, size):
        while len(self.pending) < size:
            chunk = self.sock.recv(1 << 16)
            assert chunk, "DevTools closed the connection"
            self.pending += chunk
        data, self.pending = self.pending[:size], self.pending[size:]
        return data

    def _send(self, text):
        payload = text.encode()
        head = bytes([0x81])
        if len(payload) < 126:
            head += bytes([0x80 | len(payload)])
        elif len(payload) < 1 << 16:
            head += bytes([0x80 | 126]) + struct.pack(">H", len(payload))
        else:
            head += bytes([0x80 | 127]) + struct.pack(">Q", len(payload))
        mask = os.urandom(4)
        self.sock.sendall(head + mask + bytes(b ^ mask[i % 4] for i, b in enumerate(payload)))

    def _message(self):
        message = b""
        while True:
            first, second = self._read(2)
            size = second & 0x7F
            if size == 126:
                size = struct.unpack(">H", self._read(2))[0]
            elif size == 127:
                size = struct.unpack(">Q", self._read(8))[0]
            message += self._read(size)
            if first & 0x80:
                return json.loads(message)

    def call(self, method, **params):
        self.next_id += 1
        self._send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = self._message()
            if message.get("id") == self.next_id:
                assert "error" not in message, (method, message["error"])
                return message.get("result", {})
            self.events.append(message)

    def wait_for(self, method, seconds=30):
        deadline = time.time() + seconds
        while time.time() < deadline:
            for event in self.events:
                if event.get("method") == method:
                    return event
            self.events.append(self._message())
        raise AssertionError("no " + method)


def start_chromium(profile):
    """Chromium headless on a DevTools port of its choosing; returns it and the port."""
    browser = shutil.which("chromium") or shutil.which("chromium-browser")
    if not browser:
        return None, None
    args = [browser, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
            "--no-first-run", "--disable-background-networking", "--disable-component-update",
            "--disable-sync", "--user-data-dir=" + profile, "--remote-debugging-port=0",
            "about:blank"]
    process = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    port_file = os.path.join(profile, "DevToolsActivePort")
    for _ in range(300):
        if os.path.exists(port_file):
            with open(port_file) as f:
                lines = f.read().split()
            if lines:
                return process, int(lines[0])
        time.sleep(0.1)
    process.kill()
    raise AssertionError("Chromium did not open its DevTools port")


def page_target(port):
    with urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list", timeout=30) as reply:
        targets = json.load(reply)
    return next(t["webSocketDebuggerUrl"] for t in targets if t["type"] == "page")


# Read from the DOM after the page has loaded (DevTools' evaluation is not
# held to the page's policy; the page itself runs no script).
READ_PAGE = """JSON.stringify({
  images: [...document.images].map(i => ({card: i.closest('article') ? i.closest('article').id : '',
      complete: i.complete, width: i.naturalWidth, height: i.naturalHeight,
      data: i.src.startsWith('data:image/png;base64,')})),
  boxes: [...document.querySelectorAll('.box')].map(b => b.closest('article').id),
  cards: [...document.querySelectorAll('article.card')].map(a => ({id: a.id,
      title: a.querySelector('.title').textContent,
      text: a.querySelector('.text') ? a.querySelector('.text').textContent : null})),
  titleLinks: [...document.querySelectorAll('nav.titles a')].map(a => a.getAttribute('href')),
  fileLinks: [...document.querySelectorAll('nav.files a')].map(a => a.getAttribute('href')),
  sections: [...document.querySelectorAll('section.file')].map(s => s.id),
  extracted: [...document.querySelectorAll('.extracted a')].map(a => [a.closest('article').id,
      decodeURIComponent(new URL(a.href).pathname)]),
  scripts: document.scripts.length,
  resources: performance.getEntriesByType('resource').map(r => r.name),
  listsFirst: [...document.querySelectorAll('nav')].every(n =>
      n.getBoundingClientRect().top < n.parentElement.querySelector('section, article')
          .getBoundingClientRect().top),
  listsFirstInDocument: [...document.querySelectorAll('nav')].every(n =>
      n.compareDocumentPosition(n.parentElement.querySelector('section, article')) &
          Node.DOCUMENT_POSITION_FOLLOWING),
  ordered: [...document.querySelectorAll('*')].filter(e => getComputedStyle(e).order !== '0')
      .map(e => e.tagName),
  pixels: Object.fromEntries([...document.images].filter(i => i.naturalWidth <= 16 &&
      i.naturalHeight <= 4 && i.closest('article')).map(i => {
    const c = document.createElement('canvas');
    c.width = i.naturalWidth;
    c.height = i.naturalHeight;
    const g = c.getContext('2d');
    g.drawImage(i, 0, 0);
    const d = g.getImageData(0, 0, c.width, c.height).data;
    const rows = [];
    for (let y = 0; y < c.height; ++y) {
      const row = [];
      for (let x = 0; x < c.width; ++x) {
        const at = 4 * (y * c.width + x);
        row.push([d[at], d[at + 1], d[at + 2]].map(v => v.toString(16).padStart(2, '0')).join(''));
      }
      rows.push(row.join(' '));
    }
    return [i.closest('article').id, rows];
  }))
})"""


def load(tools, path):
    """Loads the page at `path`; returns what READ_PAGE reads, and the
    requests and policy reports the page made."""
    tools.events.clear()
    url = "file://" + os.path.abspath(path)
    tools.call("Page.navigate", url=url)
    tools.wait_for("Page.loadEventFired")
    page = json.loads(tools.call("Runtime.evaluate", expression=READ_PAGE,
                                 returnByValue=True)["result"]["value"])
    requests = [e["params"]["request"]["url"] for e in tools.events
                if e.get("method") == "Network.requestWillBeSent"]
    page["requests"] = [r for r in requests if r != url and not r.startswith("data:")]
    page["reports"] = [e["params"]["entry"]["text"] for e in tools.events
                       if e.get("method") == "Log.entryAdded"]
    return page


def crdview(program, args, out_path, cwd=None):
    with open(out_path, "wb") as out:
        status = subprocess.run([program] + args, stdout=out, cwd=cwd).returncode
    assert status == 0, (args, status)


def expected_pictures(program, args):
    """From crdview's JSON: the size of each card's picture a browser can
    show, "MGC" pictures that are consistent and DIB pictures, by card id."""
    document = json.loads(subprocess.run([program, "--format=json"] + args, check=True,
                                         stdout=subprocess.PIPE).stdout)
    sizes = {}
    for card in document["cards"]:
        graphic = card.get("graphic")
        if graphic and graphic["length"] == (graphic["width"] + 15) // 16 * 2 * graphic["height"] \
                and graphic["width"] and graphic["height"]:
            sizes["card-%d" % card["number"]] = (graphic["width"], graphic["height"])
        picture = card.get("object", {}).get("picture")
        if picture and picture["format"] == "DIB":
            sizes["card-%d" % card["number"]] = (picture["width"], picture["height"])
    return sizes


def check_clean(name, page):
    assert not page["requests"], (name, "requests", page["requests"])
    assert not page["resources"], (name, "resources", page["resources"])
    assert not page["reports"], (name, "reports", page["reports"])
    assert page["scripts"] == 0, name
    assert page["listsFirst"], (name, "a list is not shown above what it lists")
    assert page["listsFirstInDocument"], (name, "a list stands after what it lists")
    assert not page["ordered"], (name, "content moved by CSS order", page["ordered"])
    for image in page["images"]:
        assert image["complete"] and image["data"] and image["width"] > 0, (name, image)


def dib(width, height, rows):
    """A 1-bit DIB, black and white: `rows` from the top, one string of 0/1 each."""
    stride = (width + 31) // 32 * 4
    bits = b""
    for row in reversed(rows):
        value = int(row.ljust(stride * 8, "0"), 2)
        bits += value.to_bytes(stride, "big")
    return (struct.pack("<IiiHHIIiiII", 40, width, height, 1, 1, 0, len(bits), 0, 0, 2, 0) +
            b"\0\0\0\0\xff\xff\xff\0" + bits)


# A device-dependent bitmap of 12 x 3 pixels, 1 bit: a 0 bit is black ink.
BITMAP_MONO = b"\x7f\xf0" b"\xdf\xf0" b"\xf7\xf0"
# And 3 x 2 of 24 bits, each pixel blue, green, red; each row padded to 10 bytes.
BITMAP_COLOUR = (b"\x00\x00\xff" b"\x00\xff\x00" b"\xff\x00\x00" b"\x00" +
                 b"\xff\xff\xff" b"\x80\x80\x80" b"\x00\x00\x00" b"\x00")
BITMAP_PIXELS = {
    "file-2-card-6": ["000000 ffffff ffffff ffffff ffffff ffffff ffffff ffffff ffffff ffffff "
                      "ffffff ffffff", "ffffff ffffff 000000 ffffff ffffff ffffff ffffff ffffff "
                      "ffffff ffffff ffffff ffffff", "ffffff ffffff ffffff ffffff 000000 ffffff "
                      "ffffff ffffff ffffff ffffff ffffff ffffff"],
    "file-2-card-7": ["ff0000 00ff00 0000ff", "ffffff 808080 000000"],
}


def built_files(scratch):
    """Card files built here: markup and control characters, and pictures
    of every kind."""
    esc_title = b"<b>Tom & \"Jerry\"</b> 'x'"
    esc_text = b"one\r\ntwo\x1b[31m\rthree\x7f\tfour\x07"
    mgc_picture = crd.Picture(20, 3, 5, 6, crd.monochrome_bits(20, 3, lambda x, y: x == y))
    broken = crd.Picture(16, 2, 0, 0, b"\x00\xff\xff")  # G is not 2 rows of 2 bytes
    entries = [crd.Entry(esc_title, crd.mgc_body(esc_text)),
               crd.Entry(b"Picture", crd.mgc_body(b"Under", picture=mgc_picture)),
               crd.Entry(b"Not a picture", crd.mgc_body(b"Bits cut", picture=broken))]
    mgc, _ = crd.lay_out(crd.header(crd.MGC, len(entries)), entries)

    small = dib(3, 2, ["101", "010"])
    bmp = b"BM" + struct.pack("<IHHI", 14 + len(small), 0, 0, 14 + 48) + small
    wmf = bytes(18)

    def obj(uid, kind, class_name, rest, text, rect):
        return crd.object_body(uid, crd.ole_object(kind, class_name, rest), text,
                               crd.OBJECT_TYPE[kind], rect=rect)
    objects = [
        ("Paintbrush", obj(1, crd.EMBEDDED, b"PBrush", crd.embedded_data(bmp) + crd.presentation(
            b"METAFILEPICT", crd.ole_picture(b"METAFILEPICT", 100, 100, wmf)), b"BMP file",
            (4, 4, 40, 30))),
        ("Static DIB", obj(2, crd.STATIC, b"DIB", crd.ole_picture(b"DIB", 3, 2, small), b"DIB",
                           (0, 0, 0, 0))),
        ("Bitmap", obj(3, crd.STATIC, b"BITMAP", crd.ole_picture(b"BITMAP", 8, 1, b"\xff"),
                       b"A device-dependent bitmap", (2, 2, 20, 20))),
        ("Broken DIB", obj(4, crd.STATIC, b"DIB", crd.ole_picture(b"DIB", 3, 2, b"\x28" + bytes(9)),
                           b"Does not decode", (2, 2, 20, 20))),
        ("Linked <doc>", obj(5, crd.LINKED, b"Word.Document.6", crd.linked_data(b"C:\\A&B.DOC") +
                             crd.presentation(b"DIB", crd.ole_picture(b"DIB", 3, 2, small)),
                             b"Linked with a DIB", (1, 1, 9, 9))),
        # Device-dependent bitmaps: 1 bit (rows of 2 bytes), and 24 bits in
        # the in-memory layout (rows of 10 bytes: blue, green, red a pixel).
        ("Mono bitmap", obj(6, crd.STATIC, b"BITMAP", crd.ole_picture(
            b"BITMAP", 12, 3, crd.device_bitmap(12, 3, 1, BITMAP_MONO)), b"1 bit", (0, 0, 0, 0))),
        ("Colour bitmap", obj(7, crd.EMBEDDED, b"SoundRec", crd.embedded_data(b"RIFF") +
                              crd.presentation(b"BITMAP", crd.ole_picture(
                                  b"BITMAP", 3, 2, crd.device_bitmap(3, 2, 24, BITMAP_COLOUR,
                                                                     in_memory=True))),
                              b"24 bits", (0, 0, 0, 0))),
    ]
    entries = [crd.Entry(title.encode(), body) for title, body in objects]
    rrg, _ = crd.lay_out(crd.header(crd.RRG, len(entries)), entries)
    paths = {}
    for name, data in (("built.mgc.crd", mgc), ("built.rrg.crd", rrg)):
        paths[name] = os.path.join(scratch, name)
        with open(paths[name], "wb") as f:
            f.write(data)
    return paths, esc_title.decode(), "one\ntwo^[[31m^Mthree^?\tfour^G"


def main():
    program, source, scratch = sys.argv[1:4]
    program = os.path.abspath(program)
    os.makedirs(scratch, exist_ok=True)
    profile = tempfile.mkdtemp(prefix="chromium-", dir=scratch)
    browser, port = start_chromium(profile)
    if browser is None:
        print("chromium is not installed: " + ("failed (CI=true)" if SKIPPED == 1 else "skipped"))
        return SKIPPED
    try:
        tools = DevTools(page_target(port))
        tools.call("Page.enable")
        tools.call("Network.enable")
        tools.call("Log.enable")
        tools.call("Runtime.enable")
        examples = [("office.crd", []), ("contacts.crd", ["-e", "Windows-1251"])]
        for name, choice in examples:
            card_file = os.path.join(source, "examples", name)
            page_path = os.path.join(scratch, name + ".html")
            crdview(program, ["--format=html"] + choice + [card_file], page_path)
            page = load(tools, page_path)
            check_clean(name, page)
            shown = {image["card"]: (image["width"], image["height"]) for image in page["images"]}
            assert shown == expected_pictures(program, choice + [card_file]), (name, shown)
            assert page["titleLinks"] == ["#" + card["id"] for card in page["cards"]], name
            print("%s: %d pictures decoded, %d boxes, no request" %
                  (name, len(page["images"]), len(page["boxes"])))
        office = load(tools, os.path.join(scratch, "office.crd.html"))
        assert office["boxes"] == ["card-6"] and len(office["images"]) == 2, office["boxes"]

        # With --extract, each card links to the files written for it.
        extract_dir = os.path.join(scratch, "extracted files")
        shutil.rmtree(extract_dir, ignore_errors=True)
        page_path = os.path.join(scratch, "extract.html")
        crdview(program, ["--format=html", "--extract=" + extract_dir,
                          os.path.join(source, "examples", "office.crd")], page_path)
        page = load(tools, page_path)
        check_clean("extract", page)
        linked = {card: os.path.basename(path) for card, path in page["extracted"]}
        assert linked == {"card-3": "card-3.bmp", "card-6": "card-6.wmf",
                          "card-7": "card-7.bmp"}, linked
        assert all(os.path.isfile(path) for _, path in page["extracted"]), page["extracted"]

        paths, title, text = built_files(scratch)
        page_path = os.path.join(scratch, "built.html")
        crdview(program, ["--format=html", paths["built.mgc.crd"], paths["built.rrg.crd"]],
                page_path)
        page = load(tools, page_path)
        check_clean("built", page)
        assert page["sections"] == ["file-1", "file-2"], page["sections"]
        assert page["fileLinks"] == ["#file-1", "#file-2"], page["fileLinks"]
        first = page["cards"][0]
        assert (first["id"], first["title"], first["text"]) == ("file-1-card-1", title, text), first
        images = {image["card"]: (image["width"], image["height"]) for image in page["images"]}
        assert images == {"file-1-card-2": (20, 3), "file-2-card-1": (3, 2),
                          "file-2-card-2": (3, 2), "file-2-card-5": (3, 2),
                          "file-2-card-6": (12, 3), "file-2-card-7": (3, 2)}, images
        assert page["boxes"] == ["file-2-card-3", "file-2-card-4"], page["boxes"]
        for card, rows in BITMAP_PIXELS.items():
            assert page["pixels"][card] == rows, (card, page["pixels"][card])
        print("built files: markup and control characters, %d pictures, %d boxes, one page" %
              (len(images), len(page["boxes"])))
    finally:
        browser.kill()
        browser.wait()
        shutil.rmtree(profile, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
