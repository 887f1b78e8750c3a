#!/usr/bin/env python3
"""A real mailer fetches what tolvex requests.

Each case sets up, in one temporary folder, a local system (tolvex, its
configuration, its outbound and a binkd that polls from there) and a remote
system (a binkd server, a public and a protected file area, and a request
processor). tolvex runs on its real configuration, the local binkd calls the
remote over 127.0.0.1, and the case passes when exactly the expected files
arrived in the local inbound, byte for byte, every request and flow file was
consumed, and the remote was asked exactly the expected request lines.

The cases prove the mailer's side only: a request with its flow file, a
password, a point's folder, and two addresses (two zones) of one remote,
called one at a time past each other's busy flags. What tolvex writes into
its files is the end-to-end tests' to check. Only the POSIX program takes
part: binkd runs on POSIX here.

    fetch_test.py --program build/tolvex [--case NAME ...] [--list]

Exit code 0 when every case passes, 1 when one fails, 77 when binkd is not
installed (1 instead when TOLVEX_REQUIRE_TOOLS=1 says the tools are required).
"""

import argparse
import collections
import contextlib
import dataclasses
import hashlib
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

SKIPPED = 77
SESSION_PASSWORD = "tolvex1"
SESSION_TIME_LIMIT = 20  # seconds for one polling binkd, start to end
LISTEN_TIME_LIMIT = 5  # seconds for a server to report that it listens
PUBLIC = ("pntlist.zip", "nodelist.z45", "readme.txt")
PROTECTED = {"secret.zip": "pw"}  # name -> password


@dataclasses.dataclass(frozen=True)
class Case:
    name: str
    remote: tuple  # the remote's addresses, its main one first
    args: tuple  # the tolvex command line
    outbound: tuple  # files that tolvex leaves for binkd, relative to the outbound
    arrives: tuple  # the files the remote sends
    asked: tuple  # the request lines it receives


CASES = (
    Case("plain_request", ("2:4600/36",), ("pntlist.zip", "/36"),
         ("out/11f80024.clo", "out/11f80024.req"), ("pntlist.zip",), ("pntlist.zip",)),
    Case("right_password", ("2:4600/36",), ("secret.zip!!pw", "/36"),
         ("out/11f80024.clo", "out/11f80024.req"), ("secret.zip",), ("secret.zip !pw",)),
    Case("point_of_remote", ("2:4600/36.7",), ("pntlist.zip", "2:4600/36.7"),
         ("out/11f80024.pnt/00000007.clo", "out/11f80024.pnt/00000007.req"), ("pntlist.zip",), ("pntlist.zip",)),
    # Both addresses are one remote: one session sends both requests.
    Case("one_remote_two_addresses", ("2:4600/36", "3:45/6"), ("readme.txt", "/36", "3:45/6"),
         ("out/11f80024.clo", "out/11f80024.req", "out.003/002d0006.clo", "out.003/002d0006.req"),
         ("readme.txt",), ("readme.txt", "readme.txt")),
)


class Failure(Exception):
    pass


# The remote's request processor. binkd hands over each received request list
# through an SRIF file; every line names a file (wildcards, any letter case),
# and a protected file is served only for "name !password". The response list
# gets "+path" for every file to send; the lines asked are kept in asked.txt.
PROCESSOR = r'''
import fnmatch, json, os, sys

HOME = os.path.dirname(os.path.abspath(__file__))

def served_files(pattern, password, passwords):
    pattern = pattern.lower()
    for name in sorted(os.listdir(os.path.join(HOME, "public"))):
        if fnmatch.fnmatchcase(name.lower(), pattern):
            yield os.path.join(HOME, "public", name)
    for name in sorted(os.listdir(os.path.join(HOME, "protected"))):
        if fnmatch.fnmatchcase(name.lower(), pattern) and passwords[name].lower() == password.lower():
            yield os.path.join(HOME, "protected", name)

with open(sys.argv[1], encoding="latin-1") as srif:
    values = dict((line.split(None, 1) + [""])[:2] for line in srif.read().splitlines() if line.strip())
values = {key.lower(): value.strip() for key, value in values.items()}
with open(os.path.join(HOME, "passwords.json")) as f:
    passwords = json.load(f)
with open(values["requestlist"], encoding="latin-1") as f:
    lines = [line for line in f.read().splitlines() if line.strip()]
with open(os.path.join(HOME, "asked.txt"), "a", encoding="latin-1") as f:
    f.writelines(line + "\n" for line in lines)
served = []
for line in lines:
    words = line.split()
    password = next((word[1:] for word in words[1:] if word.startswith("!")), "")
    served += [path for path in served_files(words[0], password, passwords) if path not in served]
with open(values["responselist"], "w") as f:
    f.writelines("+" + path + "\n" for path in served)
'''


def served_bytes(name):
    """The content the remote serves under a name: distinct for every name."""
    seed = name.encode()
    size = 3000 + int(hashlib.sha256(seed).hexdigest()[:4], 16) % 6000
    blocks = (hashlib.sha256(seed + str(i).encode()).digest() for i in range(size // 32 + 1))
    return b"".join(blocks)[:size]


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def files_below(folder):
    found = []
    for root, _, names in os.walk(folder):
        found += [os.path.relpath(os.path.join(root, name), folder) for name in names]
    return sorted(found)


def tail(path, lines=40):
    try:
        with open(path, encoding="latin-1") as f:
            return "".join(f.readlines()[-lines:])
    except OSError:
        return "(no %s)\n" % path


def write_file(path, content):
    with open(path, "wb" if isinstance(content, bytes) else "w") as f:
        f.write(content)


def fido(address):
    return address + "@fidonet"


def remote_config(home, case, port):
    return "\n".join([
        "domain fidonet %s/outbound/out 2" % home,
        "address " + " ".join(fido(address) for address in case.remote),
        "sysname remote", "sysop tester", "location 127.0.0.1", "nodeinfo TCP,IBN",
        "iport %d" % port, "listen 127.0.0.1",
        "inbound %s/inbound" % home, "inbound-nonsecure %s/inbound" % home,
        "log %s/binkd.log" % home, "loglevel 6",
        "node %s - %s" % (fido("2:4600/12"), SESSION_PASSWORD),
        'exec "%s %s/freq.py *S" *.req' % (sys.executable, home), ""])


# binkd finds the main outbound only under the exact spelling of its folder,
# which tolvex creates in lower case; it calls only where a flow file is. It
# calls one address at a time: two calls at once to two addresses of one
# remote can each find the other's busy flag, and then both fail.
def local_config(home, case, port):
    return "\n".join([
        "domain fidonet %s/outbound/out 2" % home, "address " + fido("2:4600/12"),
        "sysname local", "sysop tester", "location 127.0.0.1", "nodeinfo TCP,IBN",
        "inbound %s/inbound" % home, "inbound-nonsecure %s/inbound" % home,
        "log %s/binkd.log" % home, "loglevel 6",
        "rescan-delay 2s", "call-delay 1s", "timeout 20s", "connect-timeout 5s", "maxclients 1",
        *("node %s 127.0.0.1:%d %s" % (fido(address), port, SESSION_PASSWORD) for address in case.remote), ""])


def tolvex_config(home):
    return "\n".join([
        "OUTBOUND %s/outbound" % home, "DEFAULTOUTBOUND OUT", "DEFAULTNET 2:4600", "DEFAULTNODE 12",
        "CREATECLO YES", "LOG %s/tolvex.log" % home, ""])


def sessions_of(leader):
    """The live processes of a binkd's process group other than the binkd itself."""
    found = []
    for entry in os.listdir("/proc") if os.path.isdir("/proc") else ():
        if not entry.isdigit() or int(entry) == leader:
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                state, _, group = f.read().rsplit(")", 1)[1].split()[:3]
        except (OSError, ValueError):
            continue
        if int(group) == leader and state != "Z":
            found.append(int(entry))
    return found


def stop(process):
    """Ends a binkd we started, and the sessions it forked, by their process ids.

    Each binkd leads its own process group (see Stage.start_binkd). Its
    sessions end first, so that the binkd itself reaps them, then the binkd.
    """
    for number in (signal.SIGTERM, signal.SIGKILL):
        for pid in sessions_of(process.pid):
            try:
                os.kill(pid, number)
            except ProcessLookupError:
                pass
        deadline = time.monotonic() + 2
        while sessions_of(process.pid) and time.monotonic() < deadline:
            time.sleep(0.02)
        if process.poll() is None:
            process.send_signal(number)
            try:
                process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                continue
        if not sessions_of(process.pid):
            return


# An end signal (CTest's time limit, ^C) ends the run through SystemExit, which
# unwinds through the clean-ups; while a binkd is being started, the signal
# waits until that binkd is on record for them.
signal_held = False
signal_pending = None


def end_on_signal(number, _frame):
    global signal_pending
    if signal_held:
        signal_pending = number
    else:
        raise SystemExit(128 + number)


@contextlib.contextmanager
def signals_held():
    global signal_held
    signal_held = True
    try:
        yield
    finally:
        signal_held = False
        if signal_pending is not None:
            raise SystemExit(128 + signal_pending)


class Stage:
    """The folders and binkd processes of one case; leaving it ends and removes them all."""

    def __init__(self, binkd, program):
        self.binkd = binkd
        self.program = program
        self.root = None
        self.processes = []

    def __enter__(self):
        # tolvex drops blanks from the paths in its configuration.
        parent = None if " " not in tempfile.gettempdir() else "/tmp"
        try:
            with signals_held():
                self.root = tempfile.mkdtemp(prefix="tolvex-binkd-", dir=parent)
        except SystemExit:
            self.__exit__()
            raise
        return self

    def __exit__(self, *_):
        for process in self.processes:
            stop(process)
        if self.root:
            shutil.rmtree(self.root, ignore_errors=True)

    def start_binkd(self, mode, home):
        with signals_held():
            process = subprocess.Popen([self.binkd, mode, "binkd.cfg"], cwd=home, start_new_session=True,
                                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.STDOUT)
            self.processes.append(process)
        return process

    def folder(self, *parts):
        path = os.path.join(self.root, *parts)
        os.makedirs(path, exist_ok=True)
        return path

    def make_remote(self):
        """Writes the remote's file areas and request processor; returns its folder."""
        home = self.folder("remote")
        for area in ("public", "protected", "inbound", "outbound/out"):
            self.folder(home, area)
        for name in PUBLIC:
            write_file(os.path.join(home, "public", name), served_bytes(name))
        for name in PROTECTED:
            write_file(os.path.join(home, "protected", name), served_bytes(name))
        write_file(os.path.join(home, "passwords.json"), json.dumps(PROTECTED))
        write_file(os.path.join(home, "freq.py"), PROCESSOR)
        write_file(os.path.join(home, "asked.txt"), "")
        return home

    def start_server(self, home, case):
        """Starts the remote's binkd on a free port and returns the port once it listens."""
        log = os.path.join(home, "binkd.log")
        for _ in range(5):
            port = free_port()
            write_file(os.path.join(home, "binkd.cfg"), remote_config(home, case, port))
            if os.path.exists(log):
                os.remove(log)
            process = self.start_binkd("-s", home)
            deadline = time.monotonic() + LISTEN_TIME_LIMIT
            while time.monotonic() < deadline and process.poll() is None:
                if "listen on 127.0.0.1:%d" % port in tail(log):
                    return port
                time.sleep(0.05)
            stop(process)  # the port was taken meanwhile, or the server did not start
        raise Failure("the remote binkd in %s did not start:\n%s" % (home, tail(log)))

    def make_local(self, case, port):
        """Writes the program folder (tolvex beside its tolvex.cfg) and the local system."""
        home = self.folder("local")
        self.folder(home, "outbound")
        self.folder(home, "inbound")
        program_dir = self.folder("program")
        shutil.copy2(self.program, os.path.join(program_dir, "tolvex"))
        write_file(os.path.join(program_dir, "tolvex.cfg"), tolvex_config(home))
        write_file(os.path.join(home, "binkd.cfg"), local_config(home, case, port))
        return home, program_dir

    def poll(self, home):
        """Runs the local binkd in poll mode until its queue is empty."""
        process = self.start_binkd("-p", home)
        try:
            code = process.wait(timeout=SESSION_TIME_LIMIT)
        except subprocess.TimeoutExpired:
            raise Failure("the polling binkd did not end within %d s" % SESSION_TIME_LIMIT)
        finally:
            stop(process)
        if code != 0:
            raise Failure("the polling binkd ended with code %d" % code)


def run_tolvex(program_dir, home, args):
    result = subprocess.run([os.path.join(program_dir, "tolvex"), *args], cwd=home, timeout=10,
                            stdin=subprocess.DEVNULL, capture_output=True)
    console = result.stdout.decode("cp866", "replace")
    if result.returncode != 0 or not console.endswith("Have a nice day! =)\r\n"):
        raise Failure("tolvex %s did not finish its job:\n%s" % (" ".join(args), console))


def expect(what, got, wanted):
    if got != wanted:
        raise Failure("%s:\n  got    %r\n  wanted %r" % (what, got, wanted))


def run_case(case, stage):
    """Runs one case to its end; returns the seconds the binkd session took."""
    remote = stage.make_remote()
    local, program_dir = stage.make_local(case, stage.start_server(remote, case))
    outbound = os.path.join(local, "outbound")
    try:
        run_tolvex(program_dir, local, case.args)
        expect("files that tolvex left for binkd", files_below(outbound), sorted(case.outbound))
        started = time.monotonic()
        stage.poll(local)
        seconds = time.monotonic() - started
        expect("files left in the outbound after the session", files_below(outbound), [])
        inbound = os.path.join(local, "inbound")
        expect("files that arrived", files_below(inbound), sorted(case.arrives))
        for name in case.arrives:
            with open(os.path.join(inbound, name), "rb") as f:
                if f.read() != served_bytes(name):
                    raise Failure("%s arrived, but not as the remote serves it" % name)
        with open(os.path.join(remote, "asked.txt"), encoding="latin-1") as f:
            asked = collections.Counter(f.read().splitlines())
        expect("request lines that the remote received", asked, collections.Counter(case.asked))
    except Failure as failure:
        logs = [os.path.join(home, "binkd.log") for home in (local, remote)]
        raise Failure("%s\n%s" % (failure, "".join(
            "--- %s\n%s" % (log, tail(log)) for log in logs if os.path.exists(log))))
    return seconds


def find_binkd():
    path = os.pathsep.join([os.environ.get("PATH", ""), "/usr/sbin", "/usr/local/sbin"])
    return shutil.which("binkd", path=path)


def main():
    parser = argparse.ArgumentParser(description="binkd fetches what tolvex requests")
    parser.add_argument("--program", help="the POSIX tolvex program")
    parser.add_argument("--case", action="append", choices=[case.name for case in CASES])
    parser.add_argument("--list", action="store_true", help="print the case names and end")
    options = parser.parse_args()
    if options.list:
        print("\n".join(case.name for case in CASES))
        return 0
    if not options.program:
        parser.error("--program is needed")

    binkd = find_binkd()
    if binkd is None:
        if os.environ.get("TOLVEX_REQUIRE_TOOLS") == "1":
            print("FAILED: binkd is required but not installed (Debian package binkd)")
            return 1
        print("SKIPPED: binkd is not installed (Debian package binkd)")
        return SKIPPED

    for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(number, end_on_signal)
    failed = 0
    for case in [case for case in CASES if not options.case or case.name in options.case]:
        try:
            with Stage(binkd, os.path.abspath(options.program)) as stage:
                seconds = run_case(case, stage)
            print("ok   %s (session %.1f s)" % (case.name, seconds))
        except (Failure, OSError, subprocess.SubprocessError) as error:
            print("FAIL %s: %s" % (case.name, error))
            failed += 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
