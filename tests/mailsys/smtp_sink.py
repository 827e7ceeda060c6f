#!/usr/bin/env python3
"""An SMTP server on 127.0.0.1 for the tests: prints its port, then stores
every message it receives in the folder given as N.eml with its envelope
in N.env (sender on the first line, one recipient a line after it).
Its Sink stores the mails of smtp_account_server.py too."""
import asyncio
import os
import sys

from aiosmtpd.smtp import SMTP


class Sink:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.folder, str(self.count))
        with open(base + ".env", "w") as f:
            f.write("\n".join([envelope.mail_from] + list(envelope.rcpt_tos)) + "\n")
        with open(base + ".tmp", "wb") as f:
            f.write(envelope.original_content or envelope.content)
        os.rename(base + ".tmp", base + ".eml")
        return "250 OK"


async def main():
    loop = asyncio.get_running_loop()
    sink = Sink(sys.argv[1])
    server = await loop.create_server(lambda: SMTP(sink), "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    await server.serve_forever()


if __name__ == "__main__":
    asyncio.run(main())
