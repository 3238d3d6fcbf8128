// The events file of kt57-run: one event a line, "<ms> <event> [args]", '#' starting a comment
// where it begins a word, and expectations, "<ms>[..[ms]] expect <what>". See docs/kt57-run.md for
// the events, the expectations and their arguments.
#pragma once
#include <string>
#include <vector>

#include "platform/headless/headless_event.h"
#include "tools/kt57-run/expectation.h"

namespace kt57 {

struct EventsFile {
    std::vector<HeadlessEvent> events;       // in file order (the run orders them by time)
    std::vector<Expectation> expectations;   // in file order
};

// Parses the whole text of an events file. On the first bad line returns false with
// "<name>:<line>: <message>" in error.
bool parseEventsFile(const std::string& text, const std::string& name, EventsFile& file, std::string& error);

// Reads and parses the events file at path. False with one line for the user in error:
// "kt57-run: PATH: cannot read the events file: reason" or "PATH:LINE: message".
bool readEventsFile(const std::string& path, EventsFile& file, std::string& error);

// The same for a rehearsal: the events alone, the expectations read and set aside.
bool parseEvents(const std::string& text, const std::string& name, std::vector<HeadlessEvent>& events,
                 std::string& error);

// Decodes a word written like a trace frame (device/byte_escapes.h), \r, \n and \\ included.
bool decodeFrameWord(const std::string& word, std::string& bytes);

}  // namespace kt57
