"""The bytes of a Windows CRD card file, stated once.

Used by every script that writes card files: the golden cases
(tests/golden/make_cases.py), the samples (examples/make_examples.py), the
fuzz seeds (fuzz/make_seeds.py) and the benchmark files
(bench/make_bench_files.py). Standard library only. All numbers are
little-endian.

File:    the header, the index entries right behind it, then the bodies,
         anywhere in the file (an entry holds its body's absolute offset).
Header:  "RRG", 4 bytes not interpreted, the card count (i16);
         "MGC", the card count (i16).
Entry:   52 bytes: 6 bytes not interpreted, the body offset (u32; 0: no body),
         a flag byte (the card is listed only when it is 0), the index line
         (41 bytes: at most 40 characters and a NUL, NUL-padded).
"MGC" body: the graphic length G (u16); when G is not 0, width, height, x and
         y (u16 each) and the G bytes of the bitmap bits; then the text length
         L (u16, at body offset 10 + G, or 2 when G is 0) and L bytes of text.
"RRG" body: the object flag (u16); when 0, the text length L (u16) and L bytes
         of text; otherwise the object's UID (u32), the OLE 1.0 object, the
         character width and height (u16 each), the object's rectangle (four
         i16), the object type (u16), L (u16) and the text.
"""

import struct

RRG, MGC = b"RRG", b"MGC"
RRG_HEADER_SIZE = 9  # signature, 4 bytes not interpreted, count
MGC_HEADER_SIZE = 5  # signature, count

INDEX_ENTRY_SIZE = 52
ENTRY_PAD_SIZE = 6  # the bytes before the body offset, not interpreted
INDEX_TEXT_SIZE = 41  # 40 characters and the NUL

PICTURE_FIELDS_SIZE = 8  # width, height, x, y behind G

OLE_VERSION = 0x0501
LINKED, EMBEDDED, STATIC = 1, 2, 3
# The object type a card stores behind an object of each format.
OBJECT_TYPE = {EMBEDDED: 0, LINKED: 1, STATIC: 2}
PRESENTATION_NONE, PRESENTATION_PICTURE = 0, 5


def header(signature, count, rrg_field=0):
    """The file header; `rrg_field` fills the four "RRG" bytes not interpreted."""
    if signature == RRG:
        return signature + struct.pack("<Ih", rrg_field, count)
    return signature + struct.pack("<h", count)


def header_size(signature):
    return RRG_HEADER_SIZE if signature == RRG else MGC_HEADER_SIZE


def index_entry(title, offset, flag=0, pad=bytes(ENTRY_PAD_SIZE)):
    """One 52-byte index entry. A title of 41 bytes has no NUL."""
    assert len(title) <= INDEX_TEXT_SIZE and len(pad) == ENTRY_PAD_SIZE
    return pad + struct.pack("<IB", offset, flag) + title.ljust(INDEX_TEXT_SIZE, b"\0")


# ---------------------------------------------------------------------------
# "MGC" bodies.

def row_size(width):
    """Bytes a row of monochrome bits: padded to 16 bits."""
    return (width + 15) // 16 * 2


class Picture:
    """The picture of an "MGC" card: width, height, its place on the card and
    the G bytes of its bits (consistent when G is the row size times the
    height and neither is 0)."""

    def __init__(self, width, height, x, y, bits):
        assert 0 < len(bits) <= 0xFFFF
        self.width, self.height, self.x, self.y, self.bits = width, height, x, y, bits

    @property
    def length(self):
        return len(self.bits)

    def consistent(self):
        return (self.width != 0 and self.height != 0 and
                self.length == row_size(self.width) * self.height)

    def data(self):
        """G, width, height, x, y and the bits: everything before the text length."""
        return struct.pack("<5H", self.length, self.width, self.height, self.x, self.y) + self.bits


def monochrome_bits(width, height, ink):
    """Rows from the top, each padded to 16 bits, the most significant bit the
    leftmost pixel, a 0 bit where ink(x, y) is true and a 1 bit for paper."""
    rows = []
    for y in range(height):
        row = bytearray(b"\xff" * row_size(width))
        for x in range(width):
            if ink(x, y):
                row[x // 8] &= ~(0x80 >> (x % 8)) & 0xFF
        rows.append(bytes(row))
    return b"".join(rows)


def mgc_body(text, picture=None):
    """G = 0 and the text, or the picture's fields and bits, then the text.
    The text length field lies at body offset 2, or 10 + G with a picture."""
    head = picture.data() if picture else struct.pack("<H", 0)
    return head + struct.pack("<H", len(text)) + text


def mgc_text_at(picture=None):
    """Body offset of the text length field."""
    return 2 if picture is None else 2 + PICTURE_FIELDS_SIZE + picture.length


# ---------------------------------------------------------------------------
# "RRG" bodies.

def rrg_text_body(text):
    """Object flag 0, the text length, the text."""
    return struct.pack("<HH", 0, len(text)) + text


RRG_TEXT_AT = 2  # body offset of the text length field of a text card


def counted(data):
    """A counted string: a u32 length N, then N bytes, the last a NUL; an
    empty string is a length of 0 alone."""
    return struct.pack("<I", len(data) + 1) + data + b"\0" if data else struct.pack("<I", 0)


def ole_picture(format_name, width, height, data):
    """A picture body of "METAFILEPICT", "DIB" or "BITMAP": width, height,
    size S, then S bytes (a metafile's behind its 8 reserved bytes)."""
    if format_name == b"METAFILEPICT":
        data = bytes(8) + data
    return struct.pack("<III", width, height, len(data)) + data


def device_bitmap(width, height, bits, rows, row_size=None, planes=1, in_memory=False):
    """The S bytes of a "BITMAP" picture (a Bitmap16): type 0, width, height,
    width bytes W, planes, bits a pixel, a 4-byte pointer when `in_memory`,
    then `rows` (bytes, from the top down); W is len(rows) / height unless
    given."""
    if row_size is None:
        row_size = len(rows) // height
    pointer = b"\x78\x56\x34\x12" if in_memory else b""
    return struct.pack("<hhhhBB", 0, width, height, row_size, planes, bits) + pointer + rows


def clipboard_picture(number, data, name=None):
    """A picture in a clipboard format: its number, its registered name when
    the number is 0, then the size and the data."""
    named = counted(name) if number == 0 else b""
    return struct.pack("<I", number) + named + struct.pack("<I", len(data)) + data


def presentation(format_name=None, body=b""):
    """Version, format 5, the picture format's name, then `body`; without a
    name, format 0 (no presentation)."""
    if format_name is None:
        return struct.pack("<II", OLE_VERSION, PRESENTATION_NONE)
    return struct.pack("<II", OLE_VERSION, PRESENTATION_PICTURE) + counted(format_name) + body


def embedded_data(native, topic=b"", item=b""):
    """What follows an embedded object's class name up to its presentation."""
    return counted(topic) + counted(item) + struct.pack("<I", len(native)) + native


def linked_data(topic, item=b"", network=b"", update=1):
    """What follows a linked object's class name up to its presentation."""
    return counted(topic) + counted(item) + counted(network) + struct.pack("<II", 0, update)


def ole_object(kind, class_name, rest, version=OLE_VERSION):
    """An OLE 1.0 object: version, format, class name, then `rest`."""
    return struct.pack("<II", version, kind) + counted(class_name) + rest


def object_body(uid, ole, text, object_type, flag=1, char_size=(8, 16), rect=(0, 0, 100, 50)):
    """An "RRG" body with an object: flag, UID, the object, the character
    size, the rectangle, the object type, the text length and the text."""
    return (struct.pack("<HI", flag, uid) + ole + struct.pack("<HH", *char_size) +
            struct.pack("<4h", *rect) + struct.pack("<HH", object_type, len(text)) + text)


def object_fields(uid, version, format_id, class_name_length, flag=1):
    """The object flag and the four u32 behind it that the listing's notice
    reads: UID, the object's version, its format, its class name's length."""
    return struct.pack("<HiIii", flag, uid, version, format_id, class_name_length)


# ---------------------------------------------------------------------------
# The file.

class Entry:
    """An index entry and the body it points at. `offset` overrides the
    body's place (0: no body; the bytes at that offset are the caller's);
    `before` is an unreferenced block placed right before the body."""

    def __init__(self, title, body=None, flag=0, offset=None, pad=bytes(ENTRY_PAD_SIZE),
                 before=b""):
        self.title, self.body, self.flag, self.offset = title, body, flag, offset
        self.pad, self.before = pad, before


def lay_out(head, entries, tail=b""):
    """Header, index, then each body (behind its `before` block) in entry
    order; an entry with neither body nor offset gets offset 0. Returns the
    file's bytes and each entry's body offset. `tail` follows the bodies."""
    place = len(head) + INDEX_ENTRY_SIZE * len(entries)
    index, bodies, offsets = bytearray(), bytearray(), []
    for entry in entries:
        if entry.offset is not None:
            offset = entry.offset
        elif entry.body is not None:
            bodies += entry.before
            offset = place + len(bodies)
            bodies += entry.body
        else:
            offset = 0
        offsets.append(offset)
        index += index_entry(entry.title, offset, entry.flag, entry.pad)
    return head + bytes(index) + bytes(bodies) + tail, offsets
