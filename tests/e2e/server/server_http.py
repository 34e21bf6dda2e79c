"""Request heads, request targets, byte ranges and content codings.

Pure functions over bytes and strings, so the hostile-input cases can be
tested without sockets. Every rejection is an HttpError carrying the status
the server answers with.
"""
import re
import urllib.parse
from dataclasses import dataclass, field

MAX_REQUEST_LINE = 8192
MAX_HEAD = 32768
MAX_HEADERS = 100

_TOKEN = re.compile(r"^[!#$%&'*+\-.^_`|~0-9A-Za-z]+$")
_VERSION = re.compile(r"^HTTP/(\d)\.(\d)$")
_HEAD_END = re.compile(rb"\r?\n\r?\n")
_BYTE_RANGE = re.compile(r"^(\d*)-(\d*)$")
_PERCENT = re.compile(r"%(?![0-9A-Fa-f]{2})")
# Longer numbers than this cannot address a real file; refusing them keeps
# int() away from its digit limit.
_MAX_RANGE_DIGITS = 20


class HttpError(Exception):
    """A request the server refuses; `status` is the answer's status code."""

    def __init__(self, status, message=""):
        super().__init__(message or str(status))
        self.status = status


class RangeNotSatisfiable(Exception):
    pass


@dataclass
class Request:
    method: str
    target: str
    version: tuple
    headers: list = field(default_factory=list)

    def header(self, name):
        """The first value of the header `name` (any case), or None."""
        wanted = name.lower()
        for key, value in self.headers:
            if key.lower() == wanted:
                return value
        return None

    def connection_tokens(self):
        value = self.header("Connection") or ""
        return {token.strip().lower() for token in value.split(",") if token.strip()}

    def wants_keep_alive(self):
        tokens = self.connection_tokens()
        if self.version >= (1, 1):
            return "close" not in tokens
        return "keep-alive" in tokens


def find_head_end(buffer):
    """(head length, length including the blank line), or None while incomplete.

    Raises HttpError 414/431 once the buffer can no longer hold a valid head.
    """
    match = _HEAD_END.search(buffer)
    first_line_end = buffer.find(b"\n")
    if (first_line_end < 0 and len(buffer) > MAX_REQUEST_LINE) or first_line_end > MAX_REQUEST_LINE:
        raise HttpError(414, "request line too long")
    if match is None:
        if len(buffer) > MAX_HEAD:
            raise HttpError(431, "request head too large")
        return None
    if match.end() > MAX_HEAD:
        raise HttpError(431, "request head too large")
    return match.start(), match.end()


def parse_head(head):
    """Parses a request head (without its blank line) into a Request."""
    lines = head.split(b"\n")
    lines = [line[:-1] if line.endswith(b"\r") else line for line in lines]
    try:
        request_line = lines[0].decode("ascii")
    except UnicodeDecodeError:
        raise HttpError(400, "request line is not ASCII") from None
    parts = request_line.split(" ")
    if len(parts) != 3 or not _TOKEN.match(parts[0]) or not parts[1]:
        raise HttpError(400, "malformed request line")
    method, target, version_text = parts
    version = _VERSION.match(version_text)
    if version is None:
        raise HttpError(400, "malformed HTTP version")
    if version.group(1) != "1":
        raise HttpError(505, "unsupported HTTP version")
    header_lines = lines[1:]
    if len(header_lines) > MAX_HEADERS:
        raise HttpError(431, "too many header fields")
    headers = [_parse_header_line(line) for line in header_lines]
    return Request(method, target, (1, int(version.group(2))), headers)


def _parse_header_line(line):
    if line[:1] in (b" ", b"\t"):
        raise HttpError(400, "folded header line")
    name, colon, value = line.partition(b":")
    name_text = name.decode("latin-1")
    if not colon or not _TOKEN.match(name_text):
        raise HttpError(400, "malformed header line")
    return name_text, value.decode("latin-1").strip(" \t")


def parse_target(target):
    """The decoded path of an origin-form target (query dropped).

    Anything that could leave the served folder is refused with 400: dot
    segments (also percent-encoded), empty segments, backslashes, NUL and
    other control characters, bytes that are not UTF-8.
    """
    if not target.startswith("/"):
        raise HttpError(400, "only origin-form targets are served")
    raw_path = target.split("#", 1)[0].split("?", 1)[0]
    if _PERCENT.search(raw_path):
        raise HttpError(400, "malformed percent-encoding")
    try:
        path = urllib.parse.unquote_to_bytes(raw_path).decode("utf-8")
    except UnicodeDecodeError:
        raise HttpError(400, "path is not UTF-8") from None
    if "\\" in path or any(ord(ch) < 0x20 or ord(ch) == 0x7F for ch in path):
        raise HttpError(400, "forbidden character in path")
    segments = path[1:].split("/")
    for index, segment in enumerate(segments):
        if segment in (".", ".."):
            raise HttpError(400, "dot segment in path")
        if segment == "" and index != len(segments) - 1:
            raise HttpError(400, "empty segment in path")
    return path


def select_range(header, total):
    """The inclusive (first, last) byte span a Range header asks for.

    None means "send the whole body": no header, another unit, a malformed
    value (ignored as HTTP allows) or several ranges (never split into a
    multipart answer). Raises RangeNotSatisfiable for a valid single range
    outside the body.
    """
    if header is None:
        return None
    unit, equals, range_list = header.partition("=")
    if not equals or unit.strip().lower() != "bytes":
        return None
    ranges = [part.strip() for part in range_list.split(",") if part.strip()]
    if len(ranges) != 1:
        return None
    match = _BYTE_RANGE.match(ranges[0])
    if match is None:
        return None
    first_text, last_text = match.groups()
    if len(first_text) > _MAX_RANGE_DIGITS or len(last_text) > _MAX_RANGE_DIGITS:
        return None
    if not first_text:
        if not last_text:
            return None
        suffix = int(last_text)
        if suffix == 0 or total == 0:
            raise RangeNotSatisfiable()
        return max(total - suffix, 0), total - 1
    first = int(first_text)
    if last_text and int(last_text) < first:
        return None
    if first >= total:
        raise RangeNotSatisfiable()
    last = int(last_text) if last_text else total - 1
    return first, min(last, total - 1)


def accepts_gzip(header):
    """Whether an Accept-Encoding value allows gzip (q=0 refuses it)."""
    if not header:
        return False
    weights = {}
    for item in header.split(","):
        coding, _, params = item.partition(";")
        coding = coding.strip().lower()
        weight = 1.0
        for param in params.split(";"):
            key, _, value = param.partition("=")
            if key.strip().lower() == "q":
                try:
                    weight = float(value)
                except ValueError:
                    weight = 0.0
        if coding:
            weights[coding] = weight
    for coding in ("gzip", "x-gzip", "*"):
        if coding in weights:
            return weights[coding] > 0
    return False
