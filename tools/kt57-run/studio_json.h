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

// {"at":MS,"position":P,"whole":B,"screen":"...","state":"...","line":N,
//  "cells":[{"y":Y,"column":C,"width":W,"red":B,"text":"..."},...]}: line 0 while stopped.
std::string momentJson(const RehearsalMoment& moment);

// [{"signal":"out3"|"line"|"running","initial":V,"changes":[[MS,V],...],"busy":[MS,...]},...]
std::string tracesJson(const std::vector<SignalTrace>& traces);

// {"end":MS,"endedEarly":B,"errorStops":[{"at":MS,"line":N,"stop":"..."}],"running":[[MS,V],...],
//  "events":[{"at":MS,"kind":"key","line":"...","whatIf":B}],"differs":B,"firstDifference":MS,
//  "expectations":N,"failed":[{"at":MS,"finding":"FILE:LINE:COL: error: ...","pin":"out3"|null}]}
// Program lines as the screen numbers them.
std::string marksJson(const RehearsalMarks& marks);

// {"pin":"out3","at":MS,"level":V,"changed":B,"changedAt":MS,"hasNext":B,"nextAt":MS,"nextLevel":V,
//  "text":"...","chain":[{"kind":"frame","at":MS,"line":N,"lineText":"...","frame":"...","value":"HHHHHH",
//  "eventsLine":N,"listing":{"x":X,"y":Y,"width":W,"height":H}}]}: line 0, and no listing, when no
//  program line; the listing is the line's cell in the console's listing, in canvas pixels.
std::string whyJson(const RehearsalWhy& why);

// {"lines":[{"label":N,"text":"..."},...]}: line 1 first; label 0 when the line has none.
std::string programJson(const std::vector<ProgramLineText>& lines);

// The name of a signal for the page: a pin's, "line" or "running"; and back.
std::string signalName(Signal signal);
bool parseSignal(std::string_view name, Signal& signal);

}  // namespace kt57
