#!/usr/bin/env python3
"""An SMTP server on 127.0.0.1 for the account tests, as a provider runs one:
STARTTLS (or TLS from the first byte) with the certificate given, AUTH PLAIN
and LOGIN required for one user and password, refused before TLS.

usage: smtp_account_server.py FOLDER CERT KEY USER PASSWORD [starttls|login|tls|plain]

"login" is STARTTLS offering AUTH LOGIN only; "plain" offers no TLS at all.

Prints its port, then stores every message it receives in FOLDER as N.eml
with its envelope in N.env (sender on the first line, one recipient a line
after it). Each AUTH attempt appends "user ok|bad" to FOLDER/auth.log and
the login's bytes in hex to FOLDER/logins.hex."""
import asyncio
import os
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

sys.dont_write_bytecode = True  # no cache files in the source tree
from smtp_sink import Sink  # noqa: E402 (beside this file)


class Authenticator:
    def __init__(self, folder, user, password):
        self.folder, self.user, self.password = folder, user.encode(), password.encode()

    def __call__(self, server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword) and auth_data.login == self.user
              and auth_data.password == self.password)
        login = auth_data.login if isinstance(auth_data, LoginPassword) else b"?"
        with open(os.path.join(self.folder, "auth.log"), "a") as f:
            f.write("%s %s %s\n" % (mechanism, login.decode(errors="replace"), "ok" if ok else "bad"))
        with open(os.path.join(self.folder, "logins.hex"), "a") as f:  # the bytes exactly as they came
            f.write(login.hex() + "\n")
        return AuthResult(success=ok, handled=False)


async def main():
    folder, cert, key, user, password = sys.argv[1:6]
    mode = sys.argv[6] if len(sys.argv) > 6 else "starttls"
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)
    auth = Authenticator(folder, user, password)
    loop = asyncio.get_running_loop()
    sink = Sink(folder)
    if mode == "tls":
        factory = lambda: SMTP(sink, hostname="localhost", authenticator=auth, auth_required=True,
                               auth_require_tls=False, auth_exclude_mechanism=["CRAM-MD5"])
        server = await loop.create_server(factory, "127.0.0.1", 0, ssl=context)
    elif mode == "plain":
        factory = lambda: SMTP(sink, hostname="localhost", authenticator=auth, auth_required=True,
                               auth_require_tls=False)
        server = await loop.create_server(factory, "127.0.0.1", 0)
    else:
        exclude = ["PLAIN"] if mode == "login" else []
        factory = lambda: SMTP(sink, hostname="localhost", tls_context=context, require_starttls=True,
                               authenticator=auth, auth_required=True, auth_exclude_mechanism=exclude)
        server = await loop.create_server(factory, "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    await server.serve_forever()


asyncio.run(main())
