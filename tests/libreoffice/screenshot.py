"""Takes the pictures of docs/libreoffice.md: Calc on a virtual X display (Xvfb) with Kaltra.oxt
installed and the example cycle of the test workbook computed (calc.png), then the Function
Wizard open on the cell of the compressor's discharge enthalpy, KALTHOFTP, with its help texts
(calc-wizard.png) (bash tools/libreoffice.sh screenshot). Ends the display and LibreOffice in
every case.

    /usr/bin/python3 tests/libreoffice/screenshot.py OXT WORKBOOK SCRATCH FOLDER
"""

import os
import subprocess
import sys
import threading
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
from office import Office, clean, end_on_termination  # noqa: E402

WIDTH, HEIGHT = 1280, 800
SETTLE_SECONDS = 4  # for the window and the dialog to draw


def free_display():
    for number in range(90 + os.getpid() % 50, 200):
        if not Path(f"/tmp/.X{number}-lock").exists() and not Path(f"/tmp/.X11-unix/X{number}").exists():
            return f":{number}"
    raise RuntimeError("no free X display number")


def take(display, path):
    subprocess.run(["import", "-display", display, "-window", "root", str(path)], check=True, timeout=60)
    print(f"{path}: Calc on {display}")


def main():
    oxt, workbook, scratch, folder = sys.argv[1:5]
    folder = Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    end_on_termination()
    clean(scratch)
    display = free_display()
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", f"{WIDTH}x{HEIGHT}x24", "-nolisten", "tcp", "-ac"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        time.sleep(1)
        environment = {k: v for k, v in os.environ.items() if k != "KALTRA_LIBRARY"}
        environment["SAL_USE_VCLPLUGIN"] = "gen"  # plain X11 drawing, no desktop integration
        with Office(scratch, oxt, display=display, environment=environment) as office:
            office.configure("/org.openoffice.Office.Calc/Formula/Load", ODFRecalcMode=0)
            document = office.open(workbook, hidden=False)
            controller = document.getCurrentController()
            window = controller.getFrame().getContainerWindow()
            window.setPosSize(0, 0, WIDTH, HEIGHT, 15)
            sheet = document.Sheets.getByName("Cycle")
            controller.setActiveSheet(sheet)
            columns = sheet.getColumns()
            for name, width in (("A", 5200), ("B", 3600), ("C", 3600), ("D", 3600), ("E", 3600), ("F", 7600)):
                columns.getByName(name).Width = width  # 1/100 mm
            controller.select(sheet.getCellRangeByName("D10"))
            time.sleep(SETTLE_SECONDS)
            take(display, folder / "calc.png")
            dispatcher = office.create("com.sun.star.frame.DispatchHelper")
            # The wizard is modal: its dispatch returns only when it closes, so it runs aside.
            threading.Thread(target=lambda: dispatcher.executeDispatch(
                controller.getFrame(), ".uno:FunctionDialog", "", 0, ()), daemon=True).start()
            time.sleep(SETTLE_SECONDS)
            take(display, folder / "calc-wizard.png")
            office.end(ask=False)
    finally:
        clean(scratch)
        xvfb.terminate()
        try:
            xvfb.wait(10)
        except subprocess.TimeoutExpired:
            xvfb.kill()


if __name__ == "__main__":
    main()
