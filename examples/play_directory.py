#!/usr/bin/env python3
"""Plays a directory of frames through `movitrel automate --headless` and prints the events.

Usage: play_directory.py DIR [--base PREFIX] [--delay MS] [--movitrel PATH] [--window]

The ordinary way to script the control: set properties, then poll `info` and `get` until the
control shows what is expected. The program runs the control's message loop all the time, so
nothing needs a `wait` request; events arrive as lines of their own whenever they fire.
Standard library only.
"""
import argparse
import json
import shutil
import subprocess
import sys
import time


class Movitrel:
    """One `movitrel automate --headless` session: requests in, replies and events out."""

    def __init__(self, program, window=False):
        command = [program, "automate"] + ([] if window else ["--headless"])
        self.proc = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     text=True, bufsize=1)
        self.events = []

    def request(self, op, **fields):
        self.proc.stdin.write(json.dumps(dict(op=op, **fields)) + "\n")
        self.proc.stdin.flush()
        while True:
            line = self.proc.stdout.readline()
            if not line:
                raise RuntimeError("movitrel ended before replying to " + op)
            message = json.loads(line)
            if "event" in message:
                self.events.append(message)
                continue
            if not message.get("ok"):
                raise RuntimeError("%s: %s" % (op, message.get("error")))
            return message

    def poll(self, what, check, timeout_s=30.0, every_s=0.05):
        """Calls what() every every_s seconds until check(reply) holds; the last reply."""
        deadline = time.monotonic() + timeout_s
        while True:
            reply = what()
            if check(reply):
                return reply
            if time.monotonic() > deadline:
                raise RuntimeError("gave up waiting; last reply: %s" % reply)
            time.sleep(every_s)

    def close(self):
        self.proc.stdin.write(json.dumps({"op": "quit"}) + "\n")
        self.proc.stdin.close()
        self.proc.wait(timeout=30)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("dir")
    parser.add_argument("--base", default="")
    parser.add_argument("--delay", type=int, default=50)
    parser.add_argument("--movitrel", default=shutil.which("movitrel") or "build/apps/movitrel")
    parser.add_argument("--window", action="store_true",
                        help="show the control in a window (needs a display)")
    args = parser.parse_args()

    m = Movitrel(args.movitrel, args.window)
    m.request("create", width=400, height=300)
    m.request("set", name="Sort", value=1)  # by the number in the file name
    m.request("set", name="BaseFile", value=args.base)
    m.request("set", name="Delay", value=args.delay)
    m.request("set", name="Dir", value=args.dir)
    info = m.poll(lambda: m.request("info"), lambda r: r["count"] > 0 and r["frame"] == 0)
    print("%d frames found" % info["count"])

    m.request("set", name="Command", value=1)  # play
    m.poll(lambda: m.request("get", name="Command"), lambda r: r["value"] == 0)
    info = m.request("info")
    print("played to frame %d of %d in %d paints" % (info["frame"] + 1, info["count"],
                                                      info["paints"]))
    m.close()
    for event in m.events:
        print("event %s %s" % (event["event"], event["args"]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
