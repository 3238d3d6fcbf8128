// The JSON the rehearsal page reads. Written by hand: a handful of flat shapes, documented where
// the server answers them (studio_server.h).
#pragma once
#include <string>
#include <string_view>

#include "tools/kt57-run/studio_rehearsal.h"

namespace kt57 {

// text as a JSON string, quotes included. The bytes are UTF-8 and pass as they are; the quote,
// the backslash and the control characters are escaped.
std::string jsonString(std::string_view text);

// {"at":MS,"screen":"...","state":"...","cells":[{"y":Y,"column":C,"width":W,"red":B,"text":"..."},...]}
std::string momentJson(const RehearsalMoment& moment);

}  // namespace kt57
