"""A private Dovecot IMAP server for the scenarios: its configuration, its
certificates (signed by a test certificate authority of its own), its
passwords and its mail all lie under one folder, and it listens on two free
ports of 127.0.0.1, one for implicit TLS and one for plain IMAP with STARTTLS.
It is Debian's real dovecot-imapd, started with `dovecot -F -c FILE`, never
the system's service."""

from __future__ import annotations

import os
import pwd
import shutil
import signal
import socket
import subprocess
import tempfile
import time
from pathlib import Path

DEFAULT_USERS = {"alice": "alice-pass-1", "bob": "bob-pass-2"}
START_TIMEOUT = 20.0
# Unix socket paths are limited to 108 bytes; Dovecot's longest name under
# base_dir is about 30 characters.
LONGEST_BASE_DIR = 70


def installed() -> bool:
    return shutil.which("dovecot") is not None and shutil.which("doveadm") is not None


def free_ports(count: int) -> list[int]:
    """Ports of 127.0.0.1 nobody listens on, all different (held together
    while they are chosen)."""
    held = [socket.socket() for _ in range(count)]
    try:
        for s in held:
            s.bind(("127.0.0.1", 0))
        return [s.getsockname()[1] for s in held]
    finally:
        for s in held:
            s.close()


def _openssl(*args: str | Path):
    done = subprocess.run(["openssl", *map(str, args)], capture_output=True, text=True, timeout=60)
    if done.returncode != 0:
        raise RuntimeError(f"openssl {' '.join(map(str, args))} failed: {done.stderr}")


def _alt_names(names: tuple[str, ...]) -> str:
    return ",".join(("IP:" if n.replace(".", "").isdigit() else "DNS:") + n for n in names)


class TestAuthority:
    """A certificate authority of the test's own, trusted by nothing on this
    machine; a Windows prefix trusts it once its DER file is in its Root store."""

    def __init__(self, folder: Path):
        self.folder = folder
        folder.mkdir(parents=True, exist_ok=True)
        self.key, self.cert, self.der = folder / "ca.key", folder / "ca.pem", folder / "ca.der"
        _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", self.key, "-out", self.cert,
                 "-days", "30", "-subj", "/CN=Vigilumen Test CA",
                 "-addext", "basicConstraints=critical,CA:TRUE",
                 "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        _openssl("x509", "-in", self.cert, "-outform", "DER", "-out", self.der)

    def issue(self, stem: str, names: tuple[str, ...]) -> tuple[Path, Path]:
        """A server certificate for these host names and addresses, signed by
        this authority: (certificate, key)."""
        key, csr, cert = (self.folder / f"{stem}{ext}" for ext in (".key", ".csr", ".pem"))
        ext = self.folder / f"{stem}.ext"
        ext.write_text(f"subjectAltName={_alt_names(names)}\nbasicConstraints=CA:FALSE\n"
                       "keyUsage=critical,digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\n"
                       "subjectKeyIdentifier=hash\nauthorityKeyIdentifier=keyid:always\n")
        _openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", csr, "-subj", f"/CN={names[0]}")
        _openssl("x509", "-req", "-in", csr, "-CA", self.cert, "-CAkey", self.key, "-CAcreateserial",
                 "-days", "30", "-extfile", ext, "-out", cert)
        return cert, key

    def self_signed(self, stem: str, names: tuple[str, ...]) -> tuple[Path, Path]:
        """A certificate for the right names that no authority vouches for."""
        key, cert = self.folder / f"{stem}.key", self.folder / f"{stem}.pem"
        _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert, "-days", "30",
                 "-subj", f"/CN={names[0]}", "-addext", f"subjectAltName={_alt_names(names)}")
        return cert, key


class ImapServer:
    """Use as a context manager, or call start() and stop(). `names` are the
    names the server's certificate is for (another name makes a client's
    hostname check fail); `self_signed` gives it a certificate the test
    authority did not sign."""

    def __init__(self, root: Path, users: dict[str, str] | None = None,
                 names: tuple[str, ...] = ("localhost", "127.0.0.1"), self_signed: bool = False):
        self.root = Path(root).resolve()
        self.users = dict(users or DEFAULT_USERS)
        self.names = names
        self.self_signed = self_signed
        self.conf = self.root / "dovecot.conf"
        self.log = self.root / "dovecot.log"
        self.ports = {"imaps": 0, "imap": 0}
        self.ca: TestAuthority | None = None
        self.start_seconds = 0.0  # certificates made and both ports listening
        self.listen_seconds = 0.0  # from starting dovecot to both ports listening
        self._process: subprocess.Popen | None = None
        self._short_base: Path | None = None
        mail_user = pwd.getpwnam("dovecot")
        self._uid, self._gid = mail_user.pw_uid, mail_user.pw_gid

    @property
    def ca_der_path(self) -> Path:
        return self.ca.der

    @property
    def ca_pem_path(self) -> Path:
        return self.ca.cert

    def maildir(self, user: str) -> Path:
        return self.root / "mail" / user / "Maildir"

    # ----- lifetime --------------------------------------------------------
    def __enter__(self) -> ImapServer:
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()

    def start(self):
        started = time.monotonic()
        self.root.mkdir(parents=True, exist_ok=True)
        self.ca = TestAuthority(self.root / "certs")
        make = self.ca.self_signed if self.self_signed else self.ca.issue
        cert, key = make("server", self.names)
        for user in self.users:
            self._make_maildir(user)
        (self.root / "passwd").write_text("".join(f"{u}:{{PLAIN}}{p}::::::\n" for u, p in self.users.items()))
        self.ports = dict(zip(("imaps", "imap"), free_ports(2)))
        self.conf.write_text(self._config(cert, key))
        out = open(self.root / "dovecot.out", "wb")
        launched = time.monotonic()
        self._process = subprocess.Popen(["dovecot", "-F", "-c", str(self.conf)], stdin=subprocess.DEVNULL,
                                         stdout=out, stderr=subprocess.STDOUT, start_new_session=True)
        out.close()
        try:
            self._wait_for_ports()
        except Exception:
            self.stop()
            raise
        self.listen_seconds = time.monotonic() - launched
        self.start_seconds = time.monotonic() - started

    def stop(self):
        p, self._process = self._process, None
        if p is not None:
            try:
                subprocess.run(["doveadm", "-c", str(self.conf), "stop"], capture_output=True, timeout=15)
                p.wait(timeout=10)
            except subprocess.TimeoutExpired:
                os.killpg(p.pid, signal.SIGKILL)
                p.wait(timeout=10)
        if self._short_base is not None:
            shutil.rmtree(self._short_base, ignore_errors=True)
            self._short_base = None

    def log_tail(self, lines: int = 30) -> str:
        text = ""
        for path in (self.root / "dovecot.out", self.log):
            if path.exists():
                text += "".join(path.read_text(errors="replace").splitlines(keepends=True)[-lines:])
        return text

    # ----- mail ------------------------------------------------------------
    def deliver(self, user: str, subject: str, seen: bool = False, body: str = "Hello.\r\n") -> str:
        """Puts a new message into the user's INBOX the way a mail transfer
        agent does (written in tmp/, then renamed into new/, or into cur/ with
        the S flag when seen); Dovecot watches those folders, so a client in
        IDLE is told at once. Returns the message's Message-ID."""
        stamp = time.time_ns()
        message_id = f"<{stamp}.{os.getpid()}@vigilumen.test>"
        text = (f"From: Sender <sender@vigilumen.test>\r\nTo: {user}@vigilumen.test\r\nSubject: {subject}\r\n"
                f"Date: {time.strftime('%a, %d %b %Y %H:%M:%S +0000', time.gmtime())}\r\n"
                f"Message-ID: {message_id}\r\n\r\n{body}")
        box = self.maildir(user)
        name = f"{stamp // 10**9}.M{(stamp // 1000) % 10**6}P{os.getpid()}.vigilumen"
        tmp = box / "tmp" / name
        tmp.write_bytes(text.encode())
        os.chown(tmp, self._uid, self._gid)
        tmp.chmod(0o600)
        os.rename(tmp, box / "cur" / f"{name}:2,S" if seen else box / "new" / name)
        return message_id

    # ----- inside ----------------------------------------------------------
    def _make_maildir(self, user: str):
        for part in (self.root / "mail", self.root / "mail" / user, self.maildir(user),
                     *(self.maildir(user) / d for d in ("cur", "new", "tmp"))):
            part.mkdir(exist_ok=True)
            if part != self.root / "mail":
                os.chown(part, self._uid, self._gid)
                part.chmod(0o700)

    def _base_dir(self) -> Path:
        base = self.root / "run"
        if len(str(base)) <= LONGEST_BASE_DIR:
            return base
        self._short_base = Path(tempfile.mkdtemp(prefix="vl-imap-"))
        self._short_base.chmod(0o755)
        return self._short_base

    def _config(self, cert: Path, key: Path) -> str:
        dh = Path("/usr/share/dovecot/dh.pem")
        return f"""\
base_dir = {self._base_dir()}
state_dir = {self.root / "state"}
log_path = {self.log}
info_log_path = {self.log}
protocols = imap
listen = 127.0.0.1
ssl = yes
ssl_cert = <{cert}
ssl_key = <{key}
{f"ssl_dh = <{dh}" if dh.exists() else ""}
# LOGIN only once the connection is encrypted (Dovecot counts a client on
# the server's own address as secure anyway).
disable_plaintext_auth = yes
auth_mechanisms = plain login
auth_verbose = yes
passdb {{
  driver = passwd-file
  args = scheme=PLAIN username_format=%u {self.root / "passwd"}
}}
# The mail user must not be root: the dovecot system user owns the mail.
userdb {{
  driver = static
  args = uid={self._uid} gid={self._gid} home={self.root / "mail"}/%u
}}
first_valid_uid = {self._uid}
first_valid_gid = {self._gid}
mail_location = maildir:{self.root / "mail"}/%u/Maildir
service imap-login {{
  inet_listener imap {{
    address = 127.0.0.1
    port = {self.ports["imap"]}
  }}
  inet_listener imaps {{
    address = 127.0.0.1
    port = {self.ports["imaps"]}
    ssl = yes
  }}
}}
"""

    def _wait_for_ports(self):
        deadline = time.monotonic() + START_TIMEOUT
        waiting = dict(self.ports)
        while waiting:
            if self._process.poll() is not None:
                raise RuntimeError(f"dovecot ended with {self._process.returncode}:\n{self.log_tail()}")
            for name, port in list(waiting.items()):
                try:
                    socket.create_connection(("127.0.0.1", port), timeout=1).close()
                    del waiting[name]
                except OSError:
                    pass
            if waiting and time.monotonic() > deadline:
                raise RuntimeError(f"dovecot did not listen on {waiting} within {START_TIMEOUT} s:\n{self.log_tail()}")
            if waiting:
                time.sleep(0.05)
