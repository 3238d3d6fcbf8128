"""Runs Windows programs under Wine for the tests: a fresh prefix, programs started and driven with
kt57-post.exe, and waits that end at a sign (a log line, a file, a window) or at a deadline.
Standard library only; the caller provides the X display (xvfb-run)."""
import os
import subprocess
import tempfile
import time

# The Japanese console and menu fonts map to IPAGothic; Wine draws the window frame itself (no
# window manager runs under Xvfb), so screenshots show title and menu.
JAPANESE_FONTS_REG = (
    '\ufeffWindows Registry Editor Version 5.00\r\n\r\n'
    '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    '"\uff2d\uff33 \u30b4\u30b7\u30c3\u30af"="IPAGothic"\r\n'
    '"MS Gothic"="IPAGothic"\r\n'
    '"MS UI Gothic"="IPAGothic"\r\n\r\n'
    '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n'
    '"MS Shell Dlg"="IPAGothic"\r\n\r\n'
    '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n'
    '"Managed"="N"\r\n\r\n')


class TimedOut(AssertionError):
    pass


def wait_for(what, condition, seconds):
    """Polls condition until it gives a true value and returns that; raises TimedOut at the deadline."""
    deadline = time.monotonic() + seconds
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise TimedOut(f"gave up after {seconds} s waiting for {what}")
        time.sleep(0.1)


def file_has(path, text, offset=0):
    try:
        with open(path, "rb") as f:
            f.seek(offset)
            return text.encode() in f.read()
    except OSError:
        return False


def imported_dlls(path):
    """The DLLs a PE file imports, as objdump names them."""
    dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", path], capture_output=True, text=True,
                          check=True).stdout
    return sorted(line.split(":", 1)[1].strip() for line in dump.splitlines() if "DLL Name:" in line)


def imported_functions(path):
    """{DLL name in upper case: the last word of each line under it}: its imported functions, and
    some words of the dump that follow them, which are no function names."""
    dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", path], capture_output=True, text=True,
                          check=True).stdout
    imports, dll = {}, None
    for line in dump.splitlines():
        if "DLL Name:" in line:
            dll = line.split(":", 1)[1].strip().upper()
            imports[dll] = set()
        elif dll and line.split():
            imports[dll].add(line.split()[-1])
    return imports


class Wine:
    """One Wine prefix under work; every program it starts shares it."""

    def __init__(self, work, japanese=False):
        self.env = dict(os.environ, WINEPREFIX=os.path.join(work, "prefix"), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=", HOME=os.path.join(work, "home"))
        if japanese:
            # Code page 932 for the A functions and the window texts; the locale need not be installed.
            for name in ("LC_ALL", "LC_CTYPE", "LC_MESSAGES"):
                self.env.pop(name, None)
            self.env["LANG"] = "ja_JP.UTF-8"
        os.makedirs(self.env["HOME"], exist_ok=True)
        self.work = work

    def boot(self):
        self.run("wineboot", "-i", timeout=300)

    def use_japanese_fonts(self):
        reg = os.path.join(self.work, "fonts.reg")
        with open(reg, "wb") as f:
            f.write(JAPANESE_FONTS_REG.encode("utf-16-le"))
        self.run("regedit", "/S", self.windows_path(reg))

    def run(self, *args, cwd=None, timeout=120):
        # Output goes through a file: a process Wine starts on the way (wineserver, explorer)
        # would keep a pipe open long after the program ended.
        with tempfile.TemporaryFile() as out:
            result = subprocess.run(["wine", *args], env=self.env, cwd=cwd, stdout=out,
                                    stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL, timeout=timeout)
            out.seek(0)
            result.stdout = out.read().decode("utf-8", "replace").replace("\r", "")
        return result

    def start(self, *args, cwd=None):
        return subprocess.Popen(["wine", *args], env=self.env, cwd=cwd, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def unix_path(self, windows_path):
        return self.run("winepath", "-u", windows_path).stdout.strip()

    def windows_path(self, unix_path):
        return self.run("winepath", "-w", unix_path).stdout.strip()

    def registry_value(self, key, name):
        """The value's data, or None when the key or value is missing."""
        result = self.run("reg", "query", key, "/v", name)
        for line in result.stdout.splitlines():
            parts = line.strip().split(None, 2)
            if result.returncode == 0 and len(parts) == 3 and parts[0] == name:
                return parts[2]
        return None

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True)


class FrameLog:
    """FTD2XX.log as the substitute driver writes it, read again at every look. Each line starts
    with its time, in seconds since the log was opened; lines() gives them without it."""

    def __init__(self, path):
        self.path = path

    def timed(self):
        """(seconds, text) for every line."""
        try:
            with open(self.path, "rb") as f:
                raw = f.read().decode("latin-1").splitlines()
        except FileNotFoundError:
            return []
        entries = []
        for line in raw:
            seconds, _, text = line.partition(" ")
            entries.append((float(seconds), text))
        return entries

    def lines(self):
        return [text for _, text in self.timed()]

    def mark(self):
        return len(self.lines())

    def since(self, mark, until=None):
        return self.lines()[mark:until]

    def wait(self, text, after=0, count=1, seconds=30):
        """Waits for the count-th line after line after that starts with text; returns the line
        number just past it, so that it can mark the next wait."""
        def found():
            seen = 0
            for number, line in enumerate(self.lines()[after:], start=after):
                if line.startswith(text):
                    seen += 1
                    if seen == count:
                        return number + 1
            return None
        return wait_for(f"{count} x '{text}' in {self.path} after line {after}", found, seconds)


class ProgramRun:
    """A folder with kt57d.exe and kt57-post.exe, the program started there and driven from outside."""

    def __init__(self, wine, folder, binaries):
        self.wine, self.folder, self.binaries = wine, folder, binaries
        self.process = None
        self.log = FrameLog(os.path.join(folder, "FTD2XX.log"))
        os.makedirs(folder)
        for name in ("kt57d.exe", "kt57-post.exe"):
            self.copy(os.path.join(binaries, name))

    def copy(self, source, name=None):
        with open(source, "rb") as f:
            self.write(name or os.path.basename(source), f.read())

    def write(self, name, data):
        with open(os.path.join(self.folder, name), "wb") as f:
            f.write(data.encode() if isinstance(data, str) else data)

    def read(self, name):
        with open(os.path.join(self.folder, name), "rb") as f:
            return f.read()

    def start(self):
        self.process = self.wine.start("kt57d.exe", cwd=self.folder)
        return self.post("wait", "60", timeout=90)

    def post(self, *args, timeout=60):
        """kt57-post's output without its line end (a title keeps its blanks); raises when it fails."""
        result = self.wine.run("kt57-post.exe", *args, cwd=self.folder, timeout=timeout)
        if result.returncode != 0:
            raise AssertionError(f"kt57-post {' '.join(args)} exited with {result.returncode}")
        return result.stdout.rstrip("\n")

    def exit_code(self, seconds=30):
        try:
            return self.process.wait(timeout=seconds)
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise TimedOut(f"kt57d.exe still running after {seconds} s")
