#!/usr/bin/env python3
"""Interop check of the sealed-text envelope.

An independent implementation of the envelope (hashlib, hmac, base64 and the `cryptography`
package; nothing of the program's code) seals and opens texts against envelope_tool.exe, which
is run under Wine through the runner script:

    envelope_interop.py --tool path/to/envelope_tool.exe --runner scripts/wine-run.sh

Prints one line per check and ends with "N passed, N failed"; the exit status is non-zero when
anything failed.
"""
import argparse
import base64
import hashlib
import hmac
import os
import re
import subprocess
import sys
import tempfile
import time

from cryptography.hazmat.primitives import padding
from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes

MAGIC = "NMCENC_V2:"
ITERATIONS = 100_000

TEXTS = {
    "ASCII": "Hello, clipboard! 0123456789",
    "Japanese": "日本語のテキスト、クリップボードの履歴。",
    "empty": "",
    "8 code units": "12345678",
    "multi-line CRLF": "line one\r\nline two\r\n\r\n\tindented line\r\nlast line without end",
    "surrogate pairs": "emoji \U0001F600, \U00020BB7野家, clef \U0001D11E",
    "~100 KB": "".join(f"行 {i:05d}: the quick brown fox ジャンプ\r\n" for i in range(2400)),
}
PASSWORDS = {
    # 32 code units or more: only then does the terminating zero unit change the keys (see below).
    "long ASCII password": "correct horse battery staple, in full",
    "Japanese password": "パスワード秘密",
    "spaces + trailing newline": "  pass phrase with spaces \n",
}

B64_16 = r"[A-Za-z0-9+/]{22}=="
LAYOUT = re.compile(rf"NMCENC_V2:({B64_16}):({B64_16}):([A-Za-z0-9+/]+={{0,2}}):([A-Za-z0-9+/]{{43}}=)")


# ---- reference implementation -------------------------------------------------------------

def derive(password, salt, terminator=True):
    secret = password.encode("utf-16-le") + (b"\0\0" if terminator else b"")
    return hashlib.pbkdf2_hmac("sha256", secret, salt, ITERATIONS, 32)


def complement(data):
    return bytes(b ^ 0xFF for b in data)


def b64(data):
    return base64.b64encode(data).decode("ascii")


def seal(text, password, terminator=True, salt=None, iv=None, plain=None):
    """Envelope of text. salt/iv override the random ones; an IV of another length than 16 is
    stored as given (with a tag that matches it), the data encrypted under its first 16 bytes.
    plain overrides the plain bytes (the text's UTF-16LE)."""
    salt = os.urandom(16) if salt is None else salt
    iv = os.urandom(16) if iv is None else iv
    enc_key = derive(password, salt, terminator)
    mac_key = derive(password, complement(salt), terminator)
    padder = padding.PKCS7(128).padder()
    plain = text.encode("utf-16-le", "surrogatepass") if plain is None else plain
    plain = padder.update(plain) + padder.finalize()
    encryptor = Cipher(algorithms.AES(enc_key), modes.CBC(iv[:16].ljust(16, b"\0"))).encryptor()
    ciphertext = encryptor.update(plain) + encryptor.finalize()
    tag = hmac.new(mac_key, salt + iv + ciphertext, hashlib.sha256).digest()
    return MAGIC + ":".join(b64(f) for f in (salt, iv, ciphertext, tag))


def open_envelope(envelope, password):
    """Text of the envelope, or None when it does not open."""
    if not envelope.startswith(MAGIC):
        return None
    fields = envelope[len(MAGIC):].split(":", 3)
    if len(fields) != 4:
        return None
    try:
        salt, iv, ciphertext, tag = (base64.b64decode(f, validate=True) for f in fields)
    except ValueError:
        return None
    if not (salt and iv and ciphertext and tag):
        return None
    mac_key = derive(password, complement(salt))
    if not hmac.compare_digest(hmac.new(mac_key, salt + iv + ciphertext, hashlib.sha256).digest(), tag):
        return None
    try:
        decryptor = Cipher(algorithms.AES(derive(password, salt)), modes.CBC(iv)).decryptor()
        unpadder = padding.PKCS7(128).unpadder()
        plain = unpadder.update(decryptor.update(ciphertext) + decryptor.finalize()) + unpadder.finalize()
        return plain.decode("utf-16-le", "surrogatepass")
    except ValueError:
        return None


def layout_problem(envelope, text):
    """What is wrong with the envelope's layout for text, or None."""
    match = LAYOUT.fullmatch(envelope)
    if not match:
        return "fields do not have the expected shape"
    for field in match.groups():
        if b64(base64.b64decode(field)) != field:
            return f"field {field[:16]}... is not canonical Base64"
    units = len(text.encode("utf-16-le", "surrogatepass")) // 2
    cipher_bytes = 16 * (2 * units // 16 + 1)
    if len(match.group(3)) != 4 * -(-cipher_bytes // 3):
        return f"ciphertext field has {len(match.group(3))} characters for {units} code units"
    return None


# ---- running the tool -------------------------------------------------------------------

class Checks:
    def __init__(self, tool, runner, workdir):
        self.tool, self.runner, self.workdir = tool, runner, workdir
        self.passed = self.failed = 0
        self.files = 0
        self.last_errors = ""

    def file(self, data):
        """A fresh file holding data (str as UTF-8, bytes as is); its path as Windows sees it."""
        self.files += 1
        path = os.path.join(self.workdir, f"f{self.files}.txt")
        with open(path, "wb") as f:
            f.write(data.encode("utf-8", "surrogatepass") if isinstance(data, str) else data)
        return "Z:" + path.replace("/", "\\")

    def run(self, *args):
        # Standard error goes to a file, not a pipe: the wineserver that the first run starts
        # inherits it and keeps it open for seconds after the tool has exited.
        with tempfile.TemporaryFile() as errors:
            result = subprocess.run([self.runner, self.tool, *args], stdin=subprocess.DEVNULL,
                                    stdout=subprocess.PIPE, stderr=errors, timeout=300)
            errors.seek(0)
            self.last_errors = errors.read().decode("utf-8", "replace").strip()
        return result.returncode, result.stdout

    def report(self, name, problem):
        if problem:
            self.failed += 1
            print(f"FAIL  {name}: {problem}", flush=True)
            if self.last_errors:
                print("      standard error of the last run: " + self.last_errors[-2000:], flush=True)
        else:
            self.passed += 1
            print(f"ok    {name}", flush=True)

    def expect_exit(self, name, args, code, stdout=b""):
        got_code, got_stdout = self.run(*args)
        problem = None
        if got_code != code:
            problem = f"exit {got_code}, expected {code}"
        elif got_stdout != stdout:
            problem = f"standard output {got_stdout[:60]!r} ({len(got_stdout)} bytes), expected {len(stdout)} bytes"
        self.report(name, problem)


def run_checks(checks):
    passwords = list(PASSWORDS.items())
    pw = lambda text: checks.file(text)

    # (1) the tool seals, the reference opens; (2) the reference seals, the tool opens.
    for i, (text_name, text) in enumerate(TEXTS.items()):
        password_name, password = passwords[i % len(passwords)]
        name = f"{text_name} text, {password_name}"
        code, out = checks.run("seal", pw(password), checks.file(text))
        envelope = out.decode("ascii", "replace")
        if code != 0:
            checks.report(f"tool seals, reference opens: {name}", f"tool exit {code}")
        else:
            problem = layout_problem(envelope, text)
            if problem is None and open_envelope(envelope, password) != text:
                problem = "the reference does not get the text back"
            checks.report(f"tool seals, reference opens: {name}", problem)
        checks.expect_exit(f"reference seals, tool opens: {name}",
                           ("open", pw(password), checks.file(seal(text, password))), 0,
                           text.encode("utf-8", "surrogatepass"))

    # (3) wrong passwords: another one, and the right one with its white space stripped.
    envelope = seal(TEXTS["Japanese"], PASSWORDS["Japanese password"])
    checks.expect_exit("wrong password does not open", ("open", pw("パスワード秘蜜"), checks.file(envelope)), 1)
    spaced = PASSWORDS["spaces + trailing newline"]
    envelope = seal(TEXTS["ASCII"], spaced)
    checks.expect_exit("stripped password does not open", ("open", pw(spaced.strip()), checks.file(envelope)), 1)

    # (4) Keys derived over the bare code units, without the zero unit, must not open. HMAC pads
    # keys shorter than its 64-byte block with zeros, so below 32 code units the zero unit
    # cannot change the keys at all: 31 units still open, 32 units are the first that must not.
    for units, code in ((31, 0), (32, 1)):
        password = "0123456789abcdefghijklmnopqrstuvwxyz"[:units]
        envelope = seal(TEXTS["ASCII"], password, terminator=False)
        checks.expect_exit(f"derivation without the zero unit, {units}-unit password: exit {code}",
                           ("open", pw(password), checks.file(envelope)), code,
                           TEXTS["ASCII"].encode("ascii") if code == 0 else b"")

    # Field details: any salt length opens when the tag matches, an IV of another length never;
    # a colon after the tag and a line end after the envelope spoil it (nothing is trimmed).
    text, password = TEXTS["Japanese"], PASSWORDS["long ASCII password"]
    checks.expect_exit("20-byte salt with a matching tag opens",
                       ("open", pw(password), checks.file(seal(text, password, salt=os.urandom(20)))), 0,
                       text.encode("utf-8"))
    checks.expect_exit("15-byte IV with a matching tag does not open",
                       ("open", pw(password), checks.file(seal(text, password, iv=os.urandom(15)))), 1)
    checks.expect_exit("odd plain byte count: the last byte is dropped",
                       ("open", pw(password), checks.file(seal("", password, plain="odd".encode("utf-16-le") + b"!"))),
                       0, b"odd")
    envelope = seal(text, password)
    checks.expect_exit("extra colon after the tag does not open", ("open", pw(password), checks.file(envelope + ":")), 1)
    checks.expect_exit("line end after the envelope does not open",
                       ("open", pw(password), checks.file(envelope + "\r\n")), 1)

    # (5) usage errors.
    password_file, text_file = pw(password), checks.file(text)
    missing = "Z:" + os.path.join(checks.workdir, "missing.txt").replace("/", "\\")
    checks.expect_exit("usage: no arguments", (), 2)
    checks.expect_exit("usage: one file too few", ("seal", password_file), 2)
    checks.expect_exit("usage: one argument too many", ("seal", password_file, text_file, text_file), 2)
    checks.expect_exit("usage: unknown verb", ("peel", password_file, text_file), 2)
    checks.expect_exit("usage: missing file", ("open", password_file, missing), 2)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tool", required=True, help="envelope_tool.exe")
    parser.add_argument("--runner", required=True, help="script that runs a Windows program: RUNNER EXE ARGS...")
    args = parser.parse_args()

    started = time.monotonic()
    with tempfile.TemporaryDirectory(prefix="envelope_interop_") as workdir:
        checks = Checks(os.path.abspath(args.tool), args.runner, workdir)
        run_checks(checks)
    print(f"({time.monotonic() - started:.1f} s)")
    print(f"{checks.passed} passed, {checks.failed} failed")
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
