// kt57-run --at and --why: questions about moments of the rehearsal, answered from its timeline
// instead of a trace.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "board/pin_name.h"
#include "timeline/rehearsal_inputs.h"

namespace kt57 {

struct MomentQuery {
    enum class Kind : uint8_t { At, Why } kind = Kind::At;
    int64_t at = 0;
    PinName pin;  // for Why
};

// "out3@2500": a pin and a moment in ms. False when text is not one.
bool parseWhyQuery(const std::string& text, MomentQuery& query);

// The program folder's two files, as the core would find them (an absent file is none).
bool readRehearsalFiles(const std::string& directory, RehearsalInputs& inputs, std::string& error);

// Builds the timeline and answers the queries in order: --at as the trace's screen and state
// lines at that moment, --why in sentences. False with error set when the timeline cannot be built.
bool answerMomentQueries(const RehearsalInputs& inputs, const std::vector<MomentQuery>& queries, std::FILE* out,
                         std::string& error);

}  // namespace kt57
