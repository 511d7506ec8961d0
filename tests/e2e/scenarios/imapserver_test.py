"""The private IMAP server the mail scenarios talk to, proved from the Linux
side: Debian's Dovecot under the scenario's folder, reached over implicit TLS
and STARTTLS with a certificate only the test's own authority vouches for."""

import imaplib
import re
import ssl

from harness import SKIPPED, Harness, ScenarioFailed, expect
from imap_server import ImapServer, installed

# The server runs on Linux; one run serves both builds.
BUILDS = ("win64",)


def _skip(h: Harness, why: str):
    print(f"SKIPPED: {why}", flush=True)
    h.close()
    raise SystemExit(SKIPPED)


def _flags(imap: imaplib.IMAP4, uid: int) -> str:
    typ, data = imap.uid("FETCH", str(uid), "(FLAGS)")
    expect(f"FETCH of UID {uid}", typ, "OK")
    return data[0].decode() if data and data[0] else ""


def _uid_of(imap: imaplib.IMAP4, subject: str) -> int:
    typ, data = imap.uid("SEARCH", "SUBJECT", f'"{subject}"')
    uids = [int(u) for u in data[0].split()] if typ == "OK" else []
    if len(uids) != 1:
        raise ScenarioFailed(f"SEARCH SUBJECT {subject!r} found {typ} {data}")
    return uids[0]


def _told_while_idle(imap: imaplib.IMAP4, deliver) -> list[bytes]:
    """Delivers while the client idles and returns what the server said
    until it told of the new message. The client's timeout (10 s) is well
    under Dovecot's fallback check (30 s): only its watch on the maildir
    tells in time."""
    imap.send(b"I1 IDLE\r\n")
    said = [imap.readline()]
    if not said[0].startswith(b"+"):
        raise ScenarioFailed(f"IDLE was answered {said[0]!r}")
    deliver()
    try:
        while not re.match(rb"\* \d+ EXISTS", said[-1]):
            said.append(imap.readline())
    except TimeoutError as e:
        raise ScenarioFailed(f"the idling client was not told of the new message: {said}") from e
    imap.send(b"DONE\r\n")
    while not said[-1].startswith(b"I1 "):
        said.append(imap.readline())
    expect("the end of IDLE", said[-1].split()[1], b"OK")
    return said


def scenario_private_dovecot_serves_tls_starttls_and_new_mail(h: Harness):
    if not installed():
        _skip(h, "dovecot is not installed (Debian's dovecot-imapd; ./dev.sh deps)")
    server = ImapServer(h.dir / "imap")
    try:
        server.start()
        print(f"dovecot listening on {server.ports} {server.listen_seconds:.2f} s after it started "
              f"({server.start_seconds:.2f} s with the certificates)", flush=True)
        trusted = ssl.create_default_context(cafile=str(server.ca_pem_path))
        user, password = next(iter(server.users.items()))

        imap = imaplib.IMAP4_SSL("localhost", server.ports["imaps"], ssl_context=trusted, timeout=10)
        imap.login(user, password)
        expect("SELECT INBOX", imap.select("INBOX")[0], "OK")
        uidnext = int(imap.response("UIDNEXT")[1][0])
        said = _told_while_idle(imap, lambda: server.deliver(user, "First news"))
        print(f"told while idle: {said}", flush=True)
        uid = _uid_of(imap, "First news")
        if uid < uidnext:
            raise ScenarioFailed(f"the new message has UID {uid}, below the UIDNEXT {uidnext} seen before")
        if "\\Seen" in _flags(imap, uid):
            raise ScenarioFailed(f"the new message is already seen: {_flags(imap, uid)}")
        server.deliver(user, "Already read", seen=True)
        imap.noop()
        if "\\Seen" not in _flags(imap, _uid_of(imap, "Already read")):
            raise ScenarioFailed("a message delivered as seen lacks \\Seen")
        imap.logout()

        plain = imaplib.IMAP4("localhost", server.ports["imap"], timeout=10)
        expect("STARTTLS offered", "STARTTLS" in plain.capabilities, True)
        plain.starttls(trusted)
        expect("LOGIN after STARTTLS", plain.login(user, password)[0], "OK")
        plain.logout()

        refused = imaplib.IMAP4_SSL("localhost", server.ports["imaps"], ssl_context=trusted, timeout=10)
        try:
            refused.login(user, password + "-wrong")
            raise ScenarioFailed("a wrong password was accepted")
        except imaplib.IMAP4.error as e:
            print(f"wrong password refused: {e}", flush=True)
        refused.logout()

        try:
            imaplib.IMAP4_SSL("localhost", server.ports["imaps"], ssl_context=ssl.create_default_context(),
                              timeout=10).logout()
            raise ScenarioFailed("a client trusting only the system's authorities accepted the test certificate")
        except ssl.SSLCertVerificationError as e:
            print(f"system authorities refuse it: {e.verify_message}", flush=True)
    finally:
        server.stop()
