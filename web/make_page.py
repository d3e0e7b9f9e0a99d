#!/usr/bin/env python3
"""Makes crdview.html, one self-contained page: page.html with its style
(page.css), its script (page.js), and the worker's script (the Emscripten
module's JavaScript and worker.js) and the WebAssembly module (base64)
inline, in script elements that the browser does not run. The page's
Content-Security-Policy allows its own script by its hash and nothing that
could reach the network.

Usage: make_page.py --module crdview-wasm.js --wasm crdview-wasm.wasm
                    --version VERSION --output crdview.html
"""

import argparse
import base64
import hashlib
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
# The page must stay small enough to mail and to open at once.
MAX_PAGE_SIZE = 2 * 1024 * 1024


def read(name):
    with open(os.path.join(HERE, name), encoding="utf-8") as f:
        return f.read()


def inline_script(text, what):
    """`text` as the content of a script element: it must not end the
    element early, nor put the parser in a state where it would not end."""
    if re.search(r"</script|<!--", text, re.IGNORECASE):
        sys.exit(f"make_page.py: {what} holds '</script' or '<!--', which would end its element")
    return text


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--module", required=True)
    parser.add_argument("--wasm", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--output", required=True)
    args = parser.parse_args()

    with open(args.module, encoding="utf-8") as f:
        module = f.read()
    with open(args.wasm, "rb") as f:
        wasm = base64.b64encode(f.read()).decode()
    script = inline_script(read("page.js"), "page.js")
    worker = inline_script(module + "\n" + read("worker.js"), "the worker's script")
    script_hash = base64.b64encode(hashlib.sha256(script.encode()).digest()).decode()
    csp = ("default-src 'none'; "
           f"script-src 'sha256-{script_hash}' 'wasm-unsafe-eval'; "
           "worker-src blob:; style-src 'unsafe-inline'; img-src data: blob:; "
           "base-uri 'none'; form-action 'none'")
    values = {"CSP": csp, "VERSION": args.version, "STYLE": read("page.css"),
              "WORKER": worker, "WASM": wasm, "SCRIPT": script}
    page = re.sub(r"@([A-Z]+)@", lambda m: values[m.group(1)], read("page.html"))
    size = len(page.encode())
    if size > MAX_PAGE_SIZE:
        sys.exit(f"make_page.py: the page is {size} bytes, more than {MAX_PAGE_SIZE}")
    with open(args.output, "w", encoding="utf-8", newline="\n") as f:
        f.write(page)
    print(f"{args.output}: {size} bytes")


if __name__ == "__main__":
    main()
