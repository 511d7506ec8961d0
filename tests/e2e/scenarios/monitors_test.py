"""Two monitors. Wine 8 sees the heads of an X server's Xinerama as monitors
when its X11 driver is told not to use XRandR; Xvfb puts every head at the
top-left corner, so here the second monitor (1280 x 480) overlaps the
primary (800 x 600) and reaches past it on the right. That is enough to
tell the monitors apart: a stored position counts on the chosen one and the
icons stay whole on it."""

import contextlib
import os
import shutil
import signal
import subprocess
import time
from pathlib import Path

from harness import (ConfigDialog, Harness, ScenarioFailed, expect, mail_record, prepare_prefix, rect, settings_ini,
                     wine_command, wine_env)
from run_scenario import free_display
from scenarios.display_test import Run

MONITOR_LIST = "412"
PRIMARY, SECOND = (800, 600), (1280, 480)


@contextlib.contextmanager
def two_monitors(h: Harness):
    """A harness on an X display of two heads, with a prefix of its own (the
    monitors a prefix knows are fixed when its desktop starts)."""
    n = free_display(130)
    log = open(h.dir / "xvfb-two-heads.log", "wb")
    xvfb = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "%dx%dx24" % PRIMARY, "-screen", "1", "%dx%dx24" % SECOND,
                             "+xinerama", "-nolisten", "tcp", "-noreset"],
                            stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
    session = {**h.session, "display": f":{n}", "prefix": str(h.dir / "prefix-two-heads")}
    env = wine_env(session)
    try:
        deadline = time.monotonic() + 15
        while not Path(f"/tmp/.X11-unix/X{n}").exists() and time.monotonic() < deadline:
            time.sleep(0.05)
        prepare_prefix(env)
        subprocess.run([*wine_command(), "reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "UseXRandR", "/d",
                        "N", "/f"], env=env, timeout=120, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=env, timeout=120)
        two = Harness(h.config, session, f"{h.dir.name}/two-heads")
        try:
            yield two
        finally:
            two.close()
    finally:
        subprocess.run(["wineserver", "-k"], env=env, timeout=60, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with contextlib.suppress(OSError):
            os.killpg(xvfb.pid, signal.SIGKILL)
        xvfb.wait(10)
        shutil.rmtree(session["prefix"], ignore_errors=True)


def scenario_the_position_counts_on_the_chosen_monitor_and_the_icons_stay_on_it(h: Harness):
    with two_monitors(h) as two:
        # The choice appears, names both monitors by their numbers, and OK
        # stores the second; the glass takes its wide shape.
        app = two.app_folder(ini=settings_ini("", [mail_record()], position="1000;550"), name="dialog")
        d = ConfigDialog(two, app, tab=2)
        tree = d.tree()
        listed = d.control(MONITOR_LIST, tree)
        expect("the monitor choice", (listed["visible"], listed.get("count")), ("1", "2"))
        two.probe("cbselect", d.hwnd, f"id:{MONITOR_LIST}", "1")
        time.sleep(0.5)
        img = two.pixels(two.screenshot("position-page-with-the-wide-monitor-chosen"))
        picture = rect(d.control("406"))
        # 1280 x 480 on a 5:4 glass: frame colour above and below a band of glass.
        tpp = 2925 / (picture[2] - picture[0])
        middle_x = picture[0] + round(1450 / tpp)
        above, band = picture[1] + round(500 / tpp), picture[1] + round(1200 / tpp)
        if max(img.at(middle_x, above)) > 90 or img.at(middle_x, band)[2] < 90:
            raise ScenarioFailed(f"glass not in the wide monitor's shape: {img.at(middle_x, above)} above, "
                                 f"{img.at(middle_x, band)} in the band")
        d.ok()
        expect("the stored monitor", app.read_ini()["settings"].get("monitor"), "\\\\.\\DISPLAY2")

        # The same stored position on each monitor: kept whole on the primary,
        # as it stands on the wide one where it fits across and is brought up.
        for name, monitor, (left, top) in (("primary", None, (PRIMARY[0] - 64, 550)),
                                            ("second", "\\\\.\\DISPLAY2", (1000, SECOND[1] - 32))):
            extra = {"monitor": monitor} if monitor else {}
            run = Run(two, ["a.ico", "b.ico"], name=f"run-{name}", position="1000;550", **extra)
            run.wait_carrier((64, 32), left, top)
            run.end()
