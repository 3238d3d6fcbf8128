// The JSON the rehearsal page reads. Written by hand: a handful of flat shapes, documented where
// the server answers them (studio_server.h).
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "tools/kt57-run/studio_rehearsal.h"

namespace kt57 {

// text as a JSON string, quotes included. The bytes are UTF-8 and pass as they are; the quote,
// the backslash and the control characters are escaped.
std::string jsonString(std::string_view text);

// {"at":MS,"screen":"...","state":"...","cells":[{"y":Y,"column":C,"width":W,"red":B,"text":"..."},...]}
//  "position":P,"whole":B after "at"
std::string momentJson(const RehearsalMoment& moment);

// [{"signal":"out3"|"line"|"running","initial":V,"changes":[[MS,V],...],"busy":[MS,...]},...]
std::string tracesJson(const std::vector<SignalTrace>& traces);

// {"end":MS,"endedEarly":B,"errorStops":[{"at":MS,"line":N,"stop":"..."}],"running":[[MS,V],...],
//  "events":[{"at":MS,"kind":"key","line":"...","whatIf":B}],"differs":B,"firstDifference":MS}
// Program lines as the screen numbers them.
std::string marksJson(const RehearsalMarks& marks);

// {"pin":"out3","at":MS,"level":V,"changed":B,"changedAt":MS,"hasNext":B,"nextAt":MS,"nextLevel":V,
//  "text":"...","chain":[{"kind":"frame","at":MS,"line":N,"lineText":"...","frame":"...","value":"HHHHHH",
//  "eventsLine":N}]}: line 0 when no program line.
std::string whyJson(const RehearsalWhy& why);

// The name of a signal for the page: a pin's, "line" or "running"; and back.
std::string signalName(Signal signal);
bool parseSignal(std::string_view name, Signal& signal);

}  // namespace kt57
