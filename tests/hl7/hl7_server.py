#!/usr/bin/env python3
"""A hospital system for the HL7 tests: python3-hl7's MLLP server on 127.0.0.1 at a free port.

Prints "ready PORT" once it listens. Every message it reads is parsed with the hl7 package and
printed as "message JSON" (the patient, the order, the status, every OBX, the embedded report
decoded). --answer says what it does then: aa, ae (a refusal with a reason), silent (no answer,
the connection kept open), close (closes as soon as the first bytes of a message arrive) or
garbage (answers something that is no MLLP frame)."""
import argparse
import asyncio
import base64
import json
import sys

import hl7
import hl7.mllp

parser = argparse.ArgumentParser()
parser.add_argument("--answer", default="aa",
                    choices=["aa", "ae", "silent", "close", "garbage"])
args = parser.parse_args()


def say(line):
    print(line, flush=True)


def text(msg, segment, field, component=1, repeat=1, subcomponent=1, index=1):
    try:
        raw = msg.extract_field(segment, index, field, repeat, component, subcomponent)
    except (IndexError, KeyError):
        return ""
    # extract_field gives the text with the escapes undone.
    return str(raw) if raw else ""


def describe(msg):
    found = {
        "type": str(msg.segment("MSH")[9]),
        "control_id": str(msg.segment("MSH")[10]),
        "version": str(msg.segment("MSH")[12]),
        "charset": str(msg.segment("MSH")[18]),
        "patient_id": text(msg, "PID", 3),
        "family": text(msg, "PID", 5, 1),
        "given": text(msg, "PID", 5, 2),
        "middle": text(msg, "PID", 5, 3),
        "birth": text(msg, "PID", 7),
        "sex": text(msg, "PID", 8),
        "orc": [str(s[2]) for s in msg if str(s[0]) == "ORC"],
        "obr_filler": text(msg, "OBR", 3),
        "obr_status": text(msg, "OBR", 25),
        "obr_interpreter": str(msg.segment("OBR")[32]) if len(msg.segment("OBR")) > 32 else "",
        "obr_order_time": text(msg, "OBR", 7),
        "obx": [],
    }
    for seg in (s for s in msg if str(s[0]) == "OBX"):
        kind = str(seg[2])
        entry = {"type": kind, "code": str(seg[3][0][0]), "sub": str(seg[4]),
                 "status": str(seg[11]), "units": str(seg[6][0][0]) if str(seg[6]) else ""}
        if kind == "ED":
            parts = str(seg[5]).split("^")
            data = base64.b64decode(parts[4], validate=True)
            entry.update({"ed": parts[1:4], "bytes": len(data),
                          "head": data[:5].decode("latin-1"),
                          "tail": data.rstrip()[-5:].decode("latin-1")})
        else:
            entry["value"] = msg.unescape(str(seg[5]))
        found["obx"].append(entry)
    return found


async def on_client(reader, writer):
    try:
        while True:
            try:
                msg = await reader.readmessage()
            except asyncio.IncompleteReadError:
                return
            say("message " + json.dumps(describe(msg), ensure_ascii=False))
            if args.answer == "silent":
                await asyncio.sleep(3600)
            ack = msg.create_ack("AA" if args.answer == "aa" else "AE")
            if args.answer == "ae":
                ack = hl7.parse(str(ack).replace(
                    "MSA|AE|" + str(msg.segment("MSH")[10]),
                    "MSA|AE|" + str(msg.segment("MSH")[10]) + "|Пациент не найден \\T\\ заказ")
                    + "\rERR||||E")
            writer.writemessage(ack)
            await writer.drain()
    finally:
        writer.close()


async def on_raw_client(reader, writer):
    await reader.read(1)
    say("first bytes")
    if args.answer == "garbage":
        writer.write(b"HTTP/1.1 400 Bad Request\r\n\r\n")
        await writer.drain()
    writer.close()


async def main():
    if args.answer in ("close", "garbage"):
        server = await asyncio.start_server(on_raw_client, "127.0.0.1", 0)
    else:
        # A message with its report is far above the reader's default limit of 64 KiB.
        server = await hl7.mllp.start_hl7_server(on_client, "127.0.0.1", 0, encoding="utf-8",
                                                 limit=1 << 24)
    say(f"ready {server.sockets[0].getsockname()[1]}")
    async with server:
        await server.serve_forever()


try:
    asyncio.run(main())
except KeyboardInterrupt:
    sys.exit(0)
