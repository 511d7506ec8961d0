"""Mail from an IMAP account over the saver, from a real server: a private
Dovecot on loopback ports, its test authority trusted in this prefix only,
the passwords in the prefix's credential store."""

from __future__ import annotations

import time
from pathlib import Path

from harness import SKIPPED, Harness, ScenarioFailed, end_saver, expect
from imap_server import ImapServer, installed
from scenarios.jobs_test import JobRun

LOG = ("drive_c", "log.txt")


def imap_record(n: int, name: str, icon: str, url: str) -> str:
    return f"{n};1;1;{name};{url};5;IMAP mail;{icon};{url};"


def _server(h: Harness, name: str, **kw) -> ImapServer:
    if not installed():
        print("SKIPPED: dovecot is not installed (Debian's dovecot-imapd; ./dev.sh deps)", flush=True)
        h.close()
        raise SystemExit(SKIPPED)
    server = ImapServer(h.dir / name, **kw)
    server.start()
    return server


def _log(h: Harness) -> str:
    path = h.prefix.joinpath(*LOG)
    return path.read_text(errors="replace") if path.exists() else ""


def _wait_log(h: Harness, text: str, timeout: float) -> str:
    return h.wait_until(lambda: text in _log(h) and _log(h), timeout, f"{text!r} in c:\\log.txt")


def _files_holding(root: Path, secrets: list[bytes]) -> list[str]:
    found = []
    for path in root.rglob("*"):
        if path.is_file() and not path.is_symlink():
            data = path.read_bytes()
            found += [f"{path.relative_to(root)}: {s!r}" for s in secrets if s in data]
    return found


def scenario_new_mail_shows_within_seconds_old_unread_mail_never_and_the_password_stays_in_the_store(h: Harness):
    """Two accounts, TLS from the start and STARTTLS. Mail that was unread
    before the run shows nothing; mail delivered during the run shows its
    account's icon within 5 s. The passwords are in no file of the prefix.
    The server stopped in the middle of the run costs the saver's end nothing."""
    server = _server(h, "imap")
    try:
        h.trust_certificate(server.ca_pem_path)
        (alice, alice_pw), (bob, bob_pw) = server.users.items()
        h.store_password(f"Vigilumen/imap/{alice}@localhost", alice, alice_pw)
        h.store_password(f"Vigilumen/imap/{bob}@localhost", bob, bob_pw)
        server.deliver(alice, "Unread before the run")
        server.deliver(bob, "Also unread before the run")
        h.prefix.joinpath(*LOG).unlink(missing_ok=True)
        tls = f"imaps://{alice}@localhost:{server.ports['imaps']}/INBOX"
        starttls = f"imap://{bob}@localhost:{server.ports['imap']}/INBOX"
        run = JobRun(h, "mail", [imap_record(1, "Work", "work.ico", tls), imap_record(2, "Home", "home.ico", starttls)],
                     ["work.ico", "home.ico"])
        h.wait_until(lambda: _log(h).count(": watching") >= 2, 30, "both accounts watched (c:\\log.txt)")
        run.expect_icons(0, 4, "old unread mail shows nothing")
        server.deliver(alice, "News for Work")
        work = run.wait_icons(1, 5, "the TLS account's icon")
        server.deliver(bob, "News for Home")
        home = run.wait_icons(2, 5, "the STARTTLS account's icon")
        print(f"delivery to icon: TLS {work:.2f} s, STARTTLS {home:.2f} s", flush=True)
        h.screenshot("imap-icons")

        secrets = [p.encode(e) for p in (alice_pw, bob_pw) for e in ("utf-8", "utf-16-le")]
        found = _files_holding(h.prefix, secrets) + _files_holding(run.app.root, secrets)
        if found:
            raise ScenarioFailed(f"a password is kept in a file: {found}")

        server.stop()
        _wait_log(h, "the server closed the connection", 15)
        started = time.monotonic()
        end_saver(run.saver, run.product, timeout=5)
        print(f"the saver's end noticed {time.monotonic() - started:.2f} s after its stop file, "
              f"with the server down", flush=True)
        print(_log(h), flush=True)
    finally:
        server.stop()


def scenario_a_wrong_password_and_certificates_that_do_not_pass_show_nothing_and_the_log_says_why(h: Harness):
    """A wrong password, a certificate for another name and one no trusted
    authority signed: no icon for any of them, and a line each in the log."""
    good = _server(h, "good")
    other = _server(h, "other", names=("mail.example.test",))
    selfsigned = _server(h, "selfsigned", self_signed=True)
    try:
        h.trust_certificate(good.ca_pem_path)
        h.trust_certificate(other.ca_pem_path)
        alice, alice_pw = next(iter(good.users.items()))
        h.store_password(f"Vigilumen/imap/{alice}@localhost", alice, alice_pw + "-wrong")
        h.store_password(f"Vigilumen/imap/{alice}@127.0.0.1", alice, alice_pw)
        h.prefix.joinpath(*LOG).unlink(missing_ok=True)
        records = [imap_record(1, "Wrong", "a.ico", f"imaps://{alice}@localhost:{good.ports['imaps']}/INBOX"),
                   imap_record(2, "Other", "b.ico", f"imaps://{alice}@127.0.0.1:{other.ports['imaps']}/INBOX"),
                   imap_record(3, "Self", "c.ico", f"imap://{alice}@127.0.0.1:{selfsigned.ports['imap']}/INBOX")]
        run = JobRun(h, "refused", records, ["a.ico", "b.ico", "c.ico"])
        log = h.wait_until(lambda: _log(h).count("not tried again") >= 3 and _log(h), 30, "three accounts given up")
        for server in (good, other, selfsigned):
            server.deliver(alice, "Never shown")
        run.expect_icons(0, 5, "no icon for an account that cannot be read")
        lines = [l for l in log.splitlines() if l.startswith("IMAP ")]
        print("\n".join(lines), flush=True)
        for what in ("login refused", "another name", "not trusted"):
            if not any(what in l for l in lines):
                raise ScenarioFailed(f"no log line says {what!r}: {lines}")
        end_saver(run.saver, run.product)
    finally:
        for server in (good, other, selfsigned):
            server.stop()


def scenario_the_polling_page_sets_up_an_account_tests_it_and_its_removal_forgets_the_password(h: Harness):
    """"IMAP mail" on the Polling page: Set up... opens the account dialog;
    Test answers with the server's counts or the exact reason it failed; OK
    stores the password in the credential store and the record as a URL;
    removing the record and saving takes the password out again."""
    from harness import ConfigDialog, mail_record
    from scenarios.polling_test import ADD, FILE_BROWSE, NAME, REMOVE, TEXT1, TEXT_LABEL, Page

    opt_imap, account, security, password, test, answer = "321", "501", "503", "505", "507", "508"
    server = _server(h, "imap")
    try:
        h.trust_certificate(server.ca_pem_path)
        (alice, alice_pw), _ = server.users.items()
        target = f"Vigilumen/imap/{alice}@localhost"
        for n in range(3):
            server.deliver(alice, f"Waiting {n}")
        d = Page(h, mail_record())
        d.click(ADD)
        d.click(opt_imap)
        tree = d.tree()
        expect("IMAP option, label and button", (d.control(opt_imap, tree)["text"], d.control(opt_imap, tree)["check"],
               d.control(TEXT_LABEL, tree)["text"], d.control(FILE_BROWSE, tree)["text"]),
               ("IMAP mail", "1", "Mail account", "Set up..."))
        d.type_into(NAME, "Work mail")
        d.click(FILE_BROWSE)
        dialog = h.probe("wait", "IMAP account", "10000")[0]["hwnd"]

        def answer_text() -> str:
            return next((r.get("text", "") for r in h.probe("tree", dialog) if r.get("id") == answer), "")

        def answered() -> str:
            started = time.monotonic()
            text = h.wait_until(lambda: (t := answer_text()) not in ("", "Testing...") and t, 17, "the Test's answer")
            print(f"Test answered in {time.monotonic() - started:.1f} s: {text}", flush=True)
            return text

        h.probe("settext", dialog, f"id:{account}", f"{alice}@localhost:{server.ports['imap']}")
        h.probe("cbselect", dialog, f"id:{security}", "1")  # STARTTLS
        h.probe("settext", dialog, f"id:{password}", alice_pw + "-wrong")
        h.probe("click", dialog, f"id:{test}")
        if not answered().startswith("failed: login refused"):
            raise ScenarioFailed("a wrong password was not reported as refused")
        h.probe("settext", dialog, f"id:{password}", alice_pw)
        h.probe("click", dialog, f"id:{test}")
        expect("the Test's counts", answered().split(",")[0], "3 unread")
        h.screenshot("imap-account-dialog")
        h.probe("click", dialog, "OK")
        h.wait_until(lambda: h.probe_one("find", "IMAP account") is None, 10, "the account dialog to close")
        url = f"imap://{alice}@localhost:{server.ports['imap']}/INBOX"
        expect("the record's text", d.control(TEXT1)["text"], url)
        expect("the password stored", h.password_stored(target), True)
        ids = [r["sub7"] for r in d.rows()]
        d.ok()
        expect("saved record", d.saved()["app1"], f"{ids[1]};1;1;Work mail;{url};5;IMAP mail;;{url};")
        secrets = [alice_pw.encode(e) for e in ("utf-8", "utf-16-le")]
        found = _files_holding(h.prefix, secrets) + _files_holding(d.app.root, secrets)
        if found:
            raise ScenarioFailed(f"the password is kept in a file: {found}")

        again = ConfigDialog(h, d.app, tab=1)
        again.select_row(1)
        again.click(REMOVE)
        again.ok()
        expect("the password after the record was removed and saved", h.password_stored(target), False)
    finally:
        server.stop()
