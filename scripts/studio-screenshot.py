#!/usr/bin/env python3
"""Takes docs/rehearsal-press-fit.png: the rehearsal page in headless Chromium on the press-fit
mistake (examples/press-fit, press-fit.events), the why panel open on out3 at 2500 ms.

    /usr/bin/python3 scripts/studio-screenshot.py BUILD_DIR
"""
import os
import shutil
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
sys.path.insert(0, os.path.join(ROOT, "tests", "tools", "kt57-run"))
from studio_session import Studio  # noqa: E402
import studio_page_test  # noqa: E402
from selenium.webdriver.support.ui import Select  # noqa: E402


def main():
    tool = os.path.abspath(os.path.join(sys.argv[1], "tools", "kt57-run", "kt57-run"))
    folder = tempfile.mkdtemp(prefix="kt57-screenshot.")
    for name in ("KT57Data.txt", "press-fit.events"):
        shutil.copy(os.path.join(ROOT, "examples", "press-fit", name), folder)
    studio = Studio([tool, "--studio", "--no-browser", "--until", "4000", "--events", "press-fit.events", "."], folder)
    driver = studio_page_test.browser()
    try:
        driver.set_window_size(1400, 1250)
        driver.get(studio.url + "#at=2500")
        while driver.execute_script("return document.body.dataset.ready || null") != "1":
            time.sleep(0.05)
        Select(driver.find_element("id", "why-pin")).select_by_value("out3")
        driver.execute_script("window.studio.why()")
        while driver.execute_script("return document.body.dataset.why || null") != "out3":
            time.sleep(0.05)
        time.sleep(0.5)
        driver.save_screenshot(os.path.join(ROOT, "docs", "rehearsal-press-fit.png"))
    finally:
        driver.quit()
        studio.kill()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
