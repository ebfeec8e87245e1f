#!/usr/bin/env python3
"""Reads MIME messages with Python's email package and prints what the
tests compare: for each file a line "file PATH", then one tab-separated
line each:
  header  NAME  VALUE              the top-level header lines, in order
  decoded NAME  VALUE              each as the package reads it: encoded
                                   words decoded, folds joined; an address
                                   field as "display <address>" entries
                                   joined by " | "
  defect  PATH  DEFECT             every defect of the message, a part or a
                                   header
  part    PATH  TYPE  CONTENT-ID  FILENAME  HEX  TEXT
                                   every part, depth first; HEX is the
                                   decoded payload of a leaf part, TEXT
                                   the UTF-8 of what get_content() gives
                                   of a text part, in hexadecimal ("-"
                                   when it cannot decode it, "" for
                                   other parts)
Values have backslashes, tabs and line ends escaped with a backslash.
PATH is "0" for the message and "0.1.2" for the second part of its first
part."""
import email
import sys
from email import policy


def clean(text):
    return str(text).replace('\\', '\\\\').replace('\r', '\\r').replace('\n', '\\n').replace('\t', '\\t')


def describe(path, out):
    with open(path, 'rb') as source:
        message = email.message_from_binary_file(source, policy=policy.default)
    out.append('file\t%s' % path)
    for name, value in message.raw_items():
        out.append('header\t%s\t%s' % (name, clean(value)))
    for name, header in message.items():
        addresses = getattr(header, 'addresses', None)
        if addresses is not None:
            value = ' | '.join('%s <%s>' % (a.display_name, a.addr_spec) for a in addresses)
        else:
            value = str(header)
        out.append('decoded\t%s\t%s' % (name, clean(value)))

    def walk(part, path):
        for defect in part.defects:
            out.append('defect\t%s\t%s' % (path, type(defect).__name__))
        for name, header in part.items():
            for defect in getattr(header, 'defects', ()):
                out.append('defect\t%s\t%s: %s' % (path, name, type(defect).__name__))
        content_id = part.get('Content-ID', '')
        filename = part.get_filename() or ''
        payload = b''
        text = ''
        if not part.is_multipart():
            payload = part.get_payload(decode=True) or b''
            if part.get_content_maintype() == 'text':
                try:
                    text = part.get_content().encode('utf-8').hex()
                except (LookupError, UnicodeError):
                    text = '-'
        out.append('part\t%s\t%s\t%s\t%s\t%s\t%s' % (path, part.get_content_type(), clean(content_id),
                                                     clean(filename), payload.hex(), text))
        if part.is_multipart():
            for number, child in enumerate(part.iter_parts(), 1):
                walk(child, '%s.%d' % (path, number))

    walk(message, '0')


def main():
    out = []
    for path in sys.argv[1:]:
        describe(path, out)
    sys.stdout.write('\n'.join(out) + '\n')


if __name__ == '__main__':
    main()
