#!/usr/bin/env python3
"""Installs the Windows installer silently in a fresh Wine prefix, runs the installed kt57d.exe
from its "KT57D (virtual board)" Start-menu entry, ends it with menu command 40001, checks that
KT57Mode.txt is written, runs the command of the "KT57D command prompt" entry, then uninstalls
silently and checks that the installed files are gone.

Usage (inside an X display, e.g. under xvfb-run):
  test-installer-wine.py SETUP_EXE KT57_POST_EXE HOLDING_PROGRAM
HOLDING_PROGRAM is a KT57Data.txt that keeps the board open (tests/platform/win32/wine/KT57Data.txt).
Every wait has a deadline and ends as soon as its sign (a file, a log line, a window) is there.
"""
import glob
import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "platform", "win32"))
import wine_session  # noqa: E402
from wine_session import Wine, file_has, imported_dlls  # noqa: E402

UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\KT57D"
RUNTIME_DLLS = ("libstdc++", "libgcc", "libwinpthread")


class Checks:
    def __init__(self):
        self.failed = 0

    def check(self, name, ok, detail=""):
        print(("ok - " if ok else "FAIL - ") + name + (f" ({detail})" if detail and not ok else ""))
        self.failed += 0 if ok else 1
        return ok


def wait_for(what, condition, seconds):
    """The shared wait, as a result to check: False when the deadline passed first."""
    try:
        return bool(wine_session.wait_for(what, condition, seconds))
    except wine_session.TimedOut as timed_out:
        print(f"   {timed_out}")
        return False


def shortcut_arguments(path):
    """The command-line arguments a .lnk file holds: its counted UTF-16 string that starts with /k."""
    with open(path, "rb") as f:
        data = f.read()
    start = data.find("/k ".encode("utf-16-le"))
    if start < 2:
        return ""
    count = int.from_bytes(data[start - 2:start], "little")
    return data[start:start + 2 * count].decode("utf-16-le")


def main():
    setup, post, holding_program = (os.path.abspath(p) for p in sys.argv[1:4])
    work = tempfile.mkdtemp(prefix="kt57-installer.")
    wine = Wine(work)
    checks = Checks()
    try:
        print("== fresh Wine prefix")
        wine.boot()
        drive_c = os.path.join(wine.env["WINEPREFIX"], "drive_c")

        print("== silent install")
        result = wine.run(setup, "/S", timeout=120)
        checks.check("the installer exits with 0", result.returncode == 0, f"exit {result.returncode}")
        location = wine.registry_value(UNINSTALL_KEY, "InstallLocation")
        if not checks.check("the uninstaller is registered under HKCU", location is not None):
            return 1
        uninstall = wine.registry_value(UNINSTALL_KEY, "UninstallString")
        checks.check("its UninstallString names Uninstall.exe", uninstall is not None and "Uninstall.exe" in uninstall)
        install = wine.unix_path(location)
        program = os.path.join(install, "kt57d.exe")
        board_dir = os.path.join(install, "virtual-board")
        checks.check("kt57d.exe is installed", wait_for("kt57d.exe", lambda: os.path.isfile(program), 30))
        checks.check("the virtual board's kt57d.exe and FTD2XX.dll are installed together",
                     all(os.path.isfile(os.path.join(board_dir, f)) for f in ("kt57d.exe", "FTD2XX.dll", "KT57Board.txt")))
        checks.check("no FTD2XX.dll beside the kt57d.exe of the normal entry",
                     not os.path.exists(os.path.join(install, "FTD2XX.dll")))
        tools = [os.path.join(install, f) for f in ("kt57-run.exe", "kt57-check.exe")]
        checks.check("kt57-run.exe and kt57-check.exe are installed beside kt57d.exe, the page beside them",
                     all(os.path.isfile(f) for f in tools + [os.path.join(install, "studio", "index.html")]))
        for exe in [program, os.path.join(board_dir, "kt57d.exe"), os.path.join(board_dir, "FTD2XX.dll")] + tools:
            dlls = imported_dlls(exe)
            runtime = [d for d in dlls if d.lower().startswith(RUNTIME_DLLS)]
            checks.check(f"{os.path.relpath(exe, install)} imports no MinGW runtime DLL",
                         bool(dlls) and not runtime, " ".join(dlls))

        menu = glob.glob(os.path.join(drive_c, "users", "*", "AppData", "Roaming", "Microsoft", "Windows",
                                      "Start Menu", "Programs", "KT57D"))
        menu = menu[0] if menu else ""
        checks.check("the Start menu holds KT57D, KT57D command prompt and KT57D (virtual board)",
                     all(os.path.isfile(os.path.join(menu, f))
                         for f in ("KT57D.lnk", "KT57D command prompt.lnk", "KT57D (virtual board).lnk")))
        documents = glob.glob(os.path.join(drive_c, "users", "*", "Documents"))
        documents = documents[0] if documents else ""
        folder = os.path.join(documents, "KT57D")
        board_folder = os.path.join(documents, "KT57D (virtual board)")
        checks.check("each entry's working folder holds the example program",
                     all(os.path.isfile(os.path.join(f, "KT57Data.txt")) for f in (folder, board_folder)))
        checks.check("no FTD2XX.dll in the normal entry's working folder",
                     not os.path.exists(os.path.join(folder, "FTD2XX.dll")))

        print("== KT57D (virtual board) from the Start menu")
        log = os.path.join(board_dir, "FTD2XX.log")
        shortcut = os.path.join(menu, "KT57D (virtual board).lnk")
        mode_file = os.path.join(board_folder, "KT57Mode.txt")

        def session(name, frame):
            """Starts the entry, waits for its window and for frame in the DLL's log, then ends it with
            menu command 40001."""
            mark = os.path.getsize(log) if os.path.exists(log) else 0
            wine.start("start", "/unix", shortcut)
            title = wine.run(post, "wait", "60", timeout=90).stdout.strip()
            checks.check(f"{name}: the window appears", bool(title))
            checks.check(f"{name}: the frame {frame} reaches the virtual board",
                         wait_for(frame, lambda: file_has(log, "write " + frame, mark), 60))
            wine.run(post, "command", "40001")
            checks.check(f"{name}: menu command 40001 ends it", wine.run(post, "gone", "30", timeout=60).returncode == 0)

        # The example sleeps with the board released, and the mode file is only written while the
        # board is held; so the mode file is checked with a program that holds it.
        session("the example program", r"W000000F\x0D")
        shutil.copy(holding_program, os.path.join(board_folder, "KT57Data.txt"))
        session("a program that holds the board", r"WB000002\x0D")
        checks.check("KT57Mode.txt is written in the entry's working folder, naming the virtual board",
                     wait_for("KT57Mode.txt", lambda: file_has(mode_file, "VB000001"), 30))

        print("== KT57D command prompt")
        arguments = shortcut_arguments(os.path.join(menu, "KT57D command prompt.lnk"))
        checks.check("the command prompt puts the installation folder in front of its own PATH",
                     arguments.startswith(f'/k "set "PATH={location};%PATH%"'), arguments)
        # The console stays open for typing (cmd /k); its command, without /k and the outer quotes
        # that cmd takes off, runs once from a batch file in the entry's working folder.
        batch = os.path.join(work, "prompt.bat")
        with open(batch, "w", newline="\r\n") as f:
            f.write("@" + arguments[len('/k "'):-1] + "\n")
        version = wine.run("cmd", "/c", wine.windows_path(batch), cwd=folder).stdout
        checks.check("kt57-run and kt57-check answer there as typed",
                     "kt57-run " in version and "kt57-check " in version, version)

        print("== silent uninstall")
        installed = [os.path.join(root, f) for root, _, files in os.walk(install) for f in files]
        wine.run(os.path.join(install, "Uninstall.exe").replace(install, location), "/S")
        # The uninstaller copies itself to a temporary folder and works from there after it exits.
        checks.check("every installed file is gone",
                     wait_for("the installed files to go", lambda: not any(os.path.exists(f) for f in installed), 60),
                     " ".join(f for f in installed if os.path.exists(f)))
        checks.check("the installation folder is gone", wait_for("the folder", lambda: not os.path.exists(install), 30))
        checks.check("the Start-menu entries are gone", not os.path.exists(menu))
        checks.check("the uninstall key is gone",
                     wait_for("the key", lambda: wine.registry_value(UNINSTALL_KEY, "InstallLocation") is None, 30))
        checks.check("the working folder with the user's mode file is kept", os.path.isfile(mode_file))
    finally:
        wine.stop()
        shutil.rmtree(work, ignore_errors=True)
    print("installer under Wine: " + ("all passed" if checks.failed == 0 else f"{checks.failed} failed"))
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
