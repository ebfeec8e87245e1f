#!/usr/bin/env python3
"""Writes a message with files, made by Python's email package, to OUT.eml
(CR LF line ends, as mail travels) and, into the folder FILES, the bytes of
each file it attached: a PDF large enough that a note keeps its body in an
attachment of its own, a text/plain attachment sent as it stands (7bit, its
lines ended by CR LF as text travels), and an inline GIF that the HTML shows
(written as picture.gif, though it is no file of the message).

Usage: file_parts.py OUT.eml FILES"""
import base64
import os
import sys
from email import policy
from email.message import EmailMessage

GIF = base64.b64decode('R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw==')

out, folder = sys.argv[1], sys.argv[2]
pdf = b'%PDF-1.4\n' + bytes((n * 7 + n // 256) % 256 for n in range(90000)) + b'\n%%EOF\n'
notes = b'line one\r\nline two, with a last line end\r\n'

msg = EmailMessage(policy=policy.SMTP)
msg['From'] = 'Sender <sender@example.com>'
msg['To'] = 'Reader <reader@example.com>'
msg['Subject'] = 'Files'
msg.set_content('The plain version')
msg.add_alternative('<p>See the files <img src="cid:picture1"></p>', subtype='html')
msg.get_payload()[1].add_related(GIF, 'image', 'gif', cid='<picture1>', disposition='inline')
msg.add_attachment(pdf, maintype='application', subtype='pdf', filename='report.pdf')
msg.add_attachment(notes, maintype='text', subtype='plain', filename='notes.txt', cte='7bit')
with open(out, 'wb') as target:
    target.write(msg.as_bytes())

for name, data in (('report.pdf', pdf), ('notes.txt', notes), ('picture.gif', GIF)):
    with open(os.path.join(folder, name), 'wb') as target:
        target.write(data)
