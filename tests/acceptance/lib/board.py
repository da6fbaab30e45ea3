#!/usr/bin/env python3
"""Talks to corvane-sim's control socket the way an operator types at its console.

    board.py SOCKET LINE...

Sends each LINE in turn over one connection and prints the board's answer
without its closing "ok". Exits 1 when the board answers "error" or cannot be
reached, so a scenario never mistakes a refused line for a done one.
"""
import socket
import sys


def ask(connection, reader, line):
    connection.sendall(line.encode() + b"\n")
    answer = []
    for raw in reader:
        text = raw.rstrip("\n")
        if text in ("ok", "error"):
            return text == "ok", answer
        answer.append(text)
    return False, answer + ["(the board closed the connection)"]


def main():
    if len(sys.argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    try:
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as connection:
            connection.settimeout(20)
            connection.connect(sys.argv[1])
            reader = connection.makefile("r", encoding="utf-8", errors="replace")
            for line in sys.argv[2:]:
                ok, answer = ask(connection, reader, line)
                for text in answer:
                    print(text)
                if not ok:
                    sys.stderr.write(f"board refused: {line}\n")
                    return 1
    except OSError as error:
        sys.stderr.write(f"board unreachable at {sys.argv[1]}: {error}\n")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
