#!/usr/bin/env python3
"""A time-stamp server of the old Authenticode kind, for test signatures only.

The signing tool posts the signature's encrypted digest, base64-encoded, in a
PKCS #7 request; the answer is a PKCS #7 SignedData over those bytes, made by
the test time-stamping certificate, whose signer information the tool puts
into the signature as its counter-signature (with the signing time).
  legacy_tsa.py TSA_CERT TSA_KEY CA_CERT PORT_FILE
Listens on 127.0.0.1 at a free port, written to PORT_FILE.
"""
import base64
import http.server
import subprocess
import sys
import tempfile
import os


def der_items(data, start=0, end=None):
    """(tag, content start, content end) of each item in data[start:end]."""
    end = len(data) if end is None else end
    at = start
    while at < end:
        tag = data[at]
        length = data[at + 1]
        at += 2
        if length & 0x80:
            count = length & 0x7F
            length = int.from_bytes(data[at:at + count], "big")
            at += count
        yield tag, at, at + length
        at += length


def last_octet_string(data, start=0, end=None):
    found = None
    for tag, begin, finish in der_items(data, start, end):
        if tag == 0x04:
            found = data[begin:finish]
        elif tag & 0x20:  # constructed: look inside
            inner = last_octet_string(data, begin, finish)
            if inner is not None:
                found = inner
    return found


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        request = base64.b64decode(b"".join(body.split()))
        digest = last_octet_string(request)
        with tempfile.TemporaryDirectory() as folder:
            blob = os.path.join(folder, "blob")
            with open(blob, "wb") as out:
                out.write(digest)
            signed = subprocess.run(
                ["openssl", "cms", "-sign", "-binary", "-nodetach", "-nosmimecap", "-md", "sha256",
                 "-in", blob, "-signer", CERT, "-inkey", KEY, "-certfile", CA, "-outform", "DER"],
                check=True, capture_output=True).stdout
        answer = base64.b64encode(signed)
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(answer)))
        self.end_headers()
        self.wfile.write(answer)

    def log_message(self, *args):
        pass


CERT, KEY, CA, PORT_FILE = sys.argv[1:5]
server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
with open(PORT_FILE + ".tmp", "w") as out:
    out.write(str(server.server_address[1]))
os.replace(PORT_FILE + ".tmp", PORT_FILE)
server.serve_forever()
