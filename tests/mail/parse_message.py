#!/usr/bin/env python3
"""Reads a mail message with Python's email package, an independent reader of what velmora writes,
and prints what it found as one JSON object: the decoded headers, the boundary, and every part with
its type, parameters and decoded bytes (base64)."""
import base64
import json
import sys
from email import policy
from email.parser import BytesParser


def describe(raw):
    msg = BytesParser(policy=policy.default).parsebytes(raw)
    out = {
        "defects": [type(d).__name__ for d in msg.defects],
        "header_names": list(msg.keys()),
        "subject": str(msg.get("subject", "")),
        "to": str(msg.get("to", "")),
        "from": str(msg.get("from", "")),
        "x_unsent": str(msg.get("x-unsent", "")),
        "content_type": msg.get_content_type(),
        "boundary": msg.get_boundary(),
        "parts": [],
    }
    for field in ("from", "to"):
        header = msg.get(field)
        addresses = getattr(header, "addresses", None)
        if addresses is not None:
            out[field + "_addresses"] = [[a.display_name, a.addr_spec] for a in addresses]
    for part in msg.iter_parts() if msg.is_multipart() else []:
        out["parts"].append({
            "content_type": part.get_content_type(),
            "charset": part.get_content_charset(),
            "filename": part.get_filename(),
            "name": part.get_param("name"),
            "disposition": part.get_content_disposition(),
            "transfer_encoding": part.get("content-transfer-encoding"),
            "defects": [type(d).__name__ for d in part.defects],
            "data": base64.b64encode(part.get_payload(decode=True) or b"").decode(),
        })
    return out


if __name__ == "__main__":
    with open(sys.argv[1], "rb") as f:
        print(json.dumps(describe(f.read())))
