#!/usr/bin/env python3
"""A real SMTP server for the mail tests: aiosmtpd on 127.0.0.1 at a free port.

Prints "ready PORT" once it listens. Every message it accepts is read back with Python's email
package (parse_message.py) and printed as "message JSON", with the envelope, whether the session
was encrypted and who logged in. With --drop-in-data it prints "data" once a message's content has
arrived and, when a line arrives on stdin, closes the connection without answering."""
import argparse
import asyncio
import json
import logging
import os
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from parse_message import describe  # noqa: E402

parser = argparse.ArgumentParser()
parser.add_argument("--cert", help="certificate (PEM) for STARTTLS")
parser.add_argument("--key", help="its private key (PEM)")
parser.add_argument("--user")
parser.add_argument("--password")
parser.add_argument("--exclude-auth", nargs="*", default=[], help="AUTH mechanisms not offered")
parser.add_argument("--drop-in-data", action="store_true")
args = parser.parse_args()


# aiosmtpd logs every refused handshake with a traceback; the tests read the outcome from us.
logging.getLogger("mail.log").setLevel(logging.CRITICAL)


def say(line):
    print(line, flush=True)


class Handler:
    async def handle_DATA(self, server, session, envelope):
        if args.drop_in_data:
            say("data")
            await asyncio.get_running_loop().run_in_executor(None, sys.stdin.readline)
            server.transport.abort()
            return "421 gone"
        found = describe(envelope.original_content)
        found.update({
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "tls": session.ssl is not None,
            "login": session.auth_data.login.decode() if session.authenticated else None,
        })
        say("message " + json.dumps(found))
        return "250 2.0.0 Ok: queued as velmora-test"


def authenticator(server, session, envelope, mechanism, auth_data):
    ok = (isinstance(auth_data, LoginPassword) and args.user is not None
          and auth_data.login == args.user.encode()
          and auth_data.password == (args.password or "").encode())
    say(f"auth {mechanism} {'ok' if ok else 'refused'}")
    return AuthResult(success=ok, handled=False, auth_data=auth_data if ok else None)


async def main():
    tls = None
    if args.cert:
        tls = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        tls.load_cert_chain(args.cert, args.key)
    loop = asyncio.get_running_loop()

    def factory():
        return SMTP(Handler(), hostname="velmora-test", tls_context=tls,
                    require_starttls=tls is not None, auth_require_tls=tls is not None,
                    authenticator=authenticator if args.user else None,
                    auth_exclude_mechanism=args.exclude_auth, loop=loop)

    server = await loop.create_server(factory, "127.0.0.1", 0)
    say(f"ready {server.sockets[0].getsockname()[1]}")
    async with server:
        await server.serve_forever()


asyncio.run(main())
