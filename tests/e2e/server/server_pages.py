"""Bodies of maintenance (502/503) answers and of the server's own errors.

The XML page is the XHTML document the launcher reads: a `div id="time"`
with the end time in UTC, and one `div id="<language code>"` per language
with "title", "line1" and "line2" blocks; "{time}" in line2 marks where the
launcher puts the formatted end time. `id` must stay the first attribute of
those divs. The HTML page is deliberately not well-formed XML, as a plain
error page from a front proxy would be.
"""
import datetime
import html
from http import HTTPStatus
from xml.sax.saxutils import escape

TIME_MARKER = "{time}"


def maintenance_xml(languages, end=None):
    """An XHTML maintenance page.

    languages: {code: {"title": str, "line1": str, "line2": str}}; line2 is
    optional and may contain TIME_MARKER once.
    end: an aware or UTC-naive datetime, or None for a page without end time.
    """
    parts = [
        '<?xml version="1.0" encoding="utf-8"?>\n',
        '<html xmlns="http://www.w3.org/1999/xhtml">\n',
        "<head><title>Maintenance</title></head>\n<body>\n",
    ]
    if end is not None:
        parts.append(_time_div(end))
    for code, texts in languages.items():
        parts.append(_language_div(code, texts))
    parts.append("</body>\n</html>\n")
    return "".join(parts)


def _time_div(end):
    if end.tzinfo is not None:
        end = end.astimezone(datetime.timezone.utc)
    fields = (
        ("year", end.year),
        ("month", end.month),
        ("day", end.day),
        ("hour", end.hour),
        ("minute", end.minute),
    )
    spans = "".join(f'<span class="{name}">{value}</span>' for name, value in fields)
    return f'<div id="time">{spans}</div>\n'


def _language_div(code, texts):
    blocks = [
        f'<p class="title">{escape(texts["title"])}</p>',
        f'<p class="line1">{escape(texts["line1"])}</p>',
    ]
    line2 = texts.get("line2")
    if line2:
        before, marker, after = line2.partition(TIME_MARKER)
        time_span = '<span class="time"></span>' if marker else ""
        blocks.append(f'<p class="line2">{escape(before)}{time_span}{escape(after)}</p>')
    return f'<div id="{escape(code)}">{"".join(blocks)}</div>\n'


def end_time_after(seconds, now=None):
    """The first whole minute at least `seconds` from now (UTC).

    The page carries minutes only; rounding up keeps the announced end in
    the future.
    """
    now = now or datetime.datetime.now(datetime.timezone.utc)
    end = now + datetime.timedelta(seconds=seconds)
    if end.second or end.microsecond:
        end = end.replace(second=0, microsecond=0) + datetime.timedelta(minutes=1)
    return end


def parse_end_time(text):
    """An ISO 8601 time; without an offset it is taken as UTC."""
    value = datetime.datetime.fromisoformat(text.replace("Z", "+00:00"))
    if value.tzinfo is None:
        value = value.replace(tzinfo=datetime.timezone.utc)
    return value


def maintenance_html(title, message):
    """A plain HTML page (not XML: void tags, no closing body)."""
    return (
        "<!DOCTYPE html>\n<html><head><meta charset=utf-8>\n"
        f"<title>{html.escape(title)}</title></head>\n"
        f"<body><h1>{html.escape(title)}</h1><br>\n<p>{html.escape(message)}\n"
    )


def reason_phrase(status):
    try:
        return HTTPStatus(status).phrase
    except ValueError:
        return "Unknown"


def error_body(status, detail=""):
    text = f"{status} {reason_phrase(status)}\n"
    if detail:
        text += detail + "\n"
    return text.encode("utf-8")
