#!/usr/bin/env python3
"""kt57d.exe under Wine: what only the Windows program shows. Its imports and menu resource, the
window messages reaching the core (typed keys, posted commands, clicks read with GetAsyncKeyState),
the D2XX calls of the run-time loaded FTD2XX.dll, the CR LF mode file, the red GDI text without a
usable driver, and the substitute driver's KT57Board.txt and FTD2XX.log. What the engine does with
the messages is the headless tests' business. Then the command-line tools beside it: kt57-run.exe
and kt57-check.exe print what their Linux builds print, and kt57-run.exe --studio serves the
rehearsal page to a request from the Linux side.

Usage, inside an X display (scripts/test-win32.sh runs it under xvfb-run):
  wine_test.py WIN32_BUILD_DIR [RESULTS_DIR] [unittest options]
WIN32_BUILD_DIR is build-win32/platform/win32 (the tools are in build-win32/tools); screenshots and
logs go to RESULTS_DIR. The Linux tools to compare with are in KT57_NATIVE_TOOLS (default
build/tools of the source tree).
Every wait ends at its sign or at a deadline; a check that something did not happen reads the log
up to a later event that must come after it.
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
from studio_session import Studio, traced_screen, traced_state  # noqa: E402
from wine_session import ProgramRun, TimedOut, Wine, imported_dlls, imported_functions, wait_for  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.abspath(os.path.join(HERE, "..", "..", ".."))
EXAMPLE = os.path.join(SOURCE, "examples", "demo", "KT57Data.txt")
# kt57-run's documented example: its program, mode file, events and Linux trace.
RUN_EXAMPLE = os.path.join(SOURCE, "tests", "tools", "kt57-run", "example")
NATIVE_TOOLS = os.environ.get("KT57_NATIVE_TOOLS", os.path.join(SOURCE, "build", "tools"))
# A loop that holds the board: WA000001, RA000000, WA@, then 010 WB000002 / JMP 010.
LOOP = os.path.join(HERE, "wine", "KT57Data.txt")
END_PROGRAM = "40001"

BIN = RESULTS = None


def board_settings(inputs):
    return f"# the virtual board the substitute FTD2XX.dll serves\nserial = AB123456\ninputs = {inputs}\nlatency = 1\n"


def writes(lines):
    return [line.split(" ", 1)[1] for line in lines if line.startswith("write ")]


def read_ppm(path):
    """(width, height, bytes of RGB) of a binary PPM."""
    with open(path, "rb") as f:
        data = f.read()
    fields, position = [], 0
    while len(fields) < 4:
        while data[position:position + 1].isspace():
            position += 1
        if data[position:position + 1] == b"#":
            position = data.index(b"\n", position)
            continue
        end = position
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[position:end])
        position = end
    assert fields[0] == b"P6" and fields[3] == b"255", fields
    return int(fields[1]), int(fields[2]), data[position + 1:]


RED = lambda r, g, b: r > 153 and g < 90 and b < 90  # noqa: E731
DARK = lambda r, g, b: r < 90 and g < 90 and b < 90  # noqa: E731


# One Wine prefix for every test: booting one takes most of a minute.
PREFIX = {}


def setUpModule():
    PREFIX["work"] = tempfile.mkdtemp(prefix="kt57-wine.")
    PREFIX["wine"] = Wine(PREFIX["work"], japanese=True)
    PREFIX["wine"].boot()
    PREFIX["wine"].use_japanese_fonts()


def tearDownModule():
    PREFIX["wine"].stop()
    shutil.rmtree(PREFIX["work"], ignore_errors=True)


class WindowsProgramTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = os.path.join(PREFIX["work"], "programs")
        os.makedirs(cls.work)
        cls.wine = PREFIX["wine"]

    def setUp(self):
        self.run_ = None

    def tearDown(self):
        run = self.run_
        if run is None:
            return
        if run.process is not None and run.process.poll() is None:
            run.process.kill()
        if os.path.exists(run.log.path):
            shutil.copy(run.log.path, os.path.join(RESULTS, f"{self._testMethodName}-FTD2XX.log"))

    def program_run(self, program, mode, driver="substitute", board=board_settings("000004")):
        self.run_ = ProgramRun(self.wine, os.path.join(self.work, self._testMethodName), BIN)
        self.run_.copy(program, "KT57Data.txt")
        self.run_.write("KT57Mode.txt", mode)
        if driver:
            self.run_.copy(os.path.join(BIN, driver, "FTD2XX.dll"))
            self.run_.write("KT57Board.txt", board)
        return self.run_

    def end_program(self, run):
        run.post("command", END_PROGRAM)
        self.assertEqual(run.exit_code(), 0, "menu command 40001 ends the program with exit code 0")

    # ------------------------------------------------------------------ the program file

    def test_imports_only_windows_dlls_and_loads_the_driver_at_run_time(self):
        exe = os.path.join(BIN, "kt57d.exe")
        self.assertEqual(sorted(d.upper() for d in imported_dlls(exe)),
                         ["GDI32.DLL", "KERNEL32.DLL", "MSVCRT.DLL", "USER32.DLL", "WINMM.DLL"])
        functions = imported_functions(exe)
        # The timer really ticks every 10 ms while it runs, and the resolution is given back.
        self.assertLessEqual({"timeBeginPeriod", "timeEndPeriod"}, functions["WINMM.DLL"])
        # The mode file's replacement survives power loss: flushed, then moved with write-through.
        self.assertLessEqual({"FlushFileBuffers", "MoveFileExA", "LoadLibraryA", "GetProcAddress"},
                             functions["KERNEL32.DLL"])

    def test_menu_resource_holds_the_end_program_item(self):
        resources = os.path.join(self.work, "resources.bin")
        subprocess.run(["x86_64-w64-mingw32-objcopy", "-O", "binary", "--only-section=.rsrc",
                        os.path.join(BIN, "kt57d.exe"), resources], check=True)
        with open(resources, "rb") as f:
            data = f.read()
        # Menu 101: pop-up "ﾒﾆｭｰ" with item 40001 "ﾌﾟﾛｸﾞﾗﾑ終了", UTF-16 from the code page 932 script.
        self.assertIn("\uff92\uff86\uff6d\uff70".encode("utf-16-le"), data)
        self.assertIn((40001).to_bytes(2, "little") +
                      "\uff8c\uff9f\uff9b\uff78\uff9e\uff97\uff91\u7d42\u4e86".encode("utf-16-le"), data)

    # ------------------------------------------------------------------ with the substitute driver

    def test_example_program_drives_the_board_through_the_loaded_driver(self):
        run = self.program_run(EXAMPLE, "AD\nAB123456\n")
        self.assertEqual(run.start(), "KT57D           AB123456", "the title carries the mode file's serial number")
        after = run.log.wait("write W000000F\\x0D", seconds=60)
        self.assertEqual([line for line in run.log.lines()[:after] if line.startswith(("open", "chars", "timeouts"))][:3],
                         ["open AB123456", "chars event 0D 1 error 00 0 status 0",
                          "timeouts read 100 write 100 status 0"],
                         "start-up opens the mode file's serial number and configures the board")
        run.log.wait("read U000000F\\x0D", after=after - 1)
        self.assertEqual(run.post("frame").split()[2:], ["480", "700"], "the window took the listing's size")
        self.end_program(run)

    def test_typed_keys_reach_the_core_and_the_mode_file_is_written_with_cr_lf(self):
        run = self.program_run(LOOP, "SD\n", board=board_settings("00000F"))
        self.assertEqual(run.start(), "KT57D" + " " * 19, "without a serial number the title keeps its blanks")
        run.log.wait("close", seconds=60)
        self.assertEqual([line for line in run.log.lines() if line.startswith(("list", "open", "close"))][:4],
                         ["list count 1", "list index 0 AB123456", "open AB123456", "close"],
                         "start-up lists the board for its serial number, opens it and releases it")
        # Key-down and key-up, as typing gives them: the program's TranslateMessage makes the characters.
        mark = run.log.mark()
        run.post("key", "G")
        mark = run.log.wait("write WA000001\\x0D", after=mark)
        run.post("key", "ENTER")
        mark = run.log.wait("write RA000000\\x0D", after=mark)
        run.post("key", "ESC")
        mark = run.log.wait("write WB000002\\x0D", after=mark, count=5)
        run.post("key", "S")
        stop = run.log.wait("close", after=mark)
        run.post("key", "G")
        restart = run.log.wait("write WA000001\\x0D", after=stop)
        self.assertEqual(writes(run.log.since(stop, restart - 1)), [], "nothing is written between S and G")
        run.log.wait("write WB000002\\x0D", after=restart)
        self.end_program(run)
        self.assertEqual(run.read("KT57Mode.txt"), b"S\r\nAB123456\r\n",
                         "mode S without D, the listed serial number, CR LF line ends")

    def test_posted_mode_commands_carry_the_marker(self):
        run = self.program_run(LOOP, "A\nAB123456\n", board=board_settings("00000F"))
        run.start()
        run.log.wait("write WB000002\\x0D", seconds=60)
        # Mode P releases the board after every 11th control instruction: one JMP a pass.
        cases = [("80", "0x4B", "posted P switches to mode P", True),
                 ("65", "0x4B", "posted A switches back to mode A", False),
                 ("80", "0x190001", "P with the keyboard's lParam changes nothing", False)]
        for code, lparam, name, releases in cases:
            with self.subTest(name):
                mark = run.log.mark()
                run.post("char", code, lparam)
                run.post("key", "S")
                run.post("key", "G")
                restart = run.log.wait("write WA000001\\x0D", after=mark)
                passes = run.log.wait("write WB000002\\x0D", after=restart, count=25)
                closes = run.log.since(restart, passes).count("close")
                self.assertEqual(closes > 0, releases, f"{closes} releases in 25 passes")
        self.end_program(run)

    def test_clicks_read_ctrl_and_shift_with_GetAsyncKeyState(self):
        run = self.program_run(LOOP, "AD\nAB123456\n", board=board_settings("00000F"))
        run.start()
        mark = run.log.wait("write WB000002\\x0D", seconds=60)
        # The listing's line 4 (WB000002) is at y 170 to 189 of the first column, line 1 at 110 to 129.
        run.post("click", "30", "175", "ctrl")
        stop = run.log.wait("close", after=mark)
        self.assertEqual(writes(run.log.since(0, stop))[-1], "WB000002\\x0D", "the break line stops after line 4")
        run.post("click", "30", "115", "shift")
        run.post("key", "C")
        resumed = run.log.wait("write WA000001\\x0D", after=stop)
        self.assertEqual(writes(run.log.since(stop, resumed - 1)), [], "stopped until C")
        again = run.log.wait("close", after=resumed)
        self.assertEqual(writes(run.log.since(resumed - 1, again)),
                         ["WA000001\\x0D", "RA000000\\x0D", "WA00000f\\x0D", "WB000002\\x0D"],
                         "C runs from the continue line (Shift) to the break line (Ctrl)")
        run.post("click", "30", "175", "ctrl")
        run.post("key", "C")
        passes = run.log.wait("write WB000002\\x0D", after=again, count=5)
        self.assertNotIn("close", run.log.since(again, passes), "a second Ctrl-click clears the break line")
        self.end_program(run)

    def test_substitute_reads_changed_board_lines_and_logs_escaped_bytes(self):
        run = self.program_run(LOOP, "A\nAB123456\n", board=board_settings("00000F"))
        run.start()
        mark = run.log.wait("read RA00000F\\x0D", seconds=60)
        settings = os.path.join(run.folder, "KT57Board.txt")
        before = os.stat(settings).st_mtime
        run.write("KT57Board.txt", "# board-control lines\nserial AB123456\ninput 0000A5\nlatency 1\n")
        os.utime(settings, (before + 2, before + 2))  # a new time even where the clock is coarse
        run.post("key", "S")
        run.post("key", "G")
        restart = run.log.wait("write WA000001\\x0D", after=mark)
        read = run.log.wait("read RA", after=restart)
        self.assertEqual(run.log.lines()[read - 1], "read RA0000A5\\x0D", "the restart reads the new inputs")
        self.end_program(run)
        with open(run.log.path, "rb") as f:
            self.assertNotIn(b"\r", f.read(), "a CR in a frame is logged as \\x0D")

    # ------------------------------------------------------------------ without a usable driver

    def pixels(self, shot, client, rect, test):
        width, _, rgb = read_ppm(shot)
        x0, y0 = client[0] + rect[0], client[1] + rect[1]
        count = 0
        for y in range(y0, y0 + rect[3]):
            row = (y * width + x0) * 3
            for i in range(row, row + rect[2] * 3, 3):
                count += test(rgb[i], rgb[i + 1], rgb[i + 2])
        return count

    def expect_no_board(self, run):
        mode = run.read("KT57Mode.txt")
        self.assertEqual(run.start(), "KT57D           AB123456")
        client = [int(v) for v in run.post("client").split()]
        shot = os.path.join(RESULTS, f"{self._testMethodName}.ppm")

        def red_text():
            subprocess.run(["import", "-window", "root", "-depth", "8", shot], check=True)
            return self.pixels(shot, client, (10, 10, 128, 16), RED) >= 40
        # After its 100 attempts start-up draws the red no-connection text in the status cells.
        wait_for("the red no-connection text", red_text, 60)
        self.assertGreaterEqual(self.pixels(shot, client, (20, 40, 224, 16), DARK), 40, "the banner is drawn")
        self.assertEqual(self.pixels(shot, client, (20, 40, 224, 16), RED), 0, "the banner is black")
        self.assertEqual(self.pixels(shot, client, (10, 70, 460, 150), DARK), 0, "no header and no listing")
        self.assertEqual(run.post("frame").split()[2:], ["480", "300"], "the window keeps its first size")
        self.end_program(run)
        self.assertEqual(run.read("KT57Mode.txt"), mode, "without a board the mode file is left as it was")

    def test_no_driver_dll_is_no_board(self):
        self.expect_no_board(self.program_run(EXAMPLE, "AD\nAB123456\n", driver=None))

    def test_driver_dll_without_FT_Close_is_no_board(self):
        run = self.program_run(EXAMPLE, "AD\nAB123456\n", driver="substitute-incomplete", board="serial = AB123456\n")
        self.expect_no_board(run)
        self.assertFalse(os.path.exists(run.log.path), "none of its functions was called")


class CommandLineToolsTest(unittest.TestCase):
    """kt57-run.exe and kt57-check.exe as the installer and the zip lay them out: beside each other,
    with the rehearsal page in studio\\ beside kt57-run.exe."""

    @classmethod
    def setUpClass(cls):
        cls.wine = PREFIX["wine"]
        cls.work = os.path.join(PREFIX["work"], "tools")
        cls.install = os.path.join(cls.work, "install")
        os.makedirs(cls.install)
        tools = os.path.join(BIN, "..", "..", "tools")
        for exe in (os.path.join(tools, "kt57-run", "kt57-run.exe"), os.path.join(tools, "kt57-check", "kt57-check.exe")):
            shutil.copy(exe, cls.install)
        # The installed page, marked: the one beside the .exe is served, not the source tree's.
        shutil.copytree(os.path.join(SOURCE, "tools", "kt57-run", "studio"), os.path.join(cls.install, "studio"))
        with open(os.path.join(cls.install, "studio", "index.html"), "a") as f:
            f.write("<!-- installed beside kt57-run.exe -->\n")

    def folder(self, name, files):
        """A fresh folder holding copies of files."""
        folder = os.path.join(self.work, f"{self._testMethodName}-{name}")
        os.makedirs(folder)
        for file in files:
            shutil.copy(file, folder)
        return folder

    def windows(self, tool, *arguments, cwd):
        """(exit status, standard output, standard error) of the installed TOOL.exe, as bytes."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            status = subprocess.run(["wine", os.path.join(self.install, tool + ".exe"), *arguments], cwd=cwd,
                                    env=self.wine.env, stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                    timeout=120).returncode
            out.seek(0)
            err.seek(0)
            return status, out.read(), err.read()

    @staticmethod
    def linux(tool, *arguments, cwd):
        result = subprocess.run([os.path.join(NATIVE_TOOLS, tool, tool), *arguments], cwd=cwd, capture_output=True,
                                timeout=120)
        return result.returncode, result.stdout, result.stderr

    def test_tools_import_only_windows_dlls(self):
        # Winsock for the page's server, BCrypt for its token, Shell32 to open the browser.
        self.assertEqual(sorted(d.upper() for d in imported_dlls(os.path.join(self.install, "kt57-run.exe"))),
                         ["BCRYPT.DLL", "KERNEL32.DLL", "MSVCRT.DLL", "SHELL32.DLL", "WS2_32.DLL"])
        self.assertEqual(sorted(d.upper() for d in imported_dlls(os.path.join(self.install, "kt57-check.exe"))),
                         ["KERNEL32.DLL", "MSVCRT.DLL"])

    def test_kt57_run_traces_as_on_linux(self):
        waveform_events = os.path.join(SOURCE, "tests", "tools", "kt57-run", "waveform-events.txt")
        example = [os.path.join(RUN_EXAMPLE, name) for name in ("KT57Data.txt", "KT57Mode.txt", "events.txt")]
        # name, files, arguments, the mode file the Windows run leaves (None: none)
        cases = [
            ("bundled", [EXAMPLE, waveform_events], ["--until", "12000", "--events", "waveform-events.txt", "."], None),
            ("documented", example, ["--events", "events.txt", "--error-lines"], b"MD\r\nVB000001\r\n"),
        ]
        for name, files, arguments, mode_file in cases:
            with self.subTest(name):
                linux_folder = self.folder("linux-" + name, files)
                windows_folder = self.folder("windows-" + name, files)
                linux = self.linux("kt57-run", *arguments, cwd=linux_folder)
                self.assertEqual(linux[0], 0, linux[2])
                self.assertGreater(linux[1].count(b" send "), 10)
                # The one difference is Windows' own: kt57d.exe writes the mode file with CR LF.
                expected = linux[1].replace(b"mode-file MD\\x0AVB000001\\x0A", b"mode-file MD\\x0D\\x0AVB000001\\x0D\\x0A")
                self.assertEqual(self.windows("kt57-run", *arguments, cwd=windows_folder), (0, expected, b""))
                mode_path = os.path.join(windows_folder, "KT57Mode.txt")
                if mode_file is None:
                    self.assertFalse(os.path.exists(mode_path))
                else:
                    with open(mode_path, "rb") as f:
                        self.assertEqual(f.read(), mode_file)

    def test_kt57_run_answers_moments_as_on_linux(self):
        # The timeline rehearses in a scratch folder of its own under Windows' temporary folder.
        press_fit = [os.path.join(SOURCE, "examples", "press-fit", name) for name in ("KT57Data.txt", "press-fit.events")]
        arguments = ["--events", "press-fit.events", "--until", "4000", "--at", "2500", "--why", "out3@2500",
                     "--why", "in3@1000", "."]
        linux = self.linux("kt57-run", *arguments, cwd=self.folder("linux", press_fit))
        self.assertEqual(linux[0], 0, linux[2])
        self.assertIn(b"line 5 (R0000000)", linux[1])
        self.assertEqual(self.windows("kt57-run", *arguments, cwd=self.folder("windows", press_fit)), linux)

    def test_kt57_check_reports_as_on_linux(self):
        findings = os.path.join(self.work, "KT57Data.txt")
        with open(findings, "wb") as f:
            f.write(b"010 JMP 020\n    SLP\n    FOO 12\n020 W0000001\n    JNZ 099\n")
        cases = [("the bundled example", EXAMPLE, []), ("its program store", EXAMPLE, ["--dump"]),
                 ("a program with findings", findings, [])]
        for name, program, arguments in cases:
            with self.subTest(name):
                folder = self.folder(name.split()[-1], [program])
                linux = self.linux("kt57-check", *arguments, "KT57Data.txt", cwd=folder)
                self.assertEqual(self.windows("kt57-check", *arguments, "KT57Data.txt", cwd=folder), linux)
        self.assertEqual(self.linux("kt57-check", "KT57Data.txt", cwd=self.work)[0], 1, "the findings count")

    def studio(self):
        folder = self.folder("example", [os.path.join(RUN_EXAMPLE, name) for name in
                                         ("KT57Data.txt", "KT57Mode.txt", "events.txt")])
        return Studio(["wine", os.path.join(self.install, "kt57-run.exe"), "--studio", "--no-browser",
                       "--events", "events.txt", "."], folder, env=self.wine.env, seconds=120)

    def test_kt57_run_studio_serves_the_page_to_a_request_from_linux(self):
        studio = self.studio()
        try:
            status, page = studio.get(f"/{studio.token}/")
            self.assertEqual(status, 200)
            self.assertIn(b"installed beside kt57-run.exe", page)
            trace = os.path.join(RUN_EXAMPLE, "expected-trace.txt")
            self.assertEqual(studio.get_json("api/moment?at=2000")["screen"], traced_screen(trace, 2000))
            self.assertEqual(studio.get_json("api/moment?at=1700")["state"], traced_state(trace, 1700))
            self.assertEqual(studio.get(f"/{studio.token}/api/moment?at=2000", host="attacker.example")[0], 403)
            self.assertEqual(studio.get("/api/moment?at=2000")[0], 403)
            stream = studio.events()
            self.assertEqual(stream.next_event()[0], "ready")
            stream.close()
            status, output = studio.end(seconds=60)
            self.assertEqual(status, 0, output)
            self.assertIn("The page was closed", output)
        finally:
            studio.kill()

    def test_kt57_run_studio_ends_on_ctrl_c(self):
        studio = self.studio()
        try:
            self.assertEqual(studio.get(f"/{studio.token}/api/rehearsal")[0], 200)
            # Wine turns SIGINT into the console's Ctrl+C event.
            studio.process.send_signal(signal.SIGINT)
            status, output = studio.end(seconds=60)
            self.assertEqual(status, 0, output)
            self.assertIn("Interrupted", output)
        finally:
            studio.kill()


if __name__ == "__main__":
    BIN = os.path.abspath(sys.argv[1])
    rest = sys.argv[2:]
    RESULTS = os.path.abspath(rest.pop(0)) if rest and not rest[0].startswith("-") else tempfile.mkdtemp()
    os.makedirs(RESULTS, exist_ok=True)
    unittest.main(argv=[sys.argv[0], "-v", *rest])
