"""The program at the scales people run today: the system DPI of the prefix
at 120, 144 and 192. The dialog is laid out for it (all four pages
photographed), the pointer's drops store what they store at 96 DPI, the
icons over a saver drawn at the system's DPI have that DPI's size, and the
dialog lays itself out again when told its monitor's scale changed."""

import math
import time

from scenarios.display_test import Run
from harness import ConfigDialog, Harness, ScenarioFailed, close_to, expect, mail_record, rect, settings_ini
from scenarios.position_test import PIC_SCREEN, scenario_drops_in_the_drop_area_store_the_mapped_position

DESKTOP = "HKCU\\Control Panel\\Desktop"
GLASS = (19, 88, 113)  # the monitor picture's screen


def px(twips: float, dpi: int) -> int:
    q = twips * dpi / 1440
    return int(math.floor(q + 0.5))


def _set_dpi(h: Harness, dpi: int | None):
    """The prefix's system DPI, read by each program when it starts; None: the default."""
    if dpi is None:
        h.run("reg", "delete", DESKTOP, "/v", "LogPixels", "/f", timeout=30)
    else:
        h.run_ok("reg", "add", DESKTOP, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f")


def _laid_out_for(d: ConfigDialog, dpi: int, when: str):
    """The OK button and the monitor picture have their twips at this DPI, and
    the picture's glass is drawn (the bitmap was made at the control's size)."""
    tree = d.tree()
    expect(f"the dialog's client area {when}", tree[0]["client"], "%d,%d" % (px(5130, dpi), px(6045, dpi)))
    ok = rect(d.button("OK", tree))
    expect(f"OK button {when}", (ok[2] - ok[0], ok[3] - ok[1]), (px(990, dpi), px(345, dpi)))
    picture = rect(d.control(PIC_SCREEN, tree))
    expect(f"monitor picture {when}", (picture[2] - picture[0], picture[3] - picture[1]),
           (px(2925, dpi), px(2700, dpi)))
    return picture


def _glass_drawn(h: Harness, picture, dpi: int, label: str):
    img = h.pixels(h.screenshot(label))
    glass = (picture[0] + px(450, dpi) + 2, picture[1] + px(400, dpi) + 2,
             picture[0] + px(2450, dpi) - 2, picture[1] + px(2000, dpi) - 2)
    area = (glass[2] - glass[0]) * (glass[3] - glass[1])
    teal = img.count(glass, lambda p: close_to(p, GLASS, 40))
    if teal < area * 0.8:
        raise ScenarioFailed(f"{label}: the glass covers {teal} of {area} pixels")


def _at(h: Harness, dpi: int):
    _set_dpi(h, dpi)
    try:
        app = h.app_folder(ini=settings_ini("", [mail_record()], position="100;200", blink=0, enlarged=0,
                                            orientation=1), name=f"app-{dpi}")
        d = ConfigDialog(h, app)
        for tab, page in enumerate(("saver", "polling", "position", "about")):
            h.probe("tab", d.hwnd, str(tab))
            time.sleep(0.5)
            png = h.screenshot(f"{page}-page-at-{dpi}-dpi")
            if tab == 2:
                _glass_drawn(h, _laid_out_for(d, dpi, f"at {dpi} DPI"), dpi, f"position-glass-at-{dpi}-dpi")
            if tab == 3:
                # The About picture, scaled to the DPI: many colours in its place, not the page's face.
                tree = d.tree()
                shown = rect(d.control("500", tree))
                img = h.pixels(png)
                inked = img.count(shown, lambda p: not close_to(p, img.at(shown[0] + 1, shown[1] + 1), 12))
                if inked < (shown[2] - shown[0]) * (shown[3] - shown[1]) // 3:
                    raise ScenarioFailed(f"the About picture is not drawn at {dpi} DPI ({inked} pixels)")

        # Told its monitor has another scale (as when dragged to another
        # monitor), the dialog lays itself out for it, and back.
        h.probe("tab", d.hwnd, "2")
        other = 96 if dpi != 96 else 144
        for now, then in ((dpi, other), (other, dpi)):
            h.probe("dpichange", d.hwnd, str(now), str(then))
            time.sleep(0.5)
            picture = _laid_out_for(d, then, f"after a change from {now} to {then} DPI")
            _glass_drawn(h, picture, then, f"position-after-change-to-{then}-dpi")
        d.cancel()

        scenario_drops_in_the_drop_area_store_the_mapped_position(h)

        # A saver drawn at the system's DPI: the icons have that DPI's size.
        icon = round(32 * dpi / 96)
        run = Run(h, ["a.ico", "b.ico"], name=f"run-{dpi}", saver_cfg={"dpi_aware": 1})
        run.wait_carrier((2 * icon, icon), 100, 120)
        h.screenshot(f"run-at-{dpi}-dpi")
        run.end()
    finally:
        _set_dpi(h, None)


def scenario_at_120_dpi(h: Harness):
    _at(h, 120)


def scenario_at_144_dpi(h: Harness):
    _at(h, 144)


def scenario_at_192_dpi(h: Harness):
    _at(h, 192)
