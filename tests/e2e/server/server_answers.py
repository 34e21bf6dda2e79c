"""Answers before they are sent: files, ranges, gzip, texts, and pacing."""
import gzip
import json
import mimetypes
import os
import time
from dataclasses import dataclass, field

import server_pages
from server_http import RangeNotSatisfiable, accepts_gzip, select_range

_TYPES = {".rxml": "application/octet-stream", ".pkg": "application/octet-stream"}


@dataclass
class Answer:
    """A response before it is sent; the body is `data` or `file_path`."""

    status: int
    headers: list = field(default_factory=list)
    data: bytes = b""
    file_path: str = None
    start: int = 0
    length: int = None
    corrupt: object = None
    close: bool = False

    def __post_init__(self):
        if self.length is None:
            self.length = len(self.data)


def text_answer(status, detail="", close=False, headers=()):
    return Answer(
        status,
        [("Content-Type", "text/plain; charset=utf-8"), *headers],
        server_pages.error_body(status, detail),
        close=close,
    )


def content_type(path):
    extension = os.path.splitext(path)[1].lower()
    if extension in _TYPES:
        return _TYPES[extension]
    return mimetypes.guess_type(path)[0] or "application/octet-stream"


def json_answer(value):
    data = json.dumps(value, indent=1).encode("utf-8")
    return Answer(200, [("Content-Type", "application/json")], data)


def file_answer(request, file_path, gzip_allowed, corrupt):
    """The whole file, one range of it (206), a 416, or the file gzip-coded."""
    size = os.path.getsize(file_path)
    headers = [("Content-Type", content_type(file_path)), ("Accept-Ranges", "bytes")]
    range_header = request.header("Range")
    if gzip_allowed:
        headers.append(("Vary", "Accept-Encoding"))
    wants_gzip = accepts_gzip(request.header("Accept-Encoding"))
    if range_header is None and gzip_allowed and wants_gzip:
        with open(file_path, "rb") as source:
            data = source.read()
        if corrupt is not None:
            data = corrupt.apply(data, 0)
        # mtime 0: the same file gives the same bytes on every request.
        headers.append(("Content-Encoding", "gzip"))
        return Answer(200, headers, gzip.compress(data, mtime=0))
    try:
        span = select_range(range_header, size)
    except RangeNotSatisfiable:
        headers.append(("Content-Range", f"bytes */{size}"))
        answer = text_answer(416)
        answer.headers += headers[1:]
        return answer
    if span is None:
        return Answer(200, headers, file_path=file_path, length=size, corrupt=corrupt)
    first, last = span
    headers.append(("Content-Range", f"bytes {first}-{last}/{size}"))
    return Answer(
        206, headers, file_path=file_path, start=first, length=last - first + 1, corrupt=corrupt
    )


class Pacer:
    """Splits a body into pieces and sleeps so they leave at `rate` bytes/s."""

    def __init__(self, rate, wait):
        self.rate = rate
        self.wait = wait
        self.step = max(1, rate // 20)
        self.started = time.monotonic()
        self.sent = 0

    def pieces(self, chunk):
        for offset in range(0, len(chunk), self.step):
            piece = chunk[offset : offset + self.step]
            yield piece
            self.sent += len(piece)
            delay = self.started + self.sent / self.rate - time.monotonic()
            if delay > 0:
                self.wait(delay)
