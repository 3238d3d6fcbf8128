#!/usr/bin/env python3
"""The rehearsal page in headless Chromium on the one-hour rehearsal (examples/demo with
bench/rehearsal-events.txt repeated each minute): how long until the page is ready after
kt57-run --studio starts, and each slider position fetched and drawn (console and strip) over
1,000 positions across the hour, given one per frame as a drag gives them. Writes JSON to --out; needs chromium, chromium-driver and
python3-selenium (run with Debian's python3)."""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

from bench_common import HOUR_MS, arguments, hour_of_events

POSITIONS = 1000
ADDRESS = re.compile(rb"http://127\.0\.0\.1:\d+/[0-9a-f]{32}/")


def main():
    args = arguments(__doc__)
    try:
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
    except ImportError:
        print("studio page bench skipped: no python3-selenium", file=sys.stderr)
        return
    if not shutil.which("chromium") or not shutil.which("chromedriver"):
        print("studio page bench skipped: no chromium or chromedriver", file=sys.stderr)
        return
    work = tempfile.mkdtemp(prefix="kt57-bench-studio-")
    shutil.copy(os.path.join(args.source, "examples/demo/KT57Data.txt"), work)
    with open(os.path.join(work, "hour.events"), "w") as f:
        f.writelines(hour_of_events(args.source))

    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium")
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=1400,1100"):
        options.add_argument(argument)
    driver = webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)
    driver.get("about:blank")  # the browser is up before the clock starts
    log = open(os.path.join(work, "output"), "wb+")
    tool = os.path.abspath(os.path.join(args.build, "tools/kt57-run/kt57-run"))
    started = time.perf_counter()
    process = subprocess.Popen([tool, "--studio", "--no-browser", "--until", str(HOUR_MS), "--events", "hour.events", "."],
                               cwd=work, stdout=log, stderr=subprocess.STDOUT)
    try:
        url = None
        while url is None:
            log.seek(0)
            found = ADDRESS.search(log.read())
            if found:
                url = found.group(0).decode()
            elif process.poll() is not None or time.perf_counter() - started > 60:
                raise SystemExit("kt57-run --studio did not print its address")
            else:
                time.sleep(0.002)
        driver.get(url)
        while driver.execute_script("return document.body.dataset.ready || null") != "1":
            time.sleep(0.002)
        ready = time.perf_counter() - started
        driver.set_script_timeout(900)
        # Dragging: a drag's input events come one per frame, so each position is given at the
        # start of a frame, through the slider's own input event, and timed until the page has
        # drawn it. A position the next one overtook before it was drawn counts as missed.
        paced = driver.execute_async_script("""
            const done = arguments[arguments.length - 1];
            const count = arguments[0], hour = arguments[1];
            const slider = document.getElementById('time-slider');
            const frame = () => new Promise((resolve) => requestAnimationFrame(resolve));
            const started = new Map(), times = [];
            const drawn = new MutationObserver(() => {
              const at = window.studio.page.cursor.at;
              if (started.has(at)) { times.push(performance.now() - started.get(at)); started.delete(at); }
            });
            drawn.observe(document.body, { attributes: true, attributeFilter: ['data-drawn'] });
            (async () => {
              for (let i = 0; i < count; i += 1) {
                await frame();
                const at = Math.round((i + 0.5) * hour / count);
                started.set(at, performance.now());
                slider.value = at;
                slider.dispatchEvent(new Event('input'));
              }
              while (document.body.dataset.busy) await frame();
              drawn.disconnect();
              done({ times, missed: started.size });
            })();""", POSITIONS, HOUR_MS)
        # Back to back, each awaited before the next: the rate the page sustains, for comparison.
        back_to_back = driver.execute_async_script("""
            const done = arguments[arguments.length - 1];
            const count = arguments[0], hour = arguments[1];
            const slider = document.getElementById('time-slider');
            (async () => {
              const times = [];
              for (let i = 0; i < count; i += 1) {
                const at = Math.round((i + 0.25) * hour / count);
                const start = performance.now();
                slider.value = at;
                await window.studio.moveTo(at);  // what the slider's input event calls
                times.push(performance.now() - start);
              }
              done(times);
            })();""", POSITIONS, HOUR_MS)
    finally:
        driver.quit()
        process.terminate()
        process.wait()
        shutil.rmtree(work, ignore_errors=True)
    # A missed position took longer than any drawn one.
    frames = sorted(paced["times"]) + [float("inf")] * paced["missed"]
    back_to_back.sort()
    percentile = lambda values, p: values[int(len(values) * p) - 1]  # noqa: E731
    result = {"ready_s": ready, "positions": len(frames), "missed": paced["missed"],
              "p50_ms": frames[len(frames) // 2], "p99_ms": percentile(frames, 0.99), "max_ms": frames[-1],
              "back_to_back_p50_ms": back_to_back[len(back_to_back) // 2],
              "back_to_back_p99_ms": percentile(back_to_back, 0.99)}
    print(json.dumps(result), file=sys.stderr)
    with open(args.out, "w") as f:
        json.dump(result, f)


if __name__ == "__main__":
    main()
