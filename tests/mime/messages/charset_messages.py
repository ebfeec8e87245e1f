#!/usr/bin/env python3
"""Writes into the folder given one message per character set with Python's
email package, its HTML part in that set, and prints one line per message:
the file name, a tab, and the words of the text Python put in (tags and
character references read, white space aside), joined by single spaces.

The text holds every character the set gives bytes 0x80 to 0xFF (for sets
of two bytes to a character, every character of the two-byte codes), and
characters the set lacks as character references.

With --only NAME... only the messages of those sets are written.

With --read FILE..., reads messages instead and prints for each the file
name, the character set its HTML part is labelled with, and the words of
that part's text (its head aside) as the package decodes it, tab-separated;
"-" for words it cannot decode."""
import email
import html
import os
import re
import sys
from email import policy
from email.message import EmailMessage

SMTP = policy.SMTP
LACKING = '&#x4E2D;&#1051;&#128512;'   # a Han character, a Cyrillic one, an emoji


def letters(codec, codes):
    out = []
    for code in codes:
        try:
            c = code.decode(codec)
        except UnicodeDecodeError:
            continue
        if c.isprintable() and not c.isspace():
            out.append(c)
    return out


def single_bytes(codec):
    return letters(codec, [bytes([b]) for b in range(0x80, 0x100)])


def two_bytes(codec, low=0x81):
    return letters(codec, [bytes([a, b]) for a in range(low, 0xFF) for b in range(0x40, 0xFF) if b != 0x7F])


def text_of(characters):
    # Lines of 40 characters, so that no line of the part is too long.
    lines = [''.join(characters[at:at + 40]) for at in range(0, len(characters), 40)]
    return '<html><body><p>Words ' + '<br>\n'.join(lines) + ' ' + LACKING + '</p></body></html>'


def words(markup):
    return ' '.join(html.unescape(re.sub(r'<[^>]*>', ' ', markup)).split())


# (file name, label, codec that writes the bytes, characters, transfer
# encoding, byte-order mark written before the text)
SETS = [
    ('latin9', 'ISO-8859-15', 'iso-8859-15', single_bytes('iso-8859-15'), 'quoted-printable', b''),
    ('greek', 'windows-1253', 'cp1253', single_bytes('cp1253'), 'quoted-printable', b''),
    ('turkish', 'windows-1254', 'cp1254', single_bytes('cp1254'), 'base64', b''),
    ('hebrew', 'windows-1255', 'cp1255', single_bytes('cp1255'), 'quoted-printable', b''),
    ('arabic', 'windows-1256', 'cp1256', single_bytes('cp1256'), 'base64', b''),
    ('baltic', 'windows-1257', 'cp1257', single_bytes('cp1257'), 'quoted-printable', b''),
    ('vietnamese', 'windows-1258', 'cp1258', single_bytes('cp1258'), 'base64', b''),
    # Hebrew in logical order: the bytes of ISO-8859-8.
    ('hebrew_logical', 'ISO-8859-8-I', 'iso-8859-8', single_bytes('iso-8859-8'), 'quoted-printable', b''),
    ('gbk', 'GBK', 'gbk', two_bytes('gbk'), 'base64', b''),
    # GBK's characters under the label GB2312, as mail programs send them.
    # The codes GB2312 has read as the platform's GB2312 table maps them,
    # where GBK gives a look-alike: the middle dot, the dash, the apostrophe.
    ('gb2312_gbk', 'gb2312', 'gbk', [c for c in two_bytes('gbk') if c not in '\u00B7\u2014\uFF07'], 'base64',
     b''),
    # The fullwidth apostrophe aside: the platform's GB2312 table gives the
    # acute accent for its code.
    ('gb2312', 'GB2312', 'gb2312', [c for c in two_bytes('gb2312', 0xA1) if c != '\uFF07'], 'base64', b''),
    # Characters of four bytes too; U+1E3F aside, whose code the editions
    # of GB18030 map differently.
    ('gb18030', 'gb18030', 'gb18030',
     [c for c in two_bytes('gb18030') if c not in '\u1E3F\uE7C7'] + ['\U00020000', '\u20AC', '\u0E01', '\U0001F600'],
     'base64', b''),
    ('utf16', 'utf-16', 'utf-16', two_bytes('gbk')[:400] + single_bytes('cp1253') + ['\U0001D11E'], 'base64', b''),
    ('utf16le', 'UTF-16LE', 'utf-16-le', two_bytes('gbk')[:400] + ['\U0001D11E'], 'base64', b'\xff\xfe'),
    ('utf16be', 'utf-16be', 'utf-16-be', two_bytes('gbk')[:400] + ['\U0001D11E'], 'base64', b'\xfe\xff'),
]


def read(paths):
    for path in paths:
        with open(path, 'rb') as source:
            msg = email.message_from_binary_file(source, policy=policy.default)
        for part in msg.walk():
            if part.get_content_type() == 'text/html':
                try:
                    text = words(re.sub(r'(?is)<head.*?</head>', ' ', part.get_content()))
                except (LookupError, UnicodeError):
                    text = '-'
                print('%s\t%s\t%s' % (path, part.get_content_charset(), text))
                break


def main():
    if sys.argv[1] == '--read':
        read(sys.argv[2:])
        return
    folder = sys.argv[1]
    only = sys.argv[3:] if len(sys.argv) > 2 and sys.argv[2] == '--only' else None
    for name, label, codec, characters, cte, mark in SETS:
        if only is not None and name not in only:
            continue
        markup = text_of(characters)
        msg = EmailMessage(policy=SMTP)
        msg['From'] = 'Sender <sender@example.com>'
        msg['Subject'] = name
        msg.set_content(mark + markup.replace('\n', '\r\n').encode(codec), 'text', 'html', cte=cte)
        msg.set_param('charset', label)
        path = os.path.join(folder, name + '.eml')
        with open(path, 'wb') as out:
            out.write(msg.as_bytes(policy=SMTP))
        print('%s\t%s' % (name + '.eml', words(markup)))


if __name__ == '__main__':
    main()
