"""The product's IMAP link under Wine, against the private Dovecot: TLS from
the start and after STARTTLS once the prefix trusts the test authority, and
each way a connection fails told for what it is."""

import re
import socket

from harness import SKIPPED, Harness, ScenarioFailed
from imap_server import ImapServer, free_ports, installed

GREETING = r"ok \* OK .*Dovecot.*"


def _expect_line(what: str, line: str, pattern: str):
    if not re.fullmatch(pattern, line):
        raise ScenarioFailed(f"{what}: got {line!r}, want {pattern}")
    print(f"{what}: {line}", flush=True)


def scenario_link_opens_tls_and_starttls_and_names_each_failure(h: Harness):
    if not installed():
        print("SKIPPED: dovecot is not installed (Debian's dovecot-imapd; ./dev.sh deps)", flush=True)
        h.close()
        raise SystemExit(SKIPPED)
    server = ImapServer(h.dir / "imap")
    other = ImapServer(h.dir / "imap-other", names=("other.test",))
    trusted = []
    # Takes connections and never says a word: the handshake waits for it.
    silent = socket.create_server(("127.0.0.1", 0), backlog=8)
    try:
        server.start()
        _expect_line("TLS before the prefix trusts the authority", h.imap_connect("localhost", server.ports["imaps"]),
                     r"fail certificate refused: certificate not trusted: CN=localhost "
                     r"\(issued by CN=Vigilumen Test CA\)")
        h.trust_certificate(server.ca_pem_path)
        trusted.append(server.ca_pem_path)
        _expect_line("TLS once trusted", h.imap_connect("localhost", server.ports["imaps"]), GREETING)
        _expect_line("STARTTLS once trusted", h.imap_connect("localhost", server.ports["imap"], "starttls"), GREETING)

        other.start()
        h.trust_certificate(other.ca_der_path)
        trusted.append(other.ca_der_path)
        _expect_line("a trusted certificate for another name", h.imap_connect("localhost", other.ports["imaps"]),
                     r"fail certificate refused: certificate is for another name: CN=other\.test .*")

        _expect_line("a port nobody listens on", h.imap_connect("localhost", free_ports(1)[0]), r"fail refused: .*")
        _expect_line("a name that does not resolve", h.imap_connect("nothing.invalid", 993), r"fail name not found: .*")
        quiet = silent.getsockname()[1]
        _expect_line("a server that never answers", h.imap_connect("127.0.0.1", quiet, seconds=2),
                     r"fail timed out: .*")
        _expect_line("the owner's stop during a long wait",
                     h.imap_connect("127.0.0.1", quiet, seconds=120, stop_after_ms=1500), r"fail stopped: .*")
    finally:
        for cert in trusted:
            h.trust_certificate(cert, trusted=False)
        silent.close()
        other.stop()
        server.stop()
