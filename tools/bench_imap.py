#!/usr/bin/env python3
"""Measures the time from a message's delivery to an IMAP account to its
icon over the saver, under Wine on Xvfb, against a private Dovecot (the
test server of tests/e2e/imap_server.py, its authority trusted in the
bench's prefix only). Each round is a run of its own over the fake saver
with one IMAP record: the account is watched (its line in c:\\log.txt),
one message is delivered, and the carrier is asked until it holds the
icon. The reference, told of the same delivery in the same round: a Linux
client (Python's imaplib) idling on the same folder, timed from the delivery
to the server's EXISTS; Dovecot waits half a second to gather changes before
it tells an idling client, so that is the least any client could show. Prints
the median, the 95th percentile and the range of both; asserts nothing.

  python3 tools/bench_imap.py --build-dir build/win64 [--rounds 20] [--security tls|starttls]
"""

from __future__ import annotations

import imaplib
import re
import shutil
import ssl
import statistics
import sys
import threading
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

from harness import mail_record, settings_ini, winpath  # noqa: E402
from imap_server import ImapServer  # noqa: E402
from run_scenario import bench_parser, bench_session  # noqa: E402
from scenarios.jobs_test import CARRIER  # noqa: E402


def percentile(values: list[float], share: float) -> float:
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, round(share * (len(ordered) - 1)))]


class IdleClient:
    """The reference: idles on the folder and notes when the server tells of a new message."""

    def __init__(self, server: ImapServer, user: str, password: str):
        trusted = ssl.create_default_context(cafile=str(server.ca_pem_path))
        self.imap = imaplib.IMAP4_SSL("localhost", server.ports["imaps"], ssl_context=trusted, timeout=30)
        self.imap.login(user, password)
        self.imap.select("INBOX", readonly=True)
        self.told = threading.Event()
        self.at = 0.0

    def start(self):
        self.told.clear()
        self.imap.send(b"R1 IDLE\r\n")
        if not self.imap.readline().startswith(b"+"):
            raise SystemExit("the reference client could not idle")
        threading.Thread(target=self._wait, daemon=True).start()

    def _wait(self):
        while not re.match(rb"\* \d+ EXISTS", self.imap.readline()):
            pass
        self.at = time.monotonic()
        self.told.set()

    def finish(self) -> float:
        if not self.told.wait(30):
            raise SystemExit("the reference client was not told of the delivery")
        self.imap.send(b"DONE\r\n")
        while not self.imap.readline().startswith(b"R1 "):
            pass
        return self.at


def main() -> int:
    parser = bench_parser(__doc__, "win64")
    parser.add_argument("--rounds", type=int, default=20)
    parser.add_argument("--security", choices=("tls", "starttls"), default="tls")
    args = parser.parse_args()
    with bench_session(args, "bench-imap") as h:
        server = ImapServer(h.dir / "imap")
        server.start()
        try:
            h.trust_certificate(server.ca_pem_path)
            user, password = next(iter(server.users.items()))
            h.store_password(f"Vigilumen/imap/{user}@localhost", user, password)
            url = (f"imaps://{user}@localhost:{server.ports['imaps']}/INBOX" if args.security == "tls"
                   else f"imap://{user}@localhost:{server.ports['imap']}/INBOX")
            log = h.prefix / "drive_c" / "log.txt"
            took, reference = [], []
            idle = IdleClient(server, user, password)
            for n in range(args.rounds):
                saver = h.fake_saver(h.dir / f"round{n}" / "savers")
                record = f"1;1;1;Mail;{url};5;IMAP mail;mail.ico;{url};"
                app = h.app_folder(ini=settings_ini(winpath(saver), [mail_record(0), record], position="100;120",
                                                    blink=0, enlarged=0, orientation=1), name=f"round{n}/app")
                shutil.copy2(ROOT / "data" / "QVX_data" / "window.ico", app.data / "mail.ico")
                log.unlink(missing_ok=True)
                product = h.start_hosted(app, saver)
                hwnd = [l for l in saver.with_name("FakeSaver.log").read_text().splitlines()
                        if l.startswith("window hwnd=")][-1].split("hwnd=")[1].split()[0]
                h.wait_until(lambda: log.exists() and ": watching" in log.read_text(errors="replace"), 30,
                             "the account watched")
                time.sleep(1)  # in IDLE by now
                idle.start()
                delivered = time.monotonic()
                server.deliver(user, f"Round {n}")

                def shown() -> bool:
                    found = [r for r in h.probe("tree", hwnd, check=False) if r.get("class") == CARRIER]
                    return bool(found) and found[0].get("visible") == "1"

                h.wait_until(shown, 30, "the icon", interval=0.05)
                took.append(time.monotonic() - delivered)
                reference.append(idle.finish() - delivered)
                print(f"round {n + 1}: {took[-1]:.2f} s (reference {reference[-1]:.2f} s)", flush=True)
                saver.with_name("FakeSaver.stop").touch()
                product.wait(10)
            for what, values in (("delivery to icon", took), ("reference, delivery to EXISTS", reference)):
                print(f"{h.config.arch} {h.config.product.name}, {args.security}, {len(values)} deliveries, {what}: "
                      f"median {statistics.median(values):.2f} s, 95th percentile {percentile(values, 0.95):.2f} s, "
                      f"range {min(values):.2f}-{max(values):.2f} s")
        finally:
            server.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
