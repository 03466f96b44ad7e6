"""A LibreOffice of its own for a test: Kaltra.oxt installed into a scratch profile, the office
started headless (or on a given X display), reached over UNO, and always ended.

    with Office(scratch, oxt) as office:       # installs, starts, connects
        document = office.open("tests/libreoffice/kaltra_calls.ods")

Everything the office writes stays in the scratch folder: its user profile, and the shared
extension folder, which unopkg needs when run as root (it refuses a user install then); the
office's own installation is never touched. Run with Debian's /usr/bin/python3 (python3-uno).
"""

import os
import shutil
import signal
import subprocess
import time
from pathlib import Path

import uno
from com.sun.star.beans import PropertyValue

PROGRAM = Path(os.environ.get("KALTRA_LIBREOFFICE", "/usr/lib/libreoffice")) / "program"
CONNECT_SECONDS = 90  # a first start builds the profile and restarts once
END_SECONDS = 20
# A new profile's locale setting, which decides the decimal and argument separators.
LOCALE_SETTING = """<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema">
<item oor:path="/org.openoffice.Setup/L10N"><prop oor:name="ooSetupSystemLocale" oor:op="fuse"><value>{locale}</value></prop></item>
</oor:items>
"""


def property_value(name, value):
    p = PropertyValue()
    p.Name, p.Value = name, value
    return p


def file_url(path):
    return uno.systemPathToFileUrl(str(Path(path).resolve()))


class Office:
    def __init__(self, scratch, oxt, display=None, environment=None, locale=None):
        self.scratch = Path(scratch)
        self.locale = locale  # the locale setting of a new profile ("de-DE"), else the system's
        self.oxt = Path(oxt)
        self.display = display
        self.environment = dict(os.environ if environment is None else environment)
        self.pipe = f"kaltra_test_{os.getpid()}"
        self.process = None
        self.desktop = None
        self.context = None

    def bootstrap_options(self):
        return [f"-env:UserInstallation={file_url(self.scratch / 'profile')}",
                f"-env:UNO_SHARED_PACKAGES_CACHE={file_url(self.scratch / 'shared')}"]

    def install(self):
        """unopkg add into the scratch folder (once; again with -f when the profile has it)."""
        self.scratch.mkdir(parents=True, exist_ok=True)
        command = [str(PROGRAM / "unopkg"), "add", "--shared", "-f", "--suppress-license", *self.bootstrap_options(),
                   str(self.oxt.resolve())]
        result = subprocess.run(command, capture_output=True, text=True, timeout=120, env=self.environment)
        if result.returncode != 0:
            raise RuntimeError(f"unopkg add failed ({result.returncode}): {result.stdout}{result.stderr}")

    def start(self):
        settings = self.scratch / "profile" / "user" / "registrymodifications.xcu"
        if self.locale and not settings.exists():
            settings.parent.mkdir(parents=True, exist_ok=True)
            settings.write_text(LOCALE_SETTING.format(locale=self.locale))
        environment = dict(self.environment)
        options = ["--invisible", "--norestore", "--nologo", "--nodefault", "--nolockcheck",
                   f"--accept=pipe,name={self.pipe};urp;StarOffice.ComponentContext"]
        if self.display is None:
            options.insert(0, "--headless")
        else:
            environment["DISPLAY"] = self.display
            options.remove("--invisible")
        self.process = subprocess.Popen([str(PROGRAM / "soffice"), *options, *self.bootstrap_options()],
                                        env=environment, start_new_session=True,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        (self.scratch / "office.pid").write_text(str(self.process.pid))
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
        deadline = time.monotonic() + CONNECT_SECONDS
        while True:
            try:
                self.context = resolver.resolve(f"uno:pipe,name={self.pipe};urp;StarOffice.ComponentContext")
                break
            except Exception:
                if time.monotonic() > deadline or self.process.poll() is not None:
                    raise RuntimeError(f"LibreOffice did not answer within {CONNECT_SECONDS} s "
                                       f"(exit status {self.process.poll()})")
                time.sleep(0.2)
        self.desktop = self.create("com.sun.star.frame.Desktop")

    def create(self, service):
        return self.context.ServiceManager.createInstanceWithContext(service, self.context)

    def configure(self, node, **values):
        """Sets values of a configuration node, e.g. /org.openoffice.Office.Calc/Formula/Load."""
        provider = self.create("com.sun.star.configuration.ConfigurationProvider")
        access = provider.createInstanceWithArguments("com.sun.star.configuration.ConfigurationUpdateAccess",
                                                      (property_value("nodepath", node),))
        for name, value in values.items():
            access.setPropertyValue(name, value)
        access.commitChanges()

    def open(self, path, hidden=True):
        """Opens a copy of a document, kept in the scratch folder: the office puts its lock file
        beside the document it opens, and a committed one stays untouched."""
        copy = self.scratch / "documents" / Path(path).name
        copy.parent.mkdir(parents=True, exist_ok=True)
        if Path(path).resolve() != copy.resolve():
            shutil.copyfile(path, copy)
        document = self.desktop.loadComponentFromURL(file_url(copy), "_blank", 0,
                                                     (property_value("Hidden", hidden),))
        if document is None:
            raise RuntimeError(f"LibreOffice did not open {path}")
        return document

    def new_spreadsheet(self):
        return self.desktop.loadComponentFromURL("private:factory/scalc", "_blank", 0,
                                                 (property_value("Hidden", True),))

    def end(self, ask=True):
        """Asks the office to end (unless ask is False: a modal dialog is open), then ends its
        whole process group if it has not."""
        if self.process is None:
            return
        if ask:
            try:
                if self.desktop is not None:
                    self.desktop.terminate()
            except Exception:
                pass  # the connection drops as the office ends
            try:
                self.process.wait(END_SECONDS)
            except subprocess.TimeoutExpired:
                pass
        try:
            os.killpg(self.process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.process.wait()
        self.process = None

    def __enter__(self):
        self.install()
        self.start()
        return self

    def __exit__(self, *exception):
        self.end()


def end_on_termination():
    """SIGTERM (from `timeout`) ends the test through its finally blocks, so the office ends too."""
    def handler(number, frame):
        raise SystemExit(f"ended by signal {number}")
    signal.signal(signal.SIGTERM, handler)
    signal.signal(signal.SIGHUP, handler)


def clean(scratch):
    shutil.rmtree(scratch, ignore_errors=True)
