#!/usr/bin/env python3
"""Prints, for each message file given, one line: the file name, a tab, and
the words of the text of its first text/html part as Python's email package
decodes it (tags, character references and white space aside), joined by
single spaces."""
import email
import html
import re
import sys
from email import policy


def words(path):
    with open(path, 'rb') as source:
        message = email.message_from_binary_file(source, policy=policy.default)
    for part in message.walk():
        if part.get_content_type() == 'text/html':
            text = re.sub(r'<[^>]*>', ' ', part.get_content())
            return ' '.join(html.unescape(text).replace('\ufeff', ' ').split())
    return ''


for name in sys.argv[1:]:
    print('%s\t%s' % (name, words(name)))
