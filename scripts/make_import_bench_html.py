#!/usr/bin/env python3
"""Writes the HTML inputs of the import benchmark into bench/data: prose with
fonts and CSS, and a list-heavy document, each at 250 KB and at 1 MB, and a
table-heavy document of 250 and of 1,000 rows of 5 columns (tables of 250
rows each). The output depends on nothing but this script (a fixed-seed
generator), so the files can be made again byte for byte."""
import os
import random

WORDS = ("rich text notes import paragraph font colour table list item style sheet rule margin "
         "indent heading border document record value field view form page image link anchor "
         "section layer cell row column width height size face bold italic underline strike "
         "quarterly report summary figures customer order delivery invoice account balance "
         "meeting agenda minutes project milestone schedule budget review approval").split()

STYLE = """<style type="text/css">
body { font-family: Arial, Helvetica, sans-serif; font-size: 10pt; }
p { margin-top: 0; margin-bottom: 6px; }
p.note { color: #336699; margin-left: 0.5in; }
p.quote { font-style: italic; margin-left: 20px; margin-right: 20px; }
span.key { font-weight: bold; color: #993300; }
span.mark { background-color: yellow; }
span.small { font-size: 8pt; }
span.big { font-size: 14pt; }
h1 { font-size: 18pt; color: navy; }
h2 { font-size: 14pt; }
h3 { font-size: 12pt; font-style: italic; }
div.box { border: 1px solid #999999; padding-left: 4px; }
div.center { text-align: center; }
td { font-size: 9pt; }
.code { font-family: 'Courier New', monospace; }
a { color: #0000cc; text-decoration: underline; }
em { color: #660066; }
</style>"""


def words(rng, count):
    return " ".join(rng.choice(WORDS) for _ in range(count))


def sentence(rng):
    parts = [words(rng, rng.randint(3, 8))]
    for _ in range(rng.randint(1, 3)):
        kind = rng.randint(0, 9)
        text = words(rng, rng.randint(1, 4))
        if kind == 0:
            parts.append("<b>%s</b>" % text)
        elif kind == 1:
            parts.append("<i>%s</i>" % text)
        elif kind == 2:
            parts.append('<span class="key">%s</span>' % text)
        elif kind == 3:
            parts.append('<font face="Times New Roman" size="%d" color="#%06x">%s</font>'
                         % (rng.randint(1, 6), rng.randint(0, 0xFFFFFF), text))
        elif kind == 4:
            parts.append('<span style="color: #%06x; font-size: %dpx">%s</span>'
                         % (rng.randint(0, 0xFFFFFF), rng.randint(10, 20), text))
        elif kind == 5:
            parts.append('<a href="http://example.com/%d">%s</a>' % (rng.randint(1, 9999), text))
        elif kind == 6:
            parts.append('<span class="mark">%s</span>' % text)
        elif kind == 7:
            parts.append("<u>%s</u>" % text)
        elif kind == 8:
            parts.append('<em>%s</em> <span class="code">%s</span>' % (text, words(rng, 1)))
        else:
            parts.append('<font size="+1"><b>%s</b></font>' % text)
        parts.append(words(rng, rng.randint(2, 6)))
    return " ".join(parts) + "."


def prose(rng, size):
    out = ["<!DOCTYPE html>\n<html><head><title>Prose</title>", STYLE, "</head><body>\n"]
    length = sum(len(part) for part in out)
    n = 0
    while length < size - 100:
        n += 1
        kind = n % 12
        if kind == 0:
            block = "<h%d>%s</h%d>\n" % (rng.randint(1, 3), words(rng, 4).title(), rng.randint(1, 3))
        elif kind == 5:
            block = '<p class="note">%s</p>\n' % sentence(rng)
        elif kind == 7:
            block = '<blockquote><p class="quote">%s</p></blockquote>\n' % sentence(rng)
        elif kind == 9:
            block = '<div class="box">%s<br>%s</div>\n' % (sentence(rng), sentence(rng))
        elif kind == 11:
            block = '<div class="center"><p>%s</p></div>\n<hr>\n' % sentence(rng)
        else:
            block = "<p>%s %s</p>\n" % (sentence(rng), sentence(rng))
        out.append(block)
        length += len(block)
    out.append("</body></html>\n")
    return "".join(out)


def list_items(rng, depth):
    items = []
    for _ in range(rng.randint(3, 6)):
        text = sentence(rng) if rng.random() < 0.4 else words(rng, rng.randint(2, 7))
        nested = ""
        if depth < 3 and rng.random() < 0.25:
            tag = rng.choice(["ul", "ol"])
            nested = "<%s>%s</%s>" % (tag, list_items(rng, depth + 1), tag)
        items.append("<li>%s%s</li>" % (text, nested))
    return "\n".join(items)


def lists(rng, size):
    out = ["<!DOCTYPE html>\n<html><head><title>Lists</title>", STYLE, "</head><body>\n"]
    length = sum(len(part) for part in out)
    n = 0
    while length < size - 100:
        n += 1
        if n % 4 == 0:
            block = "<p>%s</p>\n" % sentence(rng)
        else:
            tag = "ol" if n % 3 == 0 else "ul"
            style = ' style="list-style-type: square"' if n % 5 == 0 else ""
            block = "<%s%s>\n%s\n</%s>\n" % (tag, style, list_items(rng, 1), tag)
        out.append(block)
        length += len(block)
    out.append("</body></html>\n")
    return "".join(out)


TABLE_ROWS = 250


def cell(rng):
    kind = rng.randint(0, 5)
    text = words(rng, rng.randint(1, 5))
    if kind == 0:
        return "<b>%s</b>" % text
    if kind == 1:
        return '<span class="key">%s</span> %s' % (text, words(rng, 2))
    if kind == 2:
        return "%d.%02d" % (rng.randint(0, 99999), rng.randint(0, 99))
    return text


def tables(rng, rows):
    out = ["<!DOCTYPE html>\n<html><head><title>Tables</title>", STYLE, "</head><body>\n"]
    for first in range(0, rows, TABLE_ROWS):
        out.append("<p>%s</p>\n" % sentence(rng))
        out.append('<table border="1" cellpadding="2" width="100%">\n')
        out.append("<tr>%s</tr>\n" % "".join("<th>%s</th>" % words(rng, 2).title() for _ in range(5)))
        for row in range(first + 1, min(first + TABLE_ROWS, rows)):
            if row % 10 == 0:
                cells = '<td colspan="2">%s</td>%s' % (cell(rng), "".join("<td>%s</td>" % cell(rng) for _ in range(3)))
            elif row % 7 == 0:
                cells = '<td bgcolor="#eeeeee">%s</td>%s' % (cell(rng), "".join("<td>%s</td>" % cell(rng) for _ in range(4)))
            else:
                cells = "".join("<td>%s</td>" % cell(rng) for _ in range(5))
            out.append("<tr>%s</tr>\n" % cells)
        out.append("</table>\n")
    out.append("</body></html>\n")
    return "".join(out)


def main():
    here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "bench", "data")
    os.makedirs(here, exist_ok=True)
    for name, make in (("prose", prose), ("lists", lists)):
        for label, size in (("250k", 250 * 1024), ("1m", 1024 * 1024)):
            rng = random.Random("%s-%s" % (name, label))
            with open(os.path.join(here, "import-%s-%s.html" % (name, label)), "w", encoding="utf-8", newline="\n") as f:
                f.write(make(rng, size))
    for rows in (TABLE_ROWS, 4 * TABLE_ROWS):
        rng = random.Random("tables-%d" % rows)
        with open(os.path.join(here, "import-tables-%d.html" % rows), "w", encoding="utf-8", newline="\n") as f:
            f.write(tables(rng, rows))


if __name__ == "__main__":
    main()
