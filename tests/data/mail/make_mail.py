#!/usr/bin/env python3
"""Writes the received-mail test messages into this folder.

Python's email package builds what it can, as the mail programs of staff
members build it. Where Japanese mail programs go beyond it, the bytes are
put together here the way those programs write them: code page 932's NEC
characters in ISO-2022-JP ("-MS" writers), words in
Shift_JIS and EUC-JP, raw 8-bit headers, wrong charset labels, a message
cut off in the middle. Every file is written with CR LF line ends, as POP3
delivers it, and the same every time. Run: python3 make_mail.py

The delivery reports and bounces in bounces/ are not written here: they are
put together by hand, byte for byte as the mail servers write them, which no
library here builds.
"""
import base64
import email.policy
import email.quoprimime
import email.utils
import os
from email.charset import QP, Charset
from email.header import Header
from email.message import EmailMessage
from email.encoders import encode_base64
from email.mime.multipart import MIMEMultipart
from email.mime.nonmultipart import MIMENonMultipart
from email.mime.text import MIMEText

HERE = os.path.dirname(os.path.abspath(__file__))
DATE = 'Tue, 01 May 2012 09:30:00 +0900'


def reply(sender, subject):
    """A message from `sender` with `subject`, dated DATE, to fill in."""
    msg = EmailMessage(policy=SMTP)
    msg['From'] = sender
    msg['Subject'] = subject
    msg['Date'] = DATE
    return msg
SMTP = email.policy.SMTP


def write(name, data):
    if isinstance(data, str):
        data = data.encode('utf-8')
    data = data.replace(b'\r\n', b'\n').replace(b'\n', b'\r\n')
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(data)


def as_bytes(msg):
    return msg.as_bytes()  # each message with its own policy


# Code page 932 to ISO-2022-JP as "-MS" writers send it: every two-byte
# character by the JIS pair rule, so the NEC characters (lead 0x87) land in
# row 13, and IBM kanji go as their NEC-selected twins in rows 89-92.
NEC_SELECTED = {}
for lead in (0xED, 0xEE):
    for trail in list(range(0x40, 0x7F)) + list(range(0x80, 0xFD)):
        try:
            NEC_SELECTED.setdefault(bytes([lead, trail]).decode('cp932'), bytes([lead, trail]))
        except UnicodeDecodeError:
            pass


def jis_ms(text):
    out, kanji = b'', False
    for ch in text:
        sj = NEC_SELECTED.get(ch) or ch.encode('cp932')
        if len(sj) == 1:
            if kanji:
                out, kanji = out + b'\x1b(B', False
            out += sj
            continue
        s1, s2 = sj
        j1 = ((s1 - 0x70 if s1 < 0xA0 else s1 - 0xB0) * 2) & 0xFF
        if s2 < 0x9F:
            j1, j2 = j1 - 1, s2 - 0x1F if s2 < 0x80 else s2 - 0x20
        else:
            j2 = s2 - 0x7E
        if not kanji:
            out, kanji = out + b'\x1b$B', True
        out += bytes([j1, j2])
    return out + (b'\x1b(B' if kanji else b'')


def b_word(charset, data):
    return '=?%s?B?%s?=' % (charset, base64.b64encode(data).decode('ascii'))


def q_word(charset, data):
    return email.quoprimime.header_encode(data, charset)


# 1. ISO-2022-JP words and body, as Python writes them.
msg = MIMEText('出席します。\nよろしくお願いします。\n山田', 'plain', 'iso-2022-jp')
msg['From'] = email.utils.formataddr(('山田 太郎', 'yamada@example.jp'), charset='iso-2022-jp')
msg['Subject'] = Header('Re: MailNo1234_来週の会議について', 'iso-2022-jp')
msg['Date'] = DATE
write('jis_words.eml', as_bytes(msg))

# 2. NEC rows in ISO-2022-JP, the encoded word inside quotes, a date in UTC.
write('jis_nec_rows.eml', b'\n'.join([
    b'From: "' + b_word('ISO-2022-JP', jis_ms('髙橋 一郎')).encode() + b'" <takahashi@example.jp>',
    b'Subject: ' + b_word('ISO-2022-JP', jis_ms('Re: MailNo1235_①㈱髙﨑')).encode(),
    b'Date: Tue, 01 May 2012 00:30:00 +0000',
    b'MIME-Version: 1.0',
    b'Content-Type: text/plain; charset=ISO-2022-JP',
    b'Content-Transfer-Encoding: 7bit',
    b'',
    jis_ms('①②の件、㈱髙﨑です。'),
    b'']))

# 3. UTF-8 Q words split inside the identifier and inside a character,
# folded; the From in UTF-8 B; a quoted-printable UTF-8 body.
utf8_qp = Charset('utf-8')
utf8_qp.body_encoding = QP
msg = MIMEText('了解です。\n〜 以上 〜', 'plain', utf8_qp)
msg['From'] = email.utils.formataddr(('鈴木 花子', 'suzuki@example.jp'), charset='utf-8')
kaigi = '会議'.encode()
msg['Subject'] = '\n '.join([q_word('utf-8', b'Re: MailNo10'), q_word('utf-8', b'06_' + kaigi[:2]),
                             q_word('utf-8', kaigi[2:])])
msg['Date'] = 'Wed, 2 May 2012 18:05:09 +0900 (JST)'
write('utf8_q_split.eml', as_bytes(msg))

# 4. A Shift_JIS subject word and an EUC-JP name word; a base64 Shift_JIS
# body with code page 932's ① and half-width kana, labelled Shift_JIS.
msg = MIMENonMultipart('text', 'plain', charset='Shift_JIS')
msg.set_payload('①ﾃｽﾄ完了\n'.encode('cp932'))
encode_base64(msg)
msg['From'] = b_word('EUC-JP', '加藤 次郎'.encode('euc-jp')) + ' <kato@example.jp>'
msg['Subject'] = 'Re: ' + b_word('Shift_JIS', 'MailNo1236_確認①'.encode('cp932'))
msg['Date'] = DATE
write('sjis_euc_words.eml', as_bytes(msg))

# 5. Raw UTF-8 headers and body (SMTPUTF8).
msg = EmailMessage(policy=email.policy.SMTPUTF8)
msg['From'] = '佐藤 一郎 <sato@example.jp>'
msg['Subject'] = 'Re: MailNo1237_報告'
msg['Date'] = DATE
msg.set_content('報告します。\n', cte='8bit')
write('raw_utf8.eml', msg.as_bytes())

# 6. Raw Shift_JIS headers, an unlabelled 8-bit body and a raw Shift_JIS
# file name, as old Japanese programs write them; 表 and ソ end in a
# backslash byte.
write('raw_sjis.eml', b'\n'.join([
    b'From: "' + '表 ソ'.encode('cp932') + b'" <hyo@example.jp>',
    b'Subject: ' + 'Re: MailNo1238_表示ソフト'.encode('cp932'),
    b'Date: ' + DATE.encode(),
    b'MIME-Version: 1.0',
    b'Content-Type: multipart/mixed; boundary="sjis"',
    b'',
    b'--sjis',
    b'',
    '表示できました。'.encode('cp932'),
    b'--sjis',
    b'Content-Type: application/octet-stream',
    b'Content-Disposition: attachment; filename="' + '表ソ.txt'.encode('cp932') + b'"',
    b'',
    b'x',
    b'--sjis--',
    b'']))

# 7. Wrong labels: a UTF-8 subject word labelled ISO-8859-1, a Shift_JIS
# name word labelled US-ASCII, an EUC-JP body labelled US-ASCII.
write('mislabelled.eml', b'\n'.join([
    b'From: ' + q_word('us-ascii', '伊藤'.encode('cp932')).encode() + b' <ito@example.jp>',
    b'Subject: ' + b_word('ISO-8859-1', 'Re: MailNo1239_確認'.encode()).encode(),
    b'Date: ' + DATE.encode(),
    b'Content-Type: text/plain; charset=us-ascii',
    b'Content-Transfer-Encoding: 8bit',
    b'',
    '確認しました。'.encode('euc-jp'),
    b'']))

# 8. HTML only, no Date.
msg = MIMEText('<html><head><title>返信</title><style>p {color: red}</style></head><body>\n'
               '<p>出席\n  します。<br>よろしく&amp;お願いします&#x3042;&#12356;</p><div>山田&nbsp;太郎</div>\n'
               '<!-- 署名 --></body></html>\n', 'html', 'utf-8')
msg['From'] = 'yamada@example.jp'
msg['Subject'] = 'Re: MailNo1240'
write('html_only.eml', as_bytes(msg))

# 9. Plain text and HTML as alternatives.
msg = reply('"Yamada, Taro" <yamada@example.jp>', 'Re: MailNo1241')
msg.set_content('プレーンテキスト\n')
msg.add_alternative('<p>エイチティーエムエル</p>\n', subtype='html')
msg.set_boundary('alt-boundary')
write('alternative.eml', as_bytes(msg))

# 10. Attachment names: RFC 2231 in UTF-8 (as Python writes them, one of
# them decomposed as macOS writes names), RFC 2231 sections in ISO-2022-JP,
# an ISO-2022-JP word in quotes; a forwarded message.
msg = reply('sato@example.jp', 'Re: MailNo1242')
msg.set_content('添付します。\n')
msg.add_attachment(b'%PDF-1.4\n', maintype='application', subtype='pdf', filename='報告書.pdf')
msg.add_attachment(b'guide\n', maintype='text', subtype='plain', filename='ガイド.txt'.replace('ガ', 'カ\u3099'))
inner = EmailMessage(policy=SMTP)
inner['Subject'] = Header('議事録', 'iso-2022-jp').encode()
inner.set_content('議事録本文\n')
msg.add_attachment(inner)
msg.set_boundary('mixed-boundary')
text = as_bytes(msg).decode('utf-8')
sections = ''.join('%%%02X' % b for b in jis_ms('見積①㈱.xlsx'))
cut = len(sections) // 2 // 3 * 3
hand_made = ('--mixed-boundary\nContent-Type: application/vnd.ms-excel\n'
             "Content-Disposition: attachment;\n filename*0*=iso-2022-jp''%s;\n filename*1*=%s\n"
             'Content-Transfer-Encoding: base64\n\nAAAA\n'
             '--mixed-boundary\nContent-Type: application/msword;\n name="%s"\n'
             'Content-Transfer-Encoding: base64\n\nAAAA\n' %
             (sections[:cut], sections[cut:], b_word('ISO-2022-JP', jis_ms('髙橋メモ.doc'))))
write('attachments.eml', text.replace('--mixed-boundary--', hand_made + '--mixed-boundary--'))

# 11. Automatic replies, each by one sign, and a person's reply that only
# looks like one.
def auto_reply(name, subject, fields):
    msg = MIMEText('不在にしております。\n', 'plain', 'iso-2022-jp')
    msg['From'] = 'ito@example.jp'
    msg['Subject'] = Header(subject, 'iso-2022-jp')
    msg['Date'] = DATE
    for field, value in fields:
        msg[field] = value
    write(name, as_bytes(msg))


auto_reply('auto_submitted.eml', 'Re: MailNo1243_会議', [('Auto-Submitted', 'auto-replied')])
auto_reply('x_autoreply.eml', 'Re: MailNo1243_会議', [('X-Autoreply', 'yes')])
auto_reply('precedence_auto_reply.eml', 'Re: MailNo1243_会議', [('Precedence', 'auto_reply')])
auto_reply('automatic_reply_subject.eml', 'Automatic reply: Re: MailNo1243_会議', [])
auto_reply('fuzai_subject.eml', '【不在のお知らせ】Re: MailNo1243_会議', [])
auto_reply('person_reply.eml', 'Re: MailNo1243_不在者の確認',
           [('Auto-Submitted', 'no'), ('Precedence', 'bulk')])

# 12. Damaged: a Date that is no date, base64 with stray characters, and
# the message cut off inside its last part (no closing boundary).
msg = MIMEMultipart(boundary='cut-boundary')
msg['From'] = 'yamada@example.jp'
msg['Subject'] = 'Re: MailNo1244'
msg['Date'] = 'Tue, 41 Foo 2012 29:61:00 +0900'
first = MIMEText('一つ目\n', 'plain', 'utf-8')
msg.attach(first)
second = MIMEText('二つ目の本文\n', 'plain', 'utf-8')
msg.attach(second)
text = as_bytes(msg).decode('utf-8')
body = base64.b64encode('二つ目の本文\n'.encode()).decode()
text = text.replace(body, body[:8] + '!*' + body[8:])
write('damaged.eml', text[:text.rindex('Cg==')])
