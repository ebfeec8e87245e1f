#!/usr/bin/env python3
"""Compares the text a mail reader shows with the text of the page. The one
argument names a file of lines "MESSAGE<tab>REFERENCE": a MIME message and
the item's HTML as `talix html` writes it (UTF-8). The text/html part of the
message is read by Python's email package (policy=default, the charset its
header names), and both HTML texts by an HTML parser; their visible words
(text outside head, script and style, a picture's alternative text,
character references decoded, white space and the tags where the flow
breaks separating words) must be the same,
in the same order. Prints one tab-separated line per problem, "problem
MESSAGE  TEXT", and last "checked  COUNT":
  - a message without exactly one text/html part;
  - a replacement character (U+FFFD) in the part that the reference has not;
  - the first word that differs, with the words around it."""
import email
import sys
from html.parser import HTMLParser

from kept_headers import POLICY

# Tags beside which white space never shows: the flow breaks there (blocks,
# line breaks, list items, table parts, options) or they frame the document.
FLOW_BREAKS = set('''address article aside blockquote body br caption center col colgroup dd details dir div dl dt
fieldset figcaption figure footer form frame frameset h1 h2 h3 h4 h5 h6 head header hr html legend li main menu nav
noframes ol optgroup option p pre section summary table tbody td tfoot th thead tr ul'''.split())
HIDDEN = {'head', 'title', 'script', 'style'}


class VisibleText(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.parts = []
        self.hidden = []

    def handle_starttag(self, tag, attrs):
        if tag in FLOW_BREAKS:
            self.parts.append(' ')
        if tag in HIDDEN:
            self.hidden.append(tag)
        # A picture shows as its alternative text where it cannot be shown
        # (a message writes that text in place of a picture that cannot
        # travel).
        if tag == 'img' and not self.hidden:
            self.parts.append(dict(attrs).get('alt') or '')

    def handle_startendtag(self, tag, attrs):
        self.handle_starttag(tag, attrs)

    def handle_endtag(self, tag):
        if tag in FLOW_BREAKS:
            self.parts.append(' ')
        if tag in self.hidden:
            while self.hidden and self.hidden.pop() != tag:
                pass

    def handle_data(self, data):
        if not self.hidden:
            self.parts.append(data)


def words(html):
    # A comment that is never closed hides the rest, as browsers read it.
    at = 0
    while True:
        at = html.find('<!--', at)
        if at < 0:
            break
        end = html.find('-->', at + 4)
        if end < 0:
            html = html[:at]
            break
        at = end + 3
    parser = VisibleText()
    parser.feed(html)
    parser.close()
    return ''.join(parser.parts).split()


# The words of each reference page: an item's page is the reference of its
# messages in every option set.
REFERENCE_WORDS = {}


def reference_words(reference):
    if reference not in REFERENCE_WORDS:
        REFERENCE_WORDS[reference] = words(open(reference, 'rb').read().decode('utf-8', 'replace'))
    return REFERENCE_WORDS[reference]


def check(path, reference, out):
    def problem(text):
        out.append('problem\t%s\t%s' % (path, text.replace('\t', ' ').replace('\n', ' ')))

    with open(path, 'rb') as source:
        message = email.message_from_binary_file(source, policy=POLICY)
    parts = [part for part in message.walk() if part.get_content_type() == 'text/html']
    if len(parts) != 1:
        problem('%d text/html parts' % len(parts))
        return
    shown = parts[0].get_content()
    expected = open(reference, 'rb').read().decode('utf-8', 'replace')
    if '\ufffd' in shown and '\ufffd' not in expected:
        at = shown.index('\ufffd')
        problem('a replacement character (charset %s): %r' % (parts[0].get_content_charset(), shown[at - 30:at + 30]))
    got, want = words(shown), reference_words(reference)
    if got != want:
        at = 0
        while at < len(got) and at < len(want) and got[at] == want[at]:
            at += 1
        problem('word %d differs: %r, the page has %r' % (at, got[max(0, at - 3):at + 3], want[max(0, at - 3):at + 3]))


def main():
    out = []
    pairs = [line.rstrip('\n').split('\t') for line in open(sys.argv[1], encoding='utf-8') if line.strip()]
    for message, reference in pairs:
        check(message, reference, out)
    out.append('checked\t%d' % len(pairs))
    sys.stdout.write('\n'.join(out) + '\n')


if __name__ == '__main__':
    main()
