#!/usr/bin/env python3
"""type_password.py PASSWORD PROMPT COMMAND...: runs COMMAND on a new pseudo-terminal, types
PASSWORD and Enter once PROMPT shows, and prints all the program wrote. Exits with its exit
code; 90 when the prompt never came, 91 when the terminal was left without echo.
Wine's console draws text with cursor movements instead of blanks: escape sequences and blanks
are left out when looking for the prompt, and escape sequences in what is printed."""
import os
import pty
import re
import select
import subprocess
import sys
import termios
import time


def main():
    password, prompt, command = sys.argv[1], sys.argv[2].encode().replace(b" ", b""), sys.argv[3:]
    master, slave = pty.openpty()
    child = subprocess.Popen(command, stdin=slave, stdout=slave, stderr=slave)
    output = b""

    def read_some(seconds):
        nonlocal output
        ready, _, _ = select.select([master], [], [], seconds)
        if not ready:
            return False
        try:
            chunk = os.read(master, 4096)
        except OSError:  # the program ended and closed the terminal
            return False
        output += chunk
        return bool(chunk)

    def shown():
        return re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]", b"", output)

    deadline = time.monotonic() + 60
    while prompt not in shown().replace(b" ", b"") and time.monotonic() < deadline:
        read_some(0.5)
    if prompt not in shown().replace(b" ", b""):
        child.kill()
        child.wait()
        sys.stdout.write(shown().decode(errors="replace"))
        return 90
    os.write(master, password.encode() + b"\n")
    while child.poll() is None:
        read_some(0.5)
    while read_some(0.2):
        pass
    echo_back = termios.tcgetattr(slave)[3] & termios.ECHO
    os.close(slave)
    os.close(master)
    sys.stdout.write(shown().decode(errors="replace"))
    if not echo_back:
        return 91
    return child.returncode


if __name__ == "__main__":
    sys.exit(main())
