"""What the benchmark scripts share: their command line, and the example hour they rehearse
(examples/demo with bench/rehearsal-events.txt repeated every minute)."""
import argparse
import os

HOUR_MS = 3_600_000


def arguments(doc):
    """--build, --source and --out, as scripts/bench.sh passes them."""
    parser = argparse.ArgumentParser(description=doc.splitlines()[0])
    parser.add_argument("--build", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--out", required=True)
    return parser.parse_args()


def hour_of_events(source):
    """The minute of operator activity, once a minute for an hour: the events file's lines."""
    minute = []
    with open(os.path.join(source, "bench/rehearsal-events.txt")) as f:
        for line in f:
            words = line.split("#", 1)[0].split()
            if words:
                minute.append((int(words[0]), " ".join(words[1:])))
    return [f"{start + at} {event}\n" for start in range(0, HOUR_MS, 60_000) for at, event in minute]
