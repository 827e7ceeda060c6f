#!/usr/bin/env python3
"""A scripted SMTP server on 127.0.0.1 for the connection test: every
connection plays SCENARIO, including what no sound server does.

usage: smtp_script_server.py CERT KEY SCENARIO

Prints its port, then "accepted" for a connection (for "stall", once the
client's hello has come) and "closed" when the client closed a silent or
stalled one. The login that works is taro / secret-1.

  lowercase  "250-auth plain login" in the EHLO reply
  bare       reply lines that are the code alone: "220", "250", "235" (AUTH LOGIN)
  drop       the connection closed at AUTH, without an answer
  inject     "250 AUTH PLAIN" and "235 ..." in clear in the write of the
             STARTTLS answer, then TLS, inside which every login is refused
  silent     never writes (a server that never greets, a TLS port that never
             answers the hello)
  stall      STARTTLS answered, then a part of a TLS record and nothing more
"""
import base64
import socket
import ssl
import sys
import threading

CERT, KEY, SCENARIO = sys.argv[1:4]
PLAIN = b"\0taro\0secret-1"


def readline(conn):
    line = b""
    while not line.endswith(b"\n"):
        c = conn.recv(1)
        if not c:
            return None
        line += c
    return line.rstrip(b"\r\n")


def say(conn, *lines):
    conn.sendall(b"".join(l + b"\r\n" for l in lines))


def converse(conn, ehlo):
    while (line := readline(conn)) is not None:
        verb = line.split(b" ")[0].upper()
        if verb == b"EHLO":
            say(conn, *ehlo)
        elif verb == b"AUTH" and SCENARIO == "drop":
            return
        elif verb == b"AUTH" and SCENARIO == "bare":  # AUTH LOGIN
            say(conn, b"334 VXNlcm5hbWU6")
            user = base64.b64decode(readline(conn))
            say(conn, b"334 UGFzc3dvcmQ6")
            say(conn, b"235" if b"\0%s\0%s" % (user, base64.b64decode(readline(conn))) == PLAIN else b"535")
        elif verb == b"AUTH":  # AUTH PLAIN with its answer; inside "inject"'s TLS every login is refused
            ok = SCENARIO != "inject" and base64.b64decode(line.split(b" ")[2]) == PLAIN
            say(conn, b"235 ok" if ok else b"535 5.7.8 no")
        elif verb == b"QUIT":
            return say(conn, b"221 bye")
        else:
            say(conn, b"502 not here")


def starttls(conn, *after):
    """Greets, offers STARTTLS and answers it with "220 ready" and `after`
    in one write, as an attacker on the path would add lines to a packet."""
    say(conn, b"220 localhost ready")
    readline(conn)
    say(conn, b"250-localhost", b"250 STARTTLS")
    readline(conn)
    say(conn, b"220 ready", *after)


def serve(conn):
    if SCENARIO == "stall":
        starttls(conn)
        conn.recv(4096)  # the client's hello
        conn.sendall(b"\x16\x03\x03\x00\x40" + b"\x02" * 10)  # 10 of the 64 bytes announced
    print("accepted", flush=True)
    if SCENARIO in ("silent", "stall"):
        while conn.recv(4096):
            pass
        return print("closed", flush=True)
    if SCENARIO == "inject":
        starttls(conn, b"250 AUTH PLAIN", b"235 2.7.0 injected")
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(CERT, KEY)
        return converse(context.wrap_socket(conn, server_side=True), [b"250-localhost", b"250 AUTH PLAIN"])
    bare = SCENARIO == "bare"
    say(conn, b"220" if bare else b"220 localhost ready")
    converse(conn, [b"250-localhost", b"250-AUTH LOGIN", b"250"] if bare else
             [b"250-localhost", b"250-auth plain login", b"250 8BITMIME"])


def handle(conn):
    try:
        with conn:
            serve(conn)
    except (OSError, ValueError, TypeError):
        pass


server = socket.create_server(("127.0.0.1", 0))
print(server.getsockname()[1], flush=True)
while True:
    threading.Thread(target=handle, args=(server.accept()[0],), daemon=True).start()
