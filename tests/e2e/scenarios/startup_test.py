"""Starting the program with the screen-saver switches."""

import shutil
import struct
import time

from harness import Harness, ScenarioFailed, end_saver, settings_ini, winpath


def _saver_starts(log):
    if not log.exists():
        return []
    return [l for l in log.read_text(errors="replace").splitlines() if l.startswith("start ")]


def _settings(saver_path: str, apps: list[str], **settings) -> str:
    return settings_ini(saver_path, apps, **settings)


def scenario_first_start_writes_the_built_in_mail_record(h: Harness):
    app = h.app_folder(ini=None)
    done = h.run(app.scr, "/p", "1234", timeout=30)  # no saver chosen: starts nothing, ends
    if done.returncode != 0:
        raise ScenarioFailed(f"exit code {done.returncode}")
    ini = app.read_ini()
    mail_ico = winpath(app.data / "mail.ico")
    want = {"applist": {"app0": f"-1;0;1;MAPI Client (Mail);;2;Internal;{mail_ico};;"}}
    if ini != want:
        raise ScenarioFailed(f"settings file holds {ini}, want {want}")
    data = (app.data / "mail.ico").read_bytes()
    reserved, kind, count = struct.unpack_from("<HHH", data)
    sizes = sorted(data[6 + 16 * i] for i in range(count))
    if (reserved, kind) != (0, 1) or sizes != [16, 32]:
        raise ScenarioFailed(f"mail.ico header {reserved},{kind},{count} sizes {sizes}")
    for size in (32, 16):
        loaded = h.probe("loadicon", winpath(app.data / "mail.ico"), str(size))[0]
        if loaded.get("width") != str(size) or loaded.get("height") != str(size):
            raise ScenarioFailed(f"Windows loaded mail.ico as {loaded}")


def scenario_installed_mail_icon_is_preferred(h: Harness):
    app = h.app_folder(ini=None)
    (app.data / "mailQX.ico").write_bytes((h.config.source_dir / "data" / "QVX_data" / "window.ico").read_bytes())
    h.run(app.scr, "/p", "1", timeout=30)
    record = app.read_ini()["applist"]["app0"]
    if not record.endswith(winpath(app.data / "mailQX.ico") + ";;") or (app.data / "mail.ico").exists():
        raise ScenarioFailed(f"record {record}")


def scenario_preview_hands_the_command_line_to_the_saver(h: Harness):
    saver = h.fake_saver(h.dir / "savers")
    app = h.app_folder(ini=_settings(winpath(saver), []))
    done = h.run(app.scr, "/p", "1234", timeout=30)
    if done.returncode != 0:
        raise ScenarioFailed(f"exit code {done.returncode}")
    log = saver.with_name("FakeSaver.log")
    h.wait_file_text(log, "start ", 15)
    starts = _saver_starts(log)
    if len(starts) != 1 or not starts[0].endswith(f"cmdline={winpath(saver)} /p 1234"):
        raise ScenarioFailed(f"saver started as {starts}")


def scenario_run_mode_passes_the_switch_as_typed_and_writes_the_list_back(h: Harness):
    saver = h.fake_saver(h.dir / "savers", color="3050A0")
    records = ["-1;0;1;MAPI Client (Mail);;2;Internal;;;", "7;1;0;Editor;;1;Wait for window;;Editor;"]
    app = h.app_folder(ini=_settings(winpath(saver), records, position="100;120"))
    product = h.start_hosted(app, saver, "/S")
    log = saver.with_name("FakeSaver.log")
    starts = _saver_starts(log)
    if len(starts) != 1 or not starts[0].endswith(f"cmdline={winpath(saver)} /S"):
        raise ScenarioFailed(f"saver started as {starts}")
    time.sleep(1.5)
    if not product.running():
        raise ScenarioFailed("the program ended while its saver runs")

    # What the run holds in memory is written back at its end.
    app.ini.write_bytes(b"[settings]\r\nposition=100;120\r\n[applist]\r\napp0=edited\r\n")
    end_saver(saver, product, 10)
    ini = app.read_ini()
    if ini.get("applist") != {"app0": records[0], "app1": records[1]} or ini["settings"].get("position") != "100;120":
        raise ScenarioFailed(f"settings after the run: {ini}")


def scenario_run_mode_without_a_chosen_saver_starts_nothing(h: Harness):
    app = h.app_folder(ini=_settings("", []))
    done = h.run(app.scr, "/s", timeout=30)
    if done.returncode != 0:
        raise ScenarioFailed(f"exit code {done.returncode}")
    if any(p.get("exe", "").lower() == "fakesaver.scr" for p in h.probe("procs")):
        raise ScenarioFailed("a saver was started")


def scenario_second_run_mode_instance_starts_nothing(h: Harness):
    saver = h.fake_saver(h.dir / "savers")
    app = h.app_folder(ini=_settings(winpath(saver), []))
    first = h.start_hosted(app, saver)
    log = saver.with_name("FakeSaver.log")
    done = h.run(app.scr, "/s", timeout=20)
    if done.returncode != 0:
        raise ScenarioFailed(f"second instance exit code {done.returncode}")
    time.sleep(1)
    if len(_saver_starts(log)) != 1:
        raise ScenarioFailed(f"saver started {len(_saver_starts(log))} times")
    if not first.running():
        raise ScenarioFailed("the first instance ended")
    end_saver(saver, first, 10)


def scenario_saver_path_with_a_blank_is_started(h: Harness):
    saver = h.fake_saver(h.dir / "my savers", color="A0A020")
    app = h.app_folder(ini=_settings(winpath(saver), []))
    product = h.start_hosted(app, saver)
    starts = _saver_starts(saver.with_name("FakeSaver.log"))
    if len(starts) != 1 or not starts[0].endswith(f'cmdline="{winpath(saver)}" /s'):
        raise ScenarioFailed(f"saver started as {starts}")
    end_saver(saver, product, 10)


def scenario_unknown_switch_ends_the_program(h: Harness):
    saver = h.fake_saver(h.dir / "savers")
    app = h.app_folder(ini=_settings(winpath(saver), []))
    done = h.run(app.scr, "/x", timeout=20)
    if done.returncode != 0 or saver.with_name("FakeSaver.log").exists():
        raise ScenarioFailed(f"exit {done.returncode}, saver log exists: {saver.with_name('FakeSaver.log').exists()}")


def scenario_missing_data_folder_is_no_crash(h: Harness):
    saver = h.fake_saver(h.dir / "savers")
    app = h.app_folder(ini=None, data_folder=False)
    # Without a data folder nothing is chosen: every mode starts and ends cleanly.
    for switch in ("/s", "/p 5", "/x"):
        done = h.run(app.scr, *switch.split(), timeout=20)
        if done.returncode != 0:
            raise ScenarioFailed(f"{switch}: exit code {done.returncode}")
    if app.data.exists():
        raise ScenarioFailed("the program created its data folder")

    # A data folder that disappears during a run: the saver is hosted to its
    # end and the failed save at the end is no crash.
    app2 = h.app_folder(ini=_settings(winpath(saver), []), name="app2")
    product = h.start_hosted(app2, saver)
    shutil.rmtree(app2.data)
    saver.with_name("FakeSaver.stop").touch()
    code = product.wait(10)
    if code is None or code != 0:
        raise ScenarioFailed(f"the program ended with {code}")


def scenario_configuration_lists_the_watched_applications(h: Harness):
    records = ["-1;0;1;MAPI Client (Mail);;2;Internal;mail.ico;;",
               "77;1;0;Editor;;1;Wait for window;;Editor;",
               "88;1;1;Report;C:\\r.txt;0;Watch for file update;;C:\\r.txt;1/2/2026",
               "short;1;1;Damaged"]
    app = h.app_folder(ini=_settings("", records))
    product = h.start(app.scr, "/c")
    h.wait_until(lambda: (h.probe_one("find", "Corvane Vigilumen") or {}).get("visible") == "1", 20,
                 "the configuration dialog")
    rows = [r for r in h.probe("tree", "Corvane Vigilumen") if "index" in r and "checked" in r]
    got = [(r["text"], r["checked"], r.get("sub1"), r.get("sub2"), r.get("sub7")) for r in rows]
    want = [("MAPI Client (Mail)", "1", "Internal", "2", "-1"), ("Editor", "0", "Wait for window", "1", "77"),
            ("Report", "1", "Watch for file update", "0", "88"), ("Damaged", "1", "", "", "short")]
    if got != want:
        raise ScenarioFailed(f"list rows {got}, want {want}")
    if rows[0].get("selected") != "1":
        raise ScenarioFailed("the first row is not selected")
    h.probe("close", "Corvane Vigilumen")
    if product.wait(5) is None:
        raise ScenarioFailed("closing the dialog did not end the program")
    if app.read_ini()["applist"] != {f"app{i}": r for i, r in enumerate(records)}:
        raise ScenarioFailed(f"closing without OK changed the settings: {app.read_ini()}")
