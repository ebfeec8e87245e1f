#!/usr/bin/env python3
"""Writes a message made by Python's email package to OUT.eml (CR LF line
ends, as mail travels) whose HTML shows a GIF by its Content-ID and which
carries pictures the HTML does not show: a PNG screenshot and a BMP
attached, and an SVG inline under a file name of its own. The bytes of
those three files go into the folder FILES under their names.

Usage: attached_pictures.py OUT.eml FILES"""
import base64
import os
import struct
import sys
import zlib
from email import policy
from email.message import EmailMessage

GIF = base64.b64decode('R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw==')


def png():
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    header = struct.pack('>IIBBBBB', 1, 1, 8, 2, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', zlib.compress(b'\x00\xff\xff\xff'))
            + chunk(b'IEND', b''))


def bmp():
    pixels = b'\xff\xff\xff\x00'
    info = struct.pack('<IiiHHIIiiII', 40, 1, 1, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return b'BM' + struct.pack('<IHHI', 14 + len(info) + len(pixels), 0, 0, 14 + len(info)) + info + pixels


SVG = b'<svg xmlns="http://www.w3.org/2000/svg" width="1" height="1"><rect width="1" height="1"/></svg>\n'

out, folder = sys.argv[1], sys.argv[2]
msg = EmailMessage(policy=policy.SMTP)
msg['From'] = 'Sender <sender@example.com>'
msg['To'] = 'Reader <reader@example.com>'
msg['Subject'] = 'Screenshot attached'
msg.set_content('The plain version')
msg.add_alternative('<p>Here is the screenshot <img src="cid:dot1"> you asked for</p>', subtype='html')
msg.get_payload()[1].add_related(GIF, 'image', 'gif', cid='<dot1>', disposition='inline')
files = (('screenshot.png', png(), 'png', 'attachment'), ('drawing.bmp', bmp(), 'bmp', 'attachment'),
         ('diagram.svg', SVG, 'svg+xml', 'inline'))
for name, data, subtype, disposition in files:
    msg.add_attachment(data, maintype='image', subtype=subtype, filename=name, disposition=disposition)
with open(out, 'wb') as target:
    target.write(msg.as_bytes())

for name, data, _, _ in files:
    with open(os.path.join(folder, name), 'wb') as target:
        target.write(data)
