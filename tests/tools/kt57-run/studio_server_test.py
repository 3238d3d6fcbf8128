#!/usr/bin/env python3
"""kt57-run --studio as its users meet it: a browser with the address, another program or web page
without it, the console's Ctrl+C, a closed page, and an editor saving the program.

    studio_server_test.py KT57_RUN EXAMPLE_DIR [unittest options]

EXAMPLE_DIR is tests/tools/kt57-run/example (its program, events and expected trace); each test
rehearses a copy. Every wait ends at its sign (a line, an event, an exit) or at a deadline.
"""
import os
import shutil
import signal
import stat
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
from studio_session import Studio, traced_screen, traced_state  # noqa: E402

RUN = EXAMPLE = None
PAGE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "tools", "kt57-run", "studio")
# A change on the disk reaches the page at once: well under a second, where a page that polled
# every second would take up to one.
PUSH_DEADLINE = 1.0


class StudioServerTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="kt57-studio-test.")
        for name in ("KT57Data.txt", "KT57Mode.txt", "events.txt"):
            shutil.copy(os.path.join(EXAMPLE, name), self.folder)
        self.studio = None

    def tearDown(self):
        if self.studio:
            self.studio.kill()
        shutil.rmtree(self.folder, ignore_errors=True)

    def start(self, *arguments, env=None):
        self.studio = Studio([RUN, "--studio", *arguments, "--events", "events.txt", "."], self.folder, env=env)
        return self.studio

    # ------------------------------------------------------------------ who may use it

    def test_answers_only_requests_with_the_token_its_own_host_and_no_foreign_origin(self):
        studio = self.start("--no-browser")
        token, port = studio.token, studio.port
        status, body = studio.get(f"/{token}/")
        self.assertEqual(status, 200)
        self.assertIn(b"KT57D rehearsal", body)
        self.assertEqual(studio.get(f"/{token}/api/rehearsal")[0], 200)
        self.assertEqual(studio.get(f"/{token}/api/rehearsal", host=f"localhost:{port}")[0], 200)
        self.assertEqual(studio.get(f"/{token}/api/rehearsal", origin=f"http://127.0.0.1:{port}")[0], 200)

        wrong = "0" * len(token) if token != "0" * len(token) else "1" * len(token)
        refused = [
            ("no token", "/", {}),
            ("no token, a page file", "/index.html", {}),
            ("no token, the API", "/api/moment?at=2000", {}),
            ("a wrong token", f"/{wrong}/api/moment?at=2000", {}),
            ("a foreign Host (DNS rebinding)", f"/{token}/api/moment?at=2000", {"host": f"attacker.example:{port}"}),
            ("the Host of another port", f"/{token}/api/moment?at=2000", {"host": f"127.0.0.1:{port + 1}"}),
            ("a cross-origin request", f"/{token}/api/moment?at=2000", {"origin": "http://attacker.example"}),
            ("a sandboxed page's null origin", f"/{token}/api/moment?at=2000", {"origin": "null"}),
            ("a cross-origin event stream", f"/{token}/api/events", {"origin": "http://attacker.example"}),
        ]
        for name, path, headers in refused:
            with self.subTest(name):
                status, body = studio.get(path, **headers)
                self.assertEqual(status, 403)
                self.assertTrue(body.startswith(b"refused"), body)
                self.assertNotIn(b"state next=", body)

    def test_serves_no_file_outside_the_page_folder_and_refuses_bad_moments(self):
        studio = self.start("--no-browser")
        token = studio.token
        # The page folder sits beside kt57-run's sources in a build tree.
        for path in (f"/{token}/../studio_server.cpp", f"/{token}/%2e%2e/studio_server.cpp",
                     f"/{token}/../../../CMakeLists.txt"):
            with self.subTest(path):
                status, body = studio.get(path)
                self.assertNotEqual(status, 200)
                self.assertNotIn(b"#include", body)
        for name in ("KT57Data.txt", ".hidden.js", "missing.js", "studio"):
            with self.subTest(name):
                self.assertEqual(studio.get(f"/{token}/{name}")[0], 404)
        # The page's own files, as they are on the disk and uncompressed, whatever the browser accepts.
        for name, kind in (("", "text/html"), ("index.html", "text/html"), ("studio.js", "text/javascript"),
                           ("studio.css", "text/css")):
            with self.subTest(name or "/"):
                headers = {}
                status, body = studio.get(f"/{token}/{name}", headers=headers)
                self.assertEqual(status, 200)
                self.assertEqual(headers["content-type"], f"{kind}; charset=utf-8")
                self.assertNotIn("content-encoding", headers)
                with open(os.path.join(PAGE, name or "index.html"), "rb") as f:
                    self.assertEqual(body, f.read())
        for at in ("-5", "60001", "1e3", ""):
            with self.subTest(at=at):
                self.assertEqual(studio.get(f"/{token}/api/moment?at={at}")[0], 400)

    def test_listens_on_127_0_0_1_alone(self):
        studio = self.start("--no-browser")
        sockets = set()
        for descriptor in os.listdir(f"/proc/{studio.process.pid}/fd"):
            target = os.readlink(f"/proc/{studio.process.pid}/fd/{descriptor}")
            if target.startswith("socket:["):
                sockets.add(target[len("socket:["):-1])
        listening = {}
        for table in ("/proc/net/tcp", "/proc/net/tcp6"):
            with open(table) as f:
                for row in f.readlines()[1:]:
                    fields = row.split()
                    local, state, inode = fields[1], fields[3], fields[9]
                    if state == "0A" and inode in sockets:  # 0A: LISTEN
                        listening[(table, local)] = inode
        self.assertEqual(list(listening), [("/proc/net/tcp", f"0100007F:{studio.port:04X}")])

    # ------------------------------------------------------------------ what it shows

    def test_a_moment_is_kt57_runs_screen_and_state_at_that_time(self):
        studio = self.start("--no-browser")
        trace = os.path.join(EXAMPLE, "expected-trace.txt")
        moment = studio.get_json("api/moment?at=2000")
        self.assertEqual(moment["at"], 2000)
        self.assertEqual(moment["screen"], traced_screen(trace, 2000))
        self.assertEqual(studio.get_json("api/moment?at=1700")["state"], traced_state(trace, 1700))
        # The cells hold the screen's characters: the red data error among them at 3200.
        red = "".join(c["text"] for c in studio.get_json("api/moment?at=3200")["cells"] if c["red"])
        self.assertEqual(red, "データエラー")
        rehearsal = studio.get_json("api/rehearsal")
        self.assertEqual((rehearsal["events"], rehearsal["until"], rehearsal["error"]), ("events.txt", 60000, ""))

    # ------------------------------------------------------------------ when it ends

    def test_an_interrupt_from_the_console_ends_it_with_status_0(self):
        for sent in (signal.SIGINT, signal.SIGTERM):
            with self.subTest(signal=sent.name):
                studio = self.start("--no-browser")
                studio.process.send_signal(sent)
                status, output = studio.end()
                self.assertEqual(status, 0, output)
                self.assertIn("Interrupted", output)

    def test_closing_the_page_ends_it_with_status_0(self):
        studio = self.start("--no-browser")
        stream = studio.events()
        self.assertEqual(stream.next_event()[0], "ready")
        stream.close()
        status, output = studio.end()
        self.assertEqual(status, 0, output)
        self.assertIn("The page was closed", output)

    def test_a_reloaded_page_keeps_it_going(self):
        studio = self.start("--no-browser")
        first = studio.events()
        self.assertEqual(first.next_event()[0], "ready")
        first.close()
        second = studio.events()  # a reload opens the stream again at once
        self.addCleanup(second.close)
        self.assertEqual(second.next_event()[0], "ready")
        self.assertEqual(studio.get(f"/{studio.token}/api/rehearsal")[0], 200)
        studio.process.send_signal(signal.SIGINT)
        status, output = studio.end()
        self.assertEqual(status, 0, output)
        self.assertIn("Interrupted", output, "the first stream's close must not have ended it")

    # ------------------------------------------------------------------ edit and see

    def test_a_save_reaches_the_page_at_once_and_the_rehearsal_is_rebuilt(self):
        studio = self.start("--no-browser")
        stream = studio.events()
        self.addCleanup(stream.close)
        self.assertEqual(stream.next_event()[0], "ready")

        program = os.path.join(self.folder, "KT57Data.txt")
        with open(program, "ab") as f:
            f.write(b"    W0000042\n")
        saved = time.monotonic()
        name, data = stream.next_event(timeout=PUSH_DEADLINE)
        self.assertLess(time.monotonic() - saved, PUSH_DEADLINE)
        self.assertEqual(name, "changed")
        self.assertEqual((data["version"], data["files"], data["error"]), (1, [os.path.join(".", "KT57Data.txt")], ""))
        screen = studio.get_json("api/moment?at=2000")["screen"]
        self.assertIn("W0000042", screen)
        self.assertIn("/  14", screen, "the status row counts the new line")

        with open(os.path.join(self.folder, "events.txt"), "ab") as f:
            f.write(b"4000 keys G\n")
        name, data = stream.next_event(timeout=PUSH_DEADLINE)
        self.assertEqual((name, data["version"], data["files"]), ("changed", 2, ["events.txt"]))
        self.assertRegex(data["error"], r"^events\.txt:\d+: unknown event 'keys'$")
        self.assertEqual(studio.get_json("api/rehearsal")["error"], data["error"])

    # ------------------------------------------------------------------ the browser

    def test_opens_the_address_in_the_default_browser(self):
        bin_folder = os.path.join(self.folder, "bin")
        os.mkdir(bin_folder)
        opened = os.path.join(self.folder, "opened.txt")
        fake = os.path.join(bin_folder, "xdg-open")
        with open(fake, "w") as f:
            f.write(f'#!/bin/sh\nprintf "%s\\n" "$*" > "{opened}.part" && mv "{opened}.part" "{opened}"\n')
        os.chmod(fake, os.stat(fake).st_mode | stat.S_IXUSR)
        studio = self.start(env=dict(os.environ, PATH=bin_folder + os.pathsep + os.environ["PATH"]))
        deadline = time.monotonic() + 10
        while not os.path.exists(opened) and time.monotonic() < deadline:
            time.sleep(0.05)
        with open(opened) as f:
            self.assertEqual(f.read().strip(), studio.url)


def main():
    global RUN, EXAMPLE
    RUN, EXAMPLE = (os.path.abspath(p) for p in sys.argv[1:3])
    unittest.main(argv=[sys.argv[0], *sys.argv[3:]], verbosity=2)


if __name__ == "__main__":
    main()
