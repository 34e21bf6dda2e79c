"""Per-path behaviour of the test server: faults, status answers, redirects.

A configuration is a JSON object:
  {"rules": [RULE, ...], "gzip": ["*.txt", ...]}
Both keys are optional; a key that is given replaces the current value
("rules": [] clears every rule). "gzip" lists glob patterns of paths that
may be sent gzip-coded (default: DEFAULT_GZIP).

RULE keys (unknown keys are refused, so a typo cannot silently disable a
fault):
  path           glob pattern (fnmatch, `*` crosses `/`) matched against the
                 decoded path without query, e.g. "/update.rxml", "*.pkg"
  methods        ["GET"] / ["HEAD"]; default both
  after, times   every matching request is counted per rule; the rule acts
                 on requests after+1 .. after+times (times null: no end).
                 {"times": 2} = fail twice, then behave normally.
  delay          seconds to wait before answering
  drop           close the connection without any answer
  abort          close with a TCP reset instead of a FIN (drop, close_after,
                 end of a stall)
  redirect       Location value; "{base}" becomes this server's
                 scheme://127.0.0.1:port, "{port}" its port; status 302
                 unless "status" gives 301/302/303/307/308
  status         answer this status instead of the file, with
    body           text body (default: "<status> <reason>")
    maintenance    {"format": "xml", "languages": {"en": {"title": ..,
                   "line1": .., "line2": "back at {time}"}}, "end": ISO time
                   | "end_in": seconds} or {"format": "html", "title": ..,
                   "message": ..}; status defaults to 503; "end" is
                   ISO 8601 (UTC unless it has an offset), "end_in" is
                   rounded up to a whole minute (the page has minutes)
    content_type   for a status answer
  headers        {"Name": "value"}: extra header lines of any answer
  no_length      true: no Content-Length; a body ends with the connection
  close_after    send N body bytes, then close
  stall_after    send N body bytes, then send nothing for stall_seconds
                 (null: until the client leaves or the server stops), then
                 close
  rate           body bytes per second
  corrupt        "flip" (each byte XOR 0xFF) or "replace", or {"mode": ..,
                 "offset": n, "length": n, "byte": n}: wrong content, same
                 length; offsets are in the file, so ranges see the same
                 bytes; "replace" writes `byte` (default 0)
The first rule whose counters include the request acts; body faults apply
to whatever body that answer has.
"""
import copy
import fnmatch
import re
import threading
from dataclasses import dataclass, field

import server_pages

DEFAULT_GZIP = ("*.txt", "*.htm", "*.html", "*.xml", "*.json", "*.css")
_REDIRECT_STATUSES = (301, 302, 303, 307, 308)
_FLIP_TABLE = bytes(255 - value for value in range(256))
_TEXT = "text/plain; charset=utf-8"
_HEADER_NAME = re.compile(r"[!#$%&'*+\-.^_`|~0-9A-Za-z]+")


@dataclass
class Corruption:
    mode: str
    offset: int = 0
    length: int = None
    byte: int = 0

    def apply(self, chunk, position):
        """`chunk` with the corrupted span changed; `position` is its offset."""
        start = max(self.offset, position)
        end = position + len(chunk)
        if self.length is not None:
            end = min(end, self.offset + self.length)
        if start >= end:
            return chunk
        inner = chunk[start - position : end - position]
        if self.mode == "flip":
            inner = inner.translate(_FLIP_TABLE)
        else:
            inner = bytes([self.byte]) * len(inner)
        return chunk[: start - position] + inner + chunk[end - position :]


@dataclass
class Rule:
    path: str
    methods: frozenset = frozenset({"GET", "HEAD"})
    after: int = 0
    times: int = None
    delay: float = 0.0
    drop: bool = False
    abort: bool = False
    redirect: str = None
    status: int = None
    body: str = None
    maintenance: dict = None
    content_type: str = None
    headers: dict = field(default_factory=dict)
    no_length: bool = False
    close_after: int = None
    stall_after: int = None
    stall_seconds: float = None
    rate: int = None
    corrupt: Corruption = None
    seen: int = 0

    def matches(self, method, path):
        return method in self.methods and fnmatch.fnmatchcase(path, self.path)

    def acts_on(self, number):
        """Whether the rule acts on its `number`-th matching request (0-based)."""
        if number < self.after:
            return False
        return self.times is None or number < self.after + self.times

    def cut_after(self):
        return self.close_after if self.close_after is not None else self.stall_after

    def status_body(self):
        """(bytes, content type) of a status answer."""
        if self.maintenance is not None:
            return _maintenance_body(self.maintenance)
        if self.body is not None:
            return self.body.encode("utf-8"), self.content_type or _TEXT
        return server_pages.error_body(self.status), self.content_type or _TEXT


def _maintenance_body(settings):
    if settings["format"] == "html":
        page = server_pages.maintenance_html(settings.get("title", ""), settings.get("message", ""))
        return page.encode("utf-8"), "text/html; charset=utf-8"
    end = None
    if "end" in settings:
        end = server_pages.parse_end_time(settings["end"])
    elif "end_in" in settings:
        end = server_pages.end_time_after(settings["end_in"])
    page = server_pages.maintenance_xml(settings["languages"], end)
    return page.encode("utf-8"), "application/xhtml+xml; charset=utf-8"


def _expect(condition, message):
    if not condition:
        raise ValueError(message)


def _is_count(value, minimum=0):
    return isinstance(value, int) and not isinstance(value, bool) and value >= minimum


def _is_header_text(value):
    return isinstance(value, str) and "\r" not in value and "\n" not in value


def _is_header_name(value):
    return isinstance(value, str) and _HEADER_NAME.fullmatch(value) is not None


def _is_seconds(value):
    return isinstance(value, (int, float)) and not isinstance(value, bool) and value >= 0


def _parse_corruption(value):
    if isinstance(value, str):
        value = {"mode": value}
    _expect(isinstance(value, dict), "corrupt must be a string or an object")
    unknown = set(value) - {"mode", "offset", "length", "byte"}
    _expect(not unknown, f"unknown corrupt keys {sorted(unknown)}")
    _expect(value.get("mode") in ("flip", "replace"), "corrupt mode must be flip or replace")
    offset = value.get("offset", 0)
    length = value.get("length")
    byte = value.get("byte", 0)
    _expect(_is_count(offset), "corrupt offset must be a count")
    _expect(length is None or _is_count(length), "corrupt length must be a count")
    _expect(_is_count(byte) and byte < 256, "corrupt byte must be 0..255")
    return Corruption(value["mode"], offset, length, byte)


def _check_maintenance(settings):
    _expect(isinstance(settings, dict), "maintenance must be an object")
    if settings.get("format") == "html":
        unknown = set(settings) - {"format", "title", "message"}
    else:
        _expect(settings.get("format") == "xml", "maintenance format must be xml or html")
        unknown = set(settings) - {"format", "languages", "end", "end_in"}
        languages = settings.get("languages")
        _expect(isinstance(languages, dict) and languages, "maintenance needs languages")
        for texts in languages.values():
            _expect(
                isinstance(texts, dict) and "title" in texts and "line1" in texts,
                "each language needs title and line1",
            )
        _expect(not ("end" in settings and "end_in" in settings), "give end or end_in, not both")
        if "end" in settings:
            server_pages.parse_end_time(settings["end"])
        if "end_in" in settings:
            _expect(_is_seconds(settings["end_in"]), "end_in must be seconds")
    _expect(not unknown, f"unknown maintenance keys {sorted(unknown)}")


_SIMPLE_KEYS = {
    "after": _is_count,
    "times": lambda v: v is None or _is_count(v, 1),
    "delay": _is_seconds,
    "drop": lambda v: isinstance(v, bool),
    "abort": lambda v: isinstance(v, bool),
    "redirect": lambda v: isinstance(v, str) and v != "" and _is_header_text(v),
    "status": lambda v: _is_count(v, 100) and v <= 599,
    "body": lambda v: isinstance(v, str),
    "content_type": lambda v: isinstance(v, str) and _is_header_text(v),
    "headers": lambda v: isinstance(v, dict)
    and all(_is_header_name(k) and _is_header_text(x) for k, x in v.items()),
    "no_length": lambda v: isinstance(v, bool),
    "close_after": _is_count,
    "stall_after": _is_count,
    "stall_seconds": lambda v: v is None or _is_seconds(v),
    "rate": lambda v: _is_count(v, 1),
}


def parse_rule(settings):
    """A Rule from its JSON object; ValueError names the offending key."""
    _expect(isinstance(settings, dict), "a rule must be an object")
    _expect(isinstance(settings.get("path"), str) and settings["path"], "a rule needs a path")
    known = set(_SIMPLE_KEYS) | {"path", "methods", "maintenance", "corrupt"}
    unknown = set(settings) - known
    _expect(not unknown, f"unknown rule keys {sorted(unknown)}")
    values = {"path": settings["path"]}
    for key, valid in _SIMPLE_KEYS.items():
        if key in settings:
            _expect(valid(settings[key]), f"bad value for {key}: {settings[key]!r}")
            values[key] = settings[key]
    if "methods" in settings:
        methods = settings["methods"]
        _expect(
            isinstance(methods, list) and methods and set(methods) <= {"GET", "HEAD"},
            "methods must list GET and/or HEAD",
        )
        values["methods"] = frozenset(methods)
    if "corrupt" in settings:
        values["corrupt"] = _parse_corruption(settings["corrupt"])
    if "maintenance" in settings:
        _check_maintenance(settings["maintenance"])
        values["maintenance"] = copy.deepcopy(settings["maintenance"])
        values.setdefault("status", 503)
    _expect("body" not in settings or "maintenance" not in settings, "give body or maintenance")
    _expect(
        "status" in values or not {"body", "content_type"} & set(settings),
        "body and content_type need a status",
    )
    _expect(
        "close_after" not in settings or "stall_after" not in settings, "give close_after or stall_after"
    )
    if "redirect" in settings:
        values.setdefault("status", 302)
        _expect(values["status"] in _REDIRECT_STATUSES, "a redirect needs a 3xx status")
        _expect(not {"body", "maintenance"} & set(settings), "a redirect has its own body")
    return Rule(**values)


def parse_config(config):
    """Validates a configuration object; returns (rules or None, gzip or None)."""
    _expect(isinstance(config, dict), "the configuration must be an object")
    unknown = set(config) - {"rules", "gzip"}
    _expect(not unknown, f"unknown configuration keys {sorted(unknown)}")
    rules = None
    gzip = None
    if "rules" in config:
        _expect(isinstance(config["rules"], list), "rules must be a list")
        rules = [(parse_rule(settings), copy.deepcopy(settings)) for settings in config["rules"]]
    if "gzip" in config:
        patterns = config["gzip"]
        _expect(
            isinstance(patterns, list) and all(isinstance(p, str) for p in patterns),
            "gzip must be a list of patterns",
        )
        gzip = tuple(patterns)
    return rules, gzip


class RuleSet:
    """The live configuration; every method may be called from any thread."""

    def __init__(self):
        self._lock = threading.Lock()
        self._rules = []
        self._specs = []
        self._gzip = DEFAULT_GZIP

    def configure(self, config):
        """Replaces the keys `config` gives; counters of new rules start at 0."""
        rules, gzip = parse_config(config)
        with self._lock:
            if rules is not None:
                self._rules = [rule for rule, _ in rules]
                self._specs = [settings for _, settings in rules]
            if gzip is not None:
                self._gzip = gzip

    def add_rule(self, settings):
        rule = parse_rule(settings)
        with self._lock:
            self._rules.append(rule)
            self._specs.append(copy.deepcopy(settings))

    def select(self, method, path):
        """(index, rule) acting on this request, or (None, None); counts it."""
        chosen = (None, None)
        with self._lock:
            for index, rule in enumerate(self._rules):
                if not rule.matches(method, path):
                    continue
                number = rule.seen
                rule.seen += 1
                if chosen[1] is None and rule.acts_on(number):
                    chosen = (index, rule)
        return chosen

    def gzip_allowed(self, path):
        with self._lock:
            patterns = self._gzip
        return any(fnmatch.fnmatchcase(path, pattern) for pattern in patterns)

    def snapshot(self):
        """The configuration as JSON data, each rule with its "seen" count."""
        with self._lock:
            rules = [dict(settings, seen=rule.seen) for rule, settings in zip(self._rules, self._specs)]
            return {"rules": rules, "gzip": list(self._gzip)}
