#!/usr/bin/env python3
"""Checks MIME messages as a mail reader takes them, with Python's email
package (policy=default). The one argument names a file of lines
"MESSAGE<tab>REFERENCE", where REFERENCE is the item's HTML as the generation writes it without line
cutting (or "-" when there is none). Prints one tab-separated line per
problem, "problem  MESSAGE  TEXT", and last "checked  COUNT":
  - a defect of the message, a part or a header;
  - a "cid:" of the HTML part that no part's Content-ID names;
  - a line of more than 998 characters, or of more than 76 in a
    quoted-printable part;
  - a Date, Message-ID, From or To that is missing or does not parse;
  - a header of the names in the environment variable TALIX_FORBIDDEN_HEADERS
    (comma-separated);
  - an attribute value of the HTML part with a line break that the same
    value of the reference does not have."""
import email
import os
import re
import sys
from html.parser import HTMLParser

from kept_headers import POLICY


class Attributes(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.broken = set()

    def handle_starttag(self, tag, attrs):
        for _, value in attrs:
            if value is not None and ('\n' in value or '\r' in value):
                self.broken.add(value.replace('\r\n', '\n'))

    handle_startendtag = handle_starttag


def broken_values(html):
    parser = Attributes()
    try:
        parser.feed(html)
        parser.close()
    except Exception:  # a page the parser cannot take has no values to compare
        pass
    return parser.broken


def check(path, reference, forbidden, out):
    def problem(text):
        out.append('problem\t%s\t%s' % (path, text.replace('\t', ' ').replace('\n', ' ')))

    raw = open(path, 'rb').read()
    for number, line in enumerate(raw.split(b'\n'), 1):
        if len(line.rstrip(b'\r')) > 998:
            problem('line %d has %d characters' % (number, len(line)))
    message = email.message_from_bytes(raw, policy=POLICY)
    ids, html = set(), []
    for part in message.walk():
        for defect in part.defects:
            problem('defect %s' % type(defect).__name__)
        # Each header is parsed once (the package parses it anew at each
        # look-up): its defects, then the values looked at below.
        headers = {}
        for name, value in part.items():
            for defect in getattr(value, 'defects', ()):
                problem('header %s: %s' % (name, type(defect).__name__))
            headers.setdefault(name.lower(), value)
        content_id = headers.get('content-id')
        if content_id:
            ids.add(str(content_id).strip().strip('<>'))
        if part.get_content_type() == 'text/html':
            html.append(part.get_content())
        if str(headers.get('content-transfer-encoding', '')).lower() == 'quoted-printable':
            for line in part.get_payload(decode=False).split('\n'):
                if len(line.rstrip('\r')) > 76:
                    problem('quoted-printable line of %d characters' % len(line.rstrip('\r')))
    for text in html:
        for cid in re.findall(r'cid:([^"\'\s>)]+)', text):
            if cid not in ids:
                problem('cid:%s names no part' % cid)
    date = message['Date']
    if date is None or getattr(date, 'datetime', None) is None:
        problem('no Date that parses')
    identity = message['Message-ID']
    if identity is None or not re.fullmatch(r'<[^<>@\s]+@[^<>@\s]+>', str(identity)):
        problem('no Message-ID that parses')
    for name in ('From', 'To'):
        header = message[name]
        if header is None or not getattr(header, 'addresses', ()) or any(
                not a.addr_spec or '@' not in a.addr_spec for a in header.addresses):
            problem('no %s that parses' % name)
    for name in forbidden:
        if message[name] is not None:
            problem('a %s header' % name)
    broken = broken_values(html[0]) if reference != '-' and html else set()
    # The reference is read only when the part has values to compare.
    if broken:
        had = broken_values(open(reference, 'rb').read().decode('utf-8', 'replace'))
        for value in broken - had:
            problem('attribute value with a line break it did not have: %r' % value[:80])


def main():
    forbidden = [n for n in os.environ.get('TALIX_FORBIDDEN_HEADERS', '').split(',') if n]
    out = []
    pairs = [line.rstrip('\n').split('\t') for line in open(sys.argv[1], encoding='utf-8') if line.strip()]
    for message, reference in pairs:
        check(message, reference, forbidden, out)
    out.append('checked\t%d' % len(pairs))
    sys.stdout.write('\n'.join(out) + '\n')


if __name__ == '__main__':
    main()
