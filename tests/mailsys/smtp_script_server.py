#!/usr/bin/env python3
"""A scripted SMTP server on 127.0.0.1 for the connection test: each
connection plays one scenario, byte for byte, including what a sound server
never does.

usage: smtp_script_server.py CERT KEY SCENARIO

Prints its port, then "accepted" when a connection has come (for "stall",
once the client's hello has come), and "closed" when the client closed a
silent or stalled connection.

Scenarios (the login that works is taro / secret-1):
  lowercase  "250-auth plain login" in the EHLO reply
  bare       reply lines that are the three-digit code alone: "220", "250", "235"
  drop       the connection closed after AUTH, without an answer
  inject     "250 AUTH PLAIN" and "235 ..." sent in clear right after the
             STARTTLS answer, then TLS; inside TLS every login is refused
  silent     accepts, never writes (a server that never greets, or a
             TLS port whose handshake never comes)
  stall      STARTTLS answered, then a part of a TLS record and nothing more
"""
import base64
import socket
import ssl
import sys
import threading

CERT, KEY, SCENARIO = sys.argv[1:4]
GOOD_PLAIN = b"\0taro\0secret-1"


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


def accepted():
    print("accepted", flush=True)


def drain(conn):
    while conn.recv(4096):
        pass
    print("closed", flush=True)


def converse(conn, greeting, ehlo, on_auth):
    """Greets, answers EHLO, and hands AUTH to on_auth; QUIT ends."""
    say(conn, greeting)
    while True:
        line = readline(conn)
        if line is None:
            return
        verb = line.split(b" ")[0].upper()
        if verb == b"EHLO":
            say(conn, *ehlo)
        elif verb == b"AUTH":
            if not on_auth(conn, line):
                return
        elif verb == b"QUIT":
            say(conn, b"221 bye")
            return
        else:
            say(conn, b"502 not here")


def plain_ok(line):
    return base64.b64decode(line.split(b" ")[2]) == GOOD_PLAIN


def serve(conn):
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(CERT, KEY)
    if SCENARIO == "lowercase":
        def login(c, l):
            say(c, b"235 ok" if plain_ok(l) else b"535 no")
            return True
        accepted()
        converse(conn, b"220 localhost ready", [b"250-localhost", b"250-auth plain login", b"250 8BITMIME"], login)
    elif SCENARIO == "bare":
        def login(c, l):
            say(c, b"334 VXNlcm5hbWU6")
            user = base64.b64decode(readline(c))
            say(c, b"334 UGFzc3dvcmQ6")
            password = base64.b64decode(readline(c))
            say(c, b"235" if (user, password) == (b"taro", b"secret-1") else b"535")
            return True
        accepted()
        converse(conn, b"220", [b"250-localhost", b"250-AUTH LOGIN", b"250"], login)
    elif SCENARIO == "drop":
        accepted()
        converse(conn, b"220 localhost ready", [b"250-localhost", b"250 AUTH PLAIN"], lambda c, l: False)
    elif SCENARIO == "inject":
        accepted()
        say(conn, b"220 localhost ready")
        readline(conn)  # EHLO
        say(conn, b"250-localhost", b"250 STARTTLS")
        readline(conn)  # STARTTLS
        # The answer and the injected lines in one write, as an attacker on
        # the path would add them to the same packet.
        say(conn, b"220 ready", b"250 AUTH PLAIN", b"235 2.7.0 injected")
        tls = context.wrap_socket(conn, server_side=True)
        while True:
            line = readline(tls)
            if line is None:
                return
            verb = line.split(b" ")[0].upper()
            if verb == b"EHLO":
                say(tls, b"250-localhost", b"250 AUTH PLAIN")
            elif verb == b"AUTH":
                say(tls, b"535 5.7.8 refused")
            elif verb == b"QUIT":
                say(tls, b"221 bye")
                return
    elif SCENARIO == "silent":
        accepted()
        drain(conn)
    elif SCENARIO == "stall":
        say(conn, b"220 localhost ready")
        readline(conn)  # EHLO
        say(conn, b"250-localhost", b"250 STARTTLS")
        readline(conn)  # STARTTLS
        say(conn, b"220 ready")
        conn.recv(4096)  # the client's hello
        conn.sendall(b"\x16\x03\x03\x00\x40" + b"\x02" * 10)  # 10 of the 64 bytes announced
        accepted()
        drain(conn)


def handle(conn):
    try:
        with conn:
            serve(conn)
    except (OSError, ssl.SSLError, ValueError, TypeError):
        pass


def main():
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", 0))
    server.listen(8)
    print(server.getsockname()[1], flush=True)
    while True:
        conn, _ = server.accept()
        threading.Thread(target=handle, args=(conn,), daemon=True).start()


main()
