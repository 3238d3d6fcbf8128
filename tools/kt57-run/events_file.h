// The events file of kt57-run: one event a line, "<ms> <event> [args]", '#' starting a comment
// where it begins a word. See docs/kt57-run.md for the events and their arguments.
#pragma once
#include <string>
#include <vector>

#include "platform/headless/headless_event.h"

namespace kt57 {

// Parses the whole text of an events file. On the first bad line returns false with
// "<name>:<line>: <message>" in error; events keep file order (the run orders them by time).
bool parseEvents(const std::string& text, const std::string& name, std::vector<HeadlessEvent>& events,
                 std::string& error);

// Reads and parses the events file at path. False with the line kt57-run prints in error: the
// file's refusal ("kt57-run: <path>: cannot read the events file: ..."), or parseEvents' line.
bool readEventsFile(const std::string& path, std::vector<HeadlessEvent>& events, std::string& error);

// Decodes a word written like a trace frame (device/byte_escapes.h), \r, \n and \\ included.
bool decodeFrameWord(const std::string& word, std::string& bytes);

}  // namespace kt57
