#!/usr/bin/env python3
"""Reads mail files with Python's email package and prints what the tests
compare, one key=value per line (bytes as hex), a line "--" after each file."""
import email
import email.header
import email.utils
import hashlib
import sys


def addresses(msg, name):
    return ",".join(a for _, a in email.utils.getaddresses(msg.get_all(name, [])))


def names(msg, name):
    out = []
    for n, _ in email.utils.getaddresses(msg.get_all(name, [])):
        text = ""
        for part, cs in email.header.decode_header(n):
            text += part.decode(cs or "ascii") if isinstance(part, bytes) else part
        out.append(text)
    return "|".join(out)


def report(path):
    with open(path, "rb") as f:
        msg = email.message_from_binary_file(f)
    out = {}
    raw = b""
    charsets = set()
    for part, cs in email.header.decode_header(msg.get("Subject", "")):
        raw += part if isinstance(part, bytes) else part.encode("ascii")
        if cs:
            charsets.add(cs)
    out["subject_hex"] = raw.hex()
    out["subject_charsets"] = ",".join(sorted(charsets))
    out["from"] = addresses(msg, "From")
    out["from_names"] = names(msg, "From")
    out["to"] = addresses(msg, "To")
    out["to_names"] = names(msg, "To")
    out["cc"] = addresses(msg, "Cc")
    out["bcc"] = addresses(msg, "Bcc")
    out["date_ok"] = "1" if email.utils.parsedate_tz(msg.get("Date", "")) else "0"
    out["message_id"] = msg.get("Message-ID", "")
    out["mime_version"] = msg.get("MIME-Version", "")
    defects = len(msg.defects)
    atts = []
    body = None
    for part in msg.walk():
        defects += len(part.defects)
        if part.is_multipart():
            continue
        if part.get_filename() is None and body is None and part.get_content_maintype() == "text":
            body = part
        else:
            atts.append(part)
    if body is not None:
        out["body_type"] = body.get_content_type()
        out["body_charset"] = body.get_content_charset() or ""
        out["body_cte"] = body.get("Content-Transfer-Encoding", "7bit").strip().lower()
        out["body_hex"] = (body.get_payload(decode=True) or b"").hex()
    out["attachments"] = str(len(atts))
    for i, a in enumerate(atts):
        data = a.get_payload(decode=True) or b""
        out[f"att{i}_name_hex"] = (a.get_filename() or "").encode("utf-8").hex()
        out[f"att{i}_type"] = a.get_content_type()
        # The content type's name as encoded words (RFC 2047): raw bytes and
        # their charsets, as a phone reading only that form gets them.
        ctname = a.get_param("name", header="content-type")
        if isinstance(ctname, str):
            raw, charsets = b"", set()
            for part, cs in email.header.decode_header(ctname):
                raw += part if isinstance(part, bytes) else part.encode("ascii")
                if cs:
                    charsets.add(cs)
            out[f"att{i}_ctname_hex"] = raw.hex()
            out[f"att{i}_ctname_charsets"] = ",".join(sorted(charsets))
        out[f"att{i}_size"] = str(len(data))
        out[f"att{i}_sha256"] = hashlib.sha256(data).hexdigest()
        if len(data) <= 200000:
            out[f"att{i}_hex"] = data.hex()
    out["defects"] = str(defects)
    for k, v in out.items():
        print(f"{k}={v}")
    print("--")


for path in sys.argv[1:]:
    report(path)
