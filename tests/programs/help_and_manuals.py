#!/usr/bin/env python3
"""Each program's --help, its manual page and its user document name the same options.

    help_and_manuals.py SOURCE_DIR NAME=PATH...

A program's options come from one table, which its parser and its --help share; this holds the
manual page (its SYNOPSIS and OPTIONS) and the user document to that --help, both ways. kt57-ctl's
requests are kt57d's, so each one its --help lists is also sent, to check that kt57-ctl takes it.
"""
import os
import pathlib
import re
import subprocess
import sys
import tempfile

# The manual page, the user document and whether that document shows the usage line as it is.
PAGES = {
    "kt57-run": ("kt57-run.1", "kt57-run.md", True),
    "kt57-board": ("kt57-board.1", "linux-boards.md", True),
    "kt57-check": ("kt57-check.1", "kt57-check.md", False),
    "kt57-ctl": ("kt57-ctl.1", "linux-desktop.md", False),
    "kt57d": ("kt57d.1", "linux-desktop.md", False),
}
EVERY_PROGRAM = {"-h", "--help", "--version"}
OPTION = re.compile(r"(?<![\w-])(--?[a-zA-Z][\w-]*)")
# A sample value for each kind of argument kt57-ctl's --help names.
SAMPLE_ARGUMENTS = {"A|P": "A", "K": "G", "N": "40001"}


def options_in(text):
    return set(OPTION.findall(text))


def man_sections(page):
    """Section name -> its roff text, with the escaped minus signs and font changes taken out."""
    text = page.read_text(encoding="utf-8").replace("\\-", "-")
    text = re.sub(r"\\f[BIRP]", "", text)
    sections = {}
    name = None
    for line in text.splitlines():
        if line.startswith(".SH "):
            name = line[4:].strip().strip('"')
            sections[name] = ""
        elif name is not None:
            sections[name] += line + "\n"
    return sections


def paragraph_heads(roff):
    """The first word of each tagged paragraph's tag (.TP)."""
    return set(re.findall(r'^\.TP\n\.[A-Z]+\s+"?([a-z]+)', roff, re.MULTILINE))


def requests_in_help(text):
    """kt57-ctl's requests and what each takes, from the lines under its usage."""
    return {m.group(1): m.group(2) for m in re.finditer(r"^  ([a-z]+)(?: ([A-Z|]+))?\s{2,}", text, re.MULTILINE)}


def compare(what, expected, found, problems):
    for missing in sorted(expected - found):
        problems.append(f"{what} does not name {missing}")
    for extra in sorted(found - expected):
        problems.append(f"{what} names {extra}, which --help does not")


def check_program(name, path, source, problems):
    result = subprocess.run([path, "--help"], capture_output=True, text=True, timeout=30)
    if result.returncode != 0 or result.stderr:
        problems.append(f"{name} --help exits {result.returncode} and says {result.stderr!r}")
        return
    help_text = result.stdout
    page_name, document_name, usage_in_document = PAGES[name]
    sections = man_sections(source / "packaging" / "man" / page_name)
    document = (source / "docs" / document_name).read_text(encoding="utf-8")

    helped = options_in(help_text)
    usage = help_text.splitlines()[0].removeprefix("usage: ")
    compare(f"{page_name} OPTIONS", helped, options_in(sections.get("OPTIONS", "")), problems)
    compare(f"{page_name} SYNOPSIS", options_in(usage) - EVERY_PROGRAM,
            options_in(sections.get("SYNOPSIS", "")) - EVERY_PROGRAM, problems)
    for option in sorted(helped - EVERY_PROGRAM):
        if not re.search(r"(?<![\w-])" + re.escape(option) + r"(?![\w-])", document):
            problems.append(f"docs/{document_name} does not name {name}'s {option}")
    if usage_in_document and usage not in document:
        problems.append(f"docs/{document_name} does not show the usage line '{usage}'")

    if name == "kt57-ctl":
        requests = requests_in_help(help_text)
        if not requests:
            problems.append("kt57-ctl --help lists no requests")
        synopsis = set(re.findall(r"kt57-ctl ([a-z]+)", sections.get("SYNOPSIS", "")))
        compare(f"{page_name} SYNOPSIS's requests", set(requests), synopsis, problems)
        compare(f"{page_name} REQUESTS", set(requests), paragraph_heads(sections.get("REQUESTS", "")), problems)
        compare(f"docs/{document_name}'s kt57-ctl lines", set(requests),
                set(re.findall(r"kt57-ctl ([a-z]+)", document)), problems)
        check_requests_taken(path, requests, problems)


def check_requests_taken(path, requests, problems):
    """With no kt57d to answer, a request kt57-ctl takes ends in 1 (not running), a refused one in 2."""
    with tempfile.TemporaryDirectory() as runtime:
        environment = dict(os.environ, XDG_RUNTIME_DIR=runtime)
        for request, argument in requests.items():
            command = [path, request] + ([SAMPLE_ARGUMENTS[argument]] if argument else [])
            result = subprocess.run(command, capture_output=True, text=True, timeout=30, env=environment)
            if result.returncode != 1:
                problems.append(f"'{' '.join(command[1:])}' exits {result.returncode}: {result.stderr.strip()}")


def main():
    source = pathlib.Path(sys.argv[1])
    problems = []
    for entry in sys.argv[2:]:
        name, path = entry.split("=", 1)
        check_program(name, path, source, problems)
    for problem in problems:
        print(f"FAIL: {problem}")
    if not problems:
        print("every --help, manual page and document name the same options")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
