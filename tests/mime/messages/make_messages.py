#!/usr/bin/env python3
"""Makes the test messages of the MIME reader with Python's email package
and writes them beside this script (run once; the files are kept with it).

Each message is written with CR LF line ends, as mail travels."""
import base64
import os
import struct
import zlib
from email import policy
from email.message import EmailMessage

HERE = os.path.dirname(os.path.abspath(__file__))
SMTP = policy.SMTP

# A 1x1 GIF, a 1x1 JPEG and a 1x1 PNG.
GIF = base64.b64decode('R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw==')
JPEG = base64.b64decode(
    '/9j/4AAQSkZJRgABAQEASABIAAD/2wBDAP//////////////////////////////////////////////'
    '////////////////////////////////////////wgALCAABAAEBAREA/8QAFBABAAAAAAAAAAAAAAAAAAAAAP/a'
    'AAgBAQABPxA=')


def png():
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    header = struct.pack('>IIBBBBB', 1, 1, 8, 2, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', zlib.compress(b'\x00\xff\xff\xff'))
            + chunk(b'IEND', b''))


def message(subject):
    msg = EmailMessage(policy=SMTP)
    msg['From'] = 'Sender <sender@example.com>'
    msg['To'] = 'Reader <reader@example.com>'
    msg['Subject'] = subject
    return msg


def html_part(html, charset='utf-8', cte='quoted-printable'):
    part = EmailMessage(policy=SMTP)
    data = html.encode(charset) if isinstance(html, str) else html
    part.set_content(data, 'text', 'html', cte=cte)
    part.set_param('charset', charset)
    return part


def write(name, msg):
    with open(os.path.join(HERE, name), 'wb') as out:
        out.write(msg.as_bytes(policy=SMTP))


def single(name, subject, html, charset, cte):
    msg = message(subject)
    data = html.encode(charset) if isinstance(html, str) else html
    msg.set_content(data, 'text', 'html', cte=cte)
    msg.set_param('charset', charset)
    write(name, msg)


def main():
    # Quoted-printable UTF-8, and the same words in ISO-8859-1 in
    # quoted-printable and binary.
    single('qp_utf8.eml', 'Quoted-printable UTF-8', '<p>Hi \u00e9</p>\r\n', 'utf-8', 'quoted-printable')
    single('latin1_qp.eml', 'Latin-1 quoted-printable', '<p>Caf\u00e9 cr\u00e8me au lait</p>\r\n', 'iso-8859-1',
           'quoted-printable')
    single('latin1_binary.eml', 'Latin-1 binary', '<p>Caf\u00e9 cr\u00e8me au lait</p>\r\n', 'iso-8859-1', 'binary')
    single('ascii.eml', 'US-ASCII', '<p>Plain words only</p>\r\n', 'us-ascii', '7bit')
    # Base64 UTF-8 with a byte-order mark.
    single('base64_bom.eml', 'Base64 with a BOM', '\ufeff<p>Bom first \u00fcber alles</p>\r\n'.encode('utf-8'),
           'utf-8', 'base64')

    # multipart/related with GIF and JPEG pictures by Content-ID.
    msg = message('Related pictures')
    msg.set_content('<p>Look at <img src="cid:img1"> and <img src="cid:img2"> here</p>\r\n', subtype='html',
                    cte='quoted-printable')
    msg.add_related(GIF, 'image', 'gif', cid='<img1>', filename='dot.gif', cte='base64')
    msg.add_related(JPEG, 'image', 'jpeg', cid='<img2>', filename='dot.jpg', cte='base64')
    write('related_gif_jpeg.eml', msg)

    # A PNG picture.
    msg = message('PNG picture')
    msg.set_content('<p>A png <img src="cid:pic"> picture</p>\r\n', subtype='html', cte='quoted-printable')
    msg.add_related(png(), 'image', 'png', cid='<pic>', cte='base64')
    write('related_png.eml', msg)

    # A picture from outside the message.
    single('remote_image.eml', 'Remote picture',
           '<p>Remote <img src="http://example.com/a.gif"> picture</p>\r\n', 'utf-8', 'quoted-printable')

    # Only a plain-text part.
    msg = message('Plain text only')
    msg.set_content('Only plain words here\r\n', cte='quoted-printable')
    write('plain_only.eml', msg)

    # multipart/mixed: alternative text and HTML, inline application parts
    # with and without a file name, and an attachment.
    msg = message('Mixed parts')
    msg.set_content('Plain version of the words\r\n', cte='quoted-printable')
    msg.add_alternative('<p>Mixed message with <b>bold</b> words</p>\r\n', subtype='html', cte='quoted-printable')
    msg.make_mixed()
    pdf = EmailMessage(policy=SMTP)
    pdf.set_content(b'%PDF-1.4 small document', 'application', 'pdf', disposition='inline', filename='a b.pdf',
                    cte='base64')
    msg.attach(pdf)
    unnamed = EmailMessage(policy=SMTP)
    unnamed.set_content(b'octets without a name', 'application', 'octet-stream', disposition='inline',
                        cte='base64')
    msg.attach(unnamed)
    msg.add_attachment(b'PK zip content', 'application', 'zip', filename='kept.zip', cte='base64')
    write('mixed_attachments.eml', msg)


if __name__ == '__main__':
    main()
