#!/usr/bin/env python3
"""The rehearsal page in a real browser (headless Chromium through Selenium): a table of
interactions, and at each the console the page shows, held to kt57-run --at for the same moment.
Also a what-if fork against its saved events file, rerun by kt57-run.

    studio_page_test.py KT57_RUN PRESS_FIT_DIR

Exits 77 (skipped) with a message when Chromium, its driver or Selenium is missing.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
from studio_session import Studio  # noqa: E402

SKIP = 77
RUN = PRESS_FIT = None
UNTIL = "4000"

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys
    from selenium.webdriver.support.ui import Select, WebDriverWait
except ImportError:
    webdriver = None


def browser():
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium")
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=1400,1100",
                     "--disable-dev-shm-usage"):
        options.add_argument(argument)
    return webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)


def at_output(folder, events, at):
    """kt57-run --at's screen and state lines for the moment at, from the files as they are."""
    result = subprocess.run([RUN, "--events", events, "--until", UNTIL, "--at", str(at), "."], cwd=folder,
                            capture_output=True, text=True, timeout=60)
    if result.returncode != 0:
        raise AssertionError(f"kt57-run --at {at}: {result.returncode} {result.stderr}")
    return result.stdout


class PageCase(unittest.TestCase):
    """A browser on the studio of a copy of the press-fit example; the page as the tests read it."""

    @classmethod
    def setUpClass(cls):
        cls.driver = browser()

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()

    # Lines added to the events file, and a mode file, for a test that needs them.
    extra_events = ""
    mode_file = None

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="kt57-studio-page.")
        shutil.copy(os.path.join(PRESS_FIT, "KT57Data.txt"), self.folder)
        shutil.copy(os.path.join(PRESS_FIT, "press-fit.events"), os.path.join(self.folder, "events.txt"))
        if self.extra_events:
            with open(os.path.join(self.folder, "events.txt"), "a") as f:
                f.write(self.extra_events)
        if self.mode_file is not None:
            with open(os.path.join(self.folder, "KT57Mode.txt"), "w") as f:
                f.write(self.mode_file)
        self.studio = Studio([RUN, "--studio", "--no-browser", "--until", UNTIL, "--events", "events.txt", "."],
                             self.folder)
        self.driver.get(self.studio.url)
        self.wait(lambda: self.body("ready") == "1")

    def tearDown(self):
        self.studio.kill()
        shutil.rmtree(self.folder, ignore_errors=True)

    # ---- the page as the tests read it

    def body(self, name):
        return self.driver.execute_script(f"return document.body.dataset.{name} || null")

    def wait(self, condition, seconds=10):
        WebDriverWait(self.driver, seconds, poll_frequency=0.02).until(lambda _: condition())

    def settled(self, drawn_before=None):
        """Waits until no request is in flight (and a moment newer than drawn_before was drawn)."""
        self.wait(lambda: self.body("busy") is None and
                  (drawn_before is None or int(self.body("drawn") or 0) > drawn_before))

    def drawn(self):
        return int(self.body("drawn") or 0)

    def element(self, id):
        return self.driver.find_element(By.ID, id)

    def page_text(self):
        """The page's moment in kt57-run --at's form: its screen as text and its state line."""
        at = self.body("shownAt")
        screen = self.element("screen-text").get_attribute("textContent")
        state = self.element("state").get_attribute("textContent")
        rows = "".join(f"  {row}\n" for row in screen.splitlines())
        return int(at), f"{at} screen\n{rows}{at} {state}\n"

    def assert_page_is_kt57_run(self, events="events.txt"):
        self.assertEqual(self.body("whole"), "1", "the page shows a whole moment")
        at, text = self.page_text()
        self.assertEqual(text, at_output(self.folder, events, at))
        self.assert_cells_are_the_screen()
        return at

    def assert_cells_are_the_screen(self):
        """The cells drawn on the grid hold the screen's texts at their columns, red where it is."""
        scale, cell = self.driver.execute_script("return [scale, cellPixels]")
        drawn = self.driver.execute_script(
            "return [...document.querySelectorAll('#cells .cell')].map(s => [parseFloat(s.style.top),"
            " parseFloat(s.style.left), s.textContent, s.classList.contains('wide'), s.classList.contains('red')])")
        bands = {}
        for top, left, text, wide, red in drawn:
            bands.setdefault(round(top / scale), []).append((round(left / (cell * scale)), text, 2 if wide else 1, red))
        screen = self.element("screen-text").get_attribute("textContent").splitlines()
        expected, red_cells = {}, set()
        for i, row in enumerate(screen):
            band = re.match(r"y=(-?\d+)(?: (.*))?$", row)
            if not band:
                continue
            y = int(band.group(1))
            expected[y] = (band.group(2) or "").rstrip()
            if i + 1 < len(screen) and screen[i + 1].startswith("red "):
                for span in screen[i + 1][4:].split(","):
                    first, last = (int(n) for n in span.split("-"))
                    red_cells.update((y, column) for column in range(first, last + 1))
        shown = {}
        for y, cells in bands.items():
            line, column = "", 0
            for at, text, width, red in sorted(cells):
                line += " " * (at - column) + text
                column = at + width
                self.assertEqual(red, (y, at) in red_cells, f"the cell at y={y}, column {at} ({text})")
            shown[y] = line
        self.assertEqual(shown, {y: text for y, text in expected.items() if text})

    def program_marks(self):
        """The program panel's marked lines, numbered from 1 as the screen numbers them."""
        return self.driver.execute_script("""
            const marks = {};
            [...document.querySelectorAll('#program li')].forEach((item, index) => {
              for (const kind of item.classList) (marks[kind] = marks[kind] || []).push(index + 1);
            });
            return marks;""")

    def act(self, action):
        before = self.drawn()
        action()
        self.settled(before)

    def seek(self, at):
        # As a typed time arrives: the box's value, then its change.
        self.driver.execute_script("const box = document.getElementById('time-value'); box.value = arguments[0];"
                                   "box.dispatchEvent(new Event('change'));", str(at))

    def key(self, keys):
        ActionChains(self.driver).send_keys(keys).perform()

    def choose_pin(self, pin):
        Select(self.element("why-pin")).select_by_value(pin)



class StudioPageTest(PageCase):
    # ---- the table

    def test_interactions_show_kt57_runs_moments(self):
        click = lambda id: (lambda: self.element(id).click())  # noqa: E731
        cases = [
            ("seek", lambda: self.seek(2500), 2500),
            ("message back", click("message-back"), None),
            ("message forward", click("message-forward"), None),
            ("line forward", click("line-forward"), None),
            ("line back", click("line-back"), None),
            ("previous change of out3", lambda: (self.choose_pin("out3"), self.element("change-back").click()), 2010),
            ("next change of out3", click("change-forward"), 3040),
            ("keys: message back", lambda: self.key(Keys.ARROW_LEFT), None),
            ("keys: line forward", lambda: self.key(Keys.SHIFT + Keys.ARROW_RIGHT), None),
        ]
        self.element("time-value")  # the page is there
        for name, action, expected in cases:
            with self.subTest(name):
                self.act(action)
                at = self.assert_page_is_kt57_run()
                if expected is not None:
                    self.assertEqual(at, expected)

        with self.subTest("play and pause"):
            Select(self.element("speed")).select_by_value("10")
            self.seek(0)
            self.settled()
            start = self.drawn()
            self.element("play").click()
            self.wait(lambda: self.drawn() >= start + 3)
            self.element("play").click()
            self.wait(lambda: self.body("playing") == "0")
            self.settled()
            at = self.assert_page_is_kt57_run()
            self.assertGreater(at, 0)

    def test_why_moves_to_the_change_marks_the_line_and_its_chain_goes_there(self):
        self.act(lambda: self.seek(2500))
        self.choose_pin("out3")
        self.act(lambda: self.element("why").click())
        self.assertEqual(self.assert_page_is_kt57_run(), 2010)
        self.assertIn("line 9 (W0@)", self.element("why-text").text)
        # The console shows no listing while the program runs: the program panel marks the line.
        self.assertFalse(self.element("listing-mark").is_displayed())
        self.assertEqual(self.program_marks(), {"why": [9], "current": [9]})
        entries = self.driver.find_elements(By.CSS_SELECTOR, "#why-chain li button")
        self.assertEqual([e.text for e in entries], ["2010 ms", "2010 ms", "2000 ms"])
        self.act(entries[2].click)
        self.assertEqual(self.assert_page_is_kt57_run(), 2000)

    def test_a_what_if_fork_and_its_saved_events_give_the_same_future(self):
        # The press home early: in3 at 1500 instead of 2000.
        self.act(lambda: self.seek(1500))
        Select(self.element("what-input")).select_by_value("3")
        self.act(lambda: self.element("fork").click())
        self.assertEqual(self.element("fork-lines").text, "1500 input 000008")
        forked = os.path.join(self.folder, "forked.txt")
        with open(os.path.join(self.folder, "events.txt")) as original, open(forked, "w") as f:
            f.write(original.read() + "1500 input 000008\n")
        futures = {}
        for at in (1500, 1600, 2500, 3500):
            self.act(lambda: self.seek(at))
            self.assert_page_is_kt57_run(events=forked)
            futures[at] = self.page_text()[1]

        version = int(self.body("version") or 0)
        self.element("save-events").click()
        self.wait(lambda: int(self.body("version") or 0) > version)
        self.settled()
        with open(os.path.join(self.folder, "events.txt")) as f:
            self.assertTrue(f.read().endswith("1500 input 000008\n"))
        self.assertTrue(self.element("fork-box").get_attribute("hidden"))
        for at, text in futures.items():
            self.assertEqual(at_output(self.folder, "events.txt", at), text, f"the saved file's future at {at} ms")

    def test_a_save_on_the_disk_rehearses_again_at_the_same_moment_and_marks_where_outputs_part(self):
        self.act(lambda: self.seek(2500))
        version = int(self.body("version") or 0)
        data = os.path.join(self.folder, "KT57Data.txt")
        with open(data, "rb") as f:
            program = f.read()
        # Write the outputs in full instead of the register: the fix docs/kt57-run.md gives.
        fixed = program.replace(b"    W0@", b"    W0000007", 1)
        self.assertNotEqual(fixed, program)
        with open(data, "wb") as f:
            f.write(fixed)
        self.wait(lambda: int(self.body("version") or 0) > version)
        self.settled()
        self.assertEqual(self.assert_page_is_kt57_run(), 2500)
        notice = self.element("notice").text
        self.assertRegex(notice, r"The outputs first differ at \d+ ms")
        marks = self.driver.find_elements(By.CSS_SELECTOR, "#marks .mark.differs")
        self.assertEqual(len(marks), 1)


class StudioDetailViewTest(PageCase):
    """In the detail view the console shows its listing, and why marks the line there too."""
    mode_file = "AD\n"

    def test_why_marks_the_line_in_the_consoles_listing(self):
        self.act(lambda: self.seek(2500))
        self.choose_pin("out3")
        self.act(lambda: self.element("why").click())
        self.assertEqual(self.assert_page_is_kt57_run(), 2010)
        mark = self.element("listing-mark")
        self.assertTrue(mark.is_displayed())
        self.assertIn("Line 9", mark.get_attribute("title"))
        # The mark covers the cells of line 9's row in the listing, and no other row's.
        covered = self.driver.execute_script("""
            const mark = document.getElementById('listing-mark').getBoundingClientRect();
            return [...document.querySelectorAll('#cells .cell')].filter((cell) => {
              const box = cell.getBoundingClientRect();
              return box.top >= mark.top - 1 && box.bottom <= mark.bottom + 1 &&
                     box.left >= mark.left - 1 && box.right <= mark.right + 1;
            }).map((cell) => cell.textContent).join('');""")
        self.assertEqual(covered.replace(" ", ""), "9W0@")
        self.assertEqual(self.program_marks()["why"], [9])
        # The program panel lists the lines as the console's listing does, labels and all.
        panel = self.driver.execute_script(
            "return [...document.querySelectorAll('#program li')].map(li => li.textContent.replace(/\\s+/g, ''))")
        listing = self.element("screen-text").get_attribute("textContent").splitlines()
        listed = [re.sub(r"\s+", "", row.split(" ", 1)[1]).lstrip("■次") for row in listing
                  if re.match(r"y=(1[1-9]|[2-5][0-9])0 ", row)]
        self.assertEqual([f"{n}{text}" for n, text in enumerate(panel, 1)], listed)


class StudioExpectationsTest(PageCase):
    """The events file's expectations: the failed ones marked and listed, each a way to its moment."""
    extra_events = "2500 expect out2 1\n2500 expect out3 0\n1000.. expect error none\n"

    def findings(self, events):
        """kt57-run --test's findings for the events file, without their why."""
        result = subprocess.run([RUN, "--test", events, "--until", UNTIL, "."], cwd=self.folder,
                                capture_output=True, text=True, timeout=60)
        self.assertEqual(result.returncode, 1, result.stderr)
        return [line for line in result.stdout.splitlines() if not line.startswith(" ")]

    def listed(self):
        return [item.text for item in self.driver.find_elements(By.CSS_SELECTOR, "#failed-list li code")]

    def test_failed_expectations_are_marked_listed_and_go_there(self):
        findings = self.findings("events.txt")
        self.assertEqual(len(findings), 1)
        self.assertEqual(self.element("expectations-summary").text, "3 expectations in the events file; 1 failure:")
        self.assertEqual(self.listed(), findings)
        marks = self.driver.find_elements(By.CSS_SELECTOR, "#marks .mark.failed")
        self.assertEqual([mark.get_attribute("data-at") for mark in marks], ["2500"])
        self.act(lambda: self.seek(0))
        go = self.driver.find_element(By.CSS_SELECTOR, "#failed-list li button")
        self.act(go.click)
        self.assertEqual(self.assert_page_is_kt57_run(), 2500)
        self.assertEqual(Select(self.element("why-pin")).first_selected_option.get_attribute("value"), "out3")

        # A what-if is checked too: the board unplugged before the press fails two others.
        self.act(lambda: self.seek(1500))
        Select(self.element("what-kind")).select_by_value("fault")
        Select(self.element("what-fault")).select_by_visible_text("unplug")
        self.act(lambda: self.element("fork").click())
        self.wait(lambda: self.body("forks") == "1")
        self.settled()
        with open(os.path.join(self.folder, "events.txt")) as original, \
                open(os.path.join(self.folder, "forked.txt"), "w") as forked:
            forked.write(original.read() + "1500 unplug\n")
        expected = [finding.replace("forked.txt:", "events.txt:", 1) for finding in self.findings("forked.txt")]
        self.assertEqual(len(expected), 2)
        self.assertEqual(self.listed(), expected)


def main():
    global RUN, PRESS_FIT
    if len(sys.argv) < 3:
        sys.exit("usage: studio_page_test.py KT57_RUN PRESS_FIT_DIR [unittest options]")
    RUN, PRESS_FIT = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    missing = [name for name in ("chromium", "chromedriver") if shutil.which(name) is None]
    if webdriver is None:
        missing.append("python3-selenium")
    if missing:
        print(f"skipped: the browser tests need {', '.join(missing)} (scripts/install-deps.sh installs them)")
        sys.exit(SKIP)
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:])


if __name__ == "__main__":
    main()
