"""Starting the program with the screen-saver switches."""

import concurrent.futures
import shutil
import struct
import time

from harness import CAPTION, ConfigDialog, Harness, ScenarioFailed, end_saver, expect, mail_record, saver_cmdline, \
    saver_starts, settings_ini, winpath


def scenario_first_start_writes_the_built_in_mail_record(h: Harness):
    app = h.app_folder(ini=None)
    h.run_ok(app.scr, "/p", "1234")  # no saver chosen: starts nothing, ends
    mail_ico = winpath(app.data / "mail.ico")
    expect("settings file", app.read_ini(), {"applist": {"app0": mail_record(icon=mail_ico)}})
    data = (app.data / "mail.ico").read_bytes()
    reserved, kind, count = struct.unpack_from("<HHH", data)
    expect("mail.ico header", (reserved, kind, sorted(data[6 + 16 * i] for i in range(count))), (0, 1, [16, 32]))
    for size in ("32", "16"):
        loaded = h.probe("loadicon", mail_ico, size)[0]
        expect("icon loaded by Windows", (loaded.get("width"), loaded.get("height")), (size, size))

    # An installed mail icon is taken instead of writing one.
    app = h.app_folder(ini=None, name="installed")
    shutil.copy2(h.config.source_dir / "data" / "QVX_data" / "window.ico", app.data / "mailQX.ico")
    h.run_ok(app.scr, "/p", "1")
    expect("record", app.read_ini()["applist"]["app0"], mail_record(icon=winpath(app.data / "mailQX.ico")))
    if (app.data / "mail.ico").exists():
        raise ScenarioFailed("mail.ico was written beside the installed icon")

    # Started by its short path, as Windows starts the saver its settings name:
    # the record names the icon by the long path the user knows.
    app = h.app_folder(ini=None, name="started by its short name")
    short = h.run("winepath", "-s", winpath(app.scr)).stdout.decode().strip()
    if "~" not in short or not short.lower().endswith(".scr"):
        raise ScenarioFailed(f"no short path for {winpath(app.scr)}: {short!r}")
    expect(f"exit code of {short} /p 1", h.run(short, "/p", "1").returncode, 0)
    expect("record after a start by the short path", app.read_ini()["applist"]["app0"],
           mail_record(icon=winpath(app.data / "mail.ico")))


def scenario_preview_hands_the_command_line_to_the_saver(h: Harness):
    saver = h.fake_saver(h.dir / "savers")
    h.run_ok(h.app_folder(ini=settings_ini(winpath(saver))).scr, "/p", "1234")
    h.wait_file_text(saver.with_name("FakeSaver.log"), "start ", 15)
    expect("saver started as", saver_cmdline(saver), f"{winpath(saver)} /p 1234")
    expect("saver starts", len(saver_starts(saver)), 1)


def scenario_run_mode_hosts_one_saver_and_writes_the_list_back(h: Harness):
    saver = h.fake_saver(h.dir / "my savers", color="3050A0")
    records = [mail_record(), "7;1;0;Editor;;1;Wait for window;;Editor;"]
    app = h.app_folder(ini=settings_ini(winpath(saver), records, position="100;120"))
    product = h.start_hosted(app, saver, "/S")
    # The switch as typed; the path quoted for its blank.
    expect("saver command line", saver_cmdline(saver), f'"{winpath(saver)}" /S')

    # A second instance in run mode starts nothing and leaves the first running.
    h.run_ok(app.scr, "/s")
    time.sleep(1)
    expect("saver starts", len(saver_starts(saver)), 1)
    if not product.running():
        raise ScenarioFailed("the first instance ended")

    # What the run holds in memory is written back at its end.
    app.ini.write_bytes(b"[settings]\r\nposition=100;120\r\n[applist]\r\napp0=edited\r\n")
    end_saver(saver, product, 10)
    ini = app.read_ini()
    expect("after the run", (ini.get("applist"), ini["settings"].get("position")),
           ({"app0": records[0], "app1": records[1]}, "100;120"))


def scenario_modes_without_a_saver_to_host_end_cleanly(h: Harness):
    saver = h.fake_saver(h.dir / "savers")
    h.run_ok(h.app_folder(ini=settings_ini(winpath(saver)), name="unknown").scr, "/x")
    if saver.with_name("FakeSaver.log").exists():
        raise ScenarioFailed("an unknown switch started the saver")
    h.run_ok(h.app_folder(ini=settings_ini(""), name="none-chosen").scr, "/s")
    # Without a data folder nothing is chosen: every mode starts and ends cleanly.
    bare = h.app_folder(ini=None, name="bare", data_folder=False)
    for switch in ("/s", "/p 5", "/x"):
        h.run_ok(bare.scr, *switch.split())
    if bare.data.exists():
        raise ScenarioFailed("the program created its data folder")
    if any(p.get("exe", "").lower() == "fakesaver.scr" for p in h.probe("procs")):
        raise ScenarioFailed("a saver was started")

    # A data folder that disappears during a run: the failed save at the end is no crash.
    app = h.app_folder(ini=settings_ini(winpath(saver)))
    product = h.start_hosted(app, saver)
    shutil.rmtree(app.data)
    saver.with_name("FakeSaver.stop").touch()
    expect("exit code after the data folder went", product.wait(10), 0)


def scenario_configuration_lists_the_watched_applications(h: Harness):
    records = [mail_record(icon="mail.ico"), "77;1;0;Editor;;1;Wait for window;;Editor;",
               "88;1;1;Report;C:\\r.txt;0;Watch for file update;;C:\\r.txt;1/2/2026", "short;1;1;Damaged"]
    app = h.app_folder(ini=settings_ini("", records))
    d = ConfigDialog(h, app)
    rows = [r for r in d.tree() if "index" in r and "checked" in r]
    expect("list rows", [(r["text"], r["checked"], r.get("sub1"), r.get("sub2"), r.get("sub7"), r["selected"])
                         for r in rows],
           [("MAPI Client (Mail)", "1", "Internal", "2", "-1", "1"), ("Editor", "0", "Wait for window", "1", "77", "0"),
            ("Report", "1", "Watch for file update", "0", "88", "0"), ("Damaged", "1", "", "", "short", "0")])
    h.probe("close", d.hwnd)
    d.ended("closing the dialog")
    expect("records after closing without OK", app.read_ini()["applist"], {f"app{i}": r for i, r in enumerate(records)})


def _processes(h: Harness):
    """The process list; a snapshot taken while processes end may fail once."""
    for _ in range(5):
        listed = h.probe("procs", check=False)
        if listed:
            return listed
        time.sleep(0.1)
    raise ScenarioFailed("no process list could be taken")


def scenario_the_program_chosen_as_its_own_saver_starts_nothing_and_is_not_listed(h: Harness):
    """The very file, and a renamed copy elsewhere, would start themselves in
    a chain: every mode treats them as no saver, and the chooser leaves them out."""
    windows = h.system_folder().parent
    h.place_file(h.config.product, windows / "selfcopy.scr")
    copy = h.dir / "elsewhere" / "Lumen.scr"
    copy.parent.mkdir()
    shutil.copy2(h.config.product, copy)
    own = h.app_folder(ini=None, name="own")
    for name, scrfile in (("own", winpath(own.scr)), ("copy", winpath(copy))):
        app = h.app_folder(ini=settings_ini(scrfile, [mail_record()]), name=f"{name}-app")
        for switch in ("/p 1234", "/s"):
            h.run_ok(app.scr, *switch.split())
            for _ in range(6):  # a chain of copies replaces itself: look a few times
                running = [p["exe"] for p in _processes(h)
                           if p.get("exe", "").lower() in ("vigilumen.scr", "lumen.scr", "selfcopy.scr")]
                if running:
                    raise ScenarioFailed(f"{name} {switch}: the program started itself: {running}")
                time.sleep(0.3)
        d = ConfigDialog(h, app)
        listed = [r.get("text", "") for r in d.tree() if r.get("class") is None and "text" in r and "index" in r]
        if any("Vigilumen" in t or t.lower() in ("selfcopy", "lumen") for t in listed):
            raise ScenarioFailed(f"{name}: the chooser lists the program itself: {listed}")
        d.cancel()


def scenario_a_long_record_a_long_list_and_an_unreadable_file_lose_no_record(h: Harness):
    saver = h.fake_saver(h.dir / "savers")
    # A record of 100,000 characters among good ones, and a list past the table's limit.
    long = "5;1;1;Long;" + "x" * 100000 + ";1;Wait for window;;never shown;"
    many = [f"{n};1;0;Row {n};;1;Wait for window;;Row {n};" for n in range(40000)]
    for name, records in (("long", [mail_record(), "7;1;1;Alpha;;1;Wait for window;;Alpha;", long,
                                    "8;1;1;Beta;;1;Wait for window;;Beta;"]),
                          ("many", [mail_record(), *many])):
        app = h.app_folder(ini=settings_ini(winpath(saver), records), name=name)
        want = {f"app{i}": r for i, r in enumerate(records)}
        end_saver(saver, h.start_hosted(app, saver), 10)
        expect(f"{name}: records after a run", app.read_ini()["applist"] == want, True)
        saver.with_name("FakeSaver.log").unlink()
        d = ConfigDialog(h, app, tab=2)
        d.click("Blinking")
        d.ok()
        expect(f"{name}: records after OK", app.read_ini()["applist"] == want, True)

    # UTF-16 without its byte-order mark: the profile calls read nothing from it.
    app = h.app_folder(ini=None, name="utf16")
    unreadable = settings_ini(winpath(saver), [mail_record(), "7;1;1;Alpha;;1;Wait for window;;Alpha;"])
    first = unreadable.replace("\n", "\r\n").encode("utf-16-le")
    app.ini.write_bytes(first)
    log = h.prefix / "drive_c" / "log.txt"
    h.run_ok(app.scr, "/p", "1")
    aside = app.ini.with_name("Lumiwake.ini.bak")
    expect("the unreadable file, kept aside", aside.read_bytes(), first)
    expect("the new file", app.read_ini()["applist"]["app0"][:30], mail_record()[:30])
    if "could not be read" not in log.read_text(errors="replace") or "Lumiwake.ini.bak" not in log.read_text():
        raise ScenarioFailed("the log does not say where the unreadable file went")
    # A second bad start never replaces the copy aside, nor writes into the file.
    second = unreadable.replace("Alpha", "Gamma").replace("\n", "\r\n").encode("utf-16-le")
    app.ini.write_bytes(second)
    h.run_ok(app.scr, "/p", "1")
    expect("the copy aside after a second bad start", aside.read_bytes(), first)
    expect("the second unreadable file", app.ini.read_bytes(), second)
    # Nor does anything later in such a process: a run, or the dialog's Apply
    # and OK, which say why they cannot save.
    h.run_ok(app.scr, "/s")
    expect("the unreadable file after a run", app.ini.read_bytes(), second)
    d = ConfigDialog(h, app, tab=2)
    d.click("Blinking")
    d.click("Apply")
    d.dismiss_message("could not be read", "unreadable-message")
    expect("Apply after the refused save", d.button("Apply")["enabled"], "1")
    d.click("OK")
    d.dismiss_message("Move the file away", "unreadable-ok-message")
    d.cancel()
    expect("the unreadable file after the dialog", app.ini.read_bytes(), second)


def scenario_settings_files_of_random_bytes_crash_and_hang_nothing_in_any_mode(h: Harness):
    """Fifty files of 4 KB of random bytes through the real profile functions:
    preview and run mode end cleanly, and the dialog comes up and closes."""
    import random

    apps = []
    for seed in range(50):
        apps.append(h.app_folder(ini=None, name=f"random{seed:02d}"))
        apps[-1].ini.write_bytes(random.Random(seed).randbytes(4096))

    # Preview and run mode, a few programs at a time: each reads its own
    # file, and the programs wait on Wine more than they work. A run that
    # finds another running takes the other instance's way out, after the
    # same load.
    def ends_cleanly(job):
        seed, switch = job
        code = h.run(apps[seed].scr, *switch.split(), timeout=30).returncode
        return None if code == 0 else f"seed {seed}, {switch}: exit code {code:#x}"
    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        failures = [f for f in pool.map(ends_cleanly, [(seed, switch) for seed in range(50)
                                                       for switch in ("/p 1", "/s")]) if f]
    if failures:
        raise ScenarioFailed("; ".join(failures))

    for seed, app in enumerate(apps):
        hwnd, product = _dialog_shown(h, app, seed)
        h.probe("close", hwnd)
        expect(f"seed {seed}: exit code of the dialog", product.wait(10), 0)


def _dialog_shown(h: Harness, app, seed: int):
    """The dialog's handle and its program. A program that ended otherwise
    than with 0 crashed; one that ended with 0 without showing the dialog, or
    still runs without it after 20 s (each seen once or twice in many runs
    under Wine, never again with the same file), is started once more before
    that counts."""
    for attempt in range(2):
        product = h.start(app.scr, "/c")
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            rec = h.probe_one("find", CAPTION)
            if rec and rec.get("visible") == "1":
                return rec["hwnd"], product
            if not product.running():
                break
            time.sleep(0.2)
        code = product.wait(1)
        if code is not None and code != 0:
            raise ScenarioFailed(f"seed {seed}: the program ended with {code:#x} before showing the dialog")
        # Still running without a window, as a program Wine started but never
        # ran (the harness meets that with its helpers too): once more.
        if code is None:
            product.kill()
        with open(h.dir / "dialog-not-shown.txt", "a") as note:
            note.write(f"seed {seed}, attempt {attempt}: {'still running' if code is None else 'ended with 0'}, "
                       "no dialog in 20 s\n")
    raise ScenarioFailed(f"seed {seed}: twice no dialog within 20 s (see dialog-not-shown.txt)")
