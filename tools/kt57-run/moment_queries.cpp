#include "tools/kt57-run/moment_queries.h"

#include <filesystem>

#include "sequencer/loader.h"
#include "shell/mode_file.h"
#include "timeline/pin_why.h"
#include "timeline/timeline.h"
#include "tools/common/bounded_file.h"
#include "tools/kt57-run/run_trace.h"

namespace kt57 {

bool parseWhyQuery(const std::string& text, MomentQuery& query) {
    const size_t at = text.find('@');
    if (at == std::string::npos || at + 1 >= text.size() || text.size() - at - 1 > 15) return false;
    MomentQuery parsed;
    parsed.kind = MomentQuery::Kind::Why;
    if (!parsePinName(std::string_view(text).substr(0, at), parsed.pin)) return false;
    for (size_t i = at + 1; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        parsed.at = parsed.at * 10 + (text[i] - '0');
    }
    query = parsed;
    return true;
}

bool readRehearsalFiles(const std::string& directory, RehearsalInputs& inputs, std::string& error) {
    const struct {
        const char* name;
        RehearsalFile* file;
    } files[] = {{programFileName, &inputs.program}, {modeFileName, &inputs.mode}};
    for (const auto& file : files) {
        const std::string path = (std::filesystem::path(directory) / file.name).string();
        std::string bytes;
        std::string why;
        const FileReadResult read = readBoundedFile(path.c_str(), bytes, why);
        if (read == FileReadResult::CannotOpen && !std::filesystem::exists(path)) {
            *file.file = RehearsalFile{};
            continue;
        }
        if (read != FileReadResult::Read) {
            error = path + ": cannot be read" + (why.empty() ? "" : ": " + why);
            return false;
        }
        *file.file = RehearsalFile::of(std::move(bytes));
    }
    return true;
}

bool answerMomentQueries(const RehearsalInputs& inputs, const std::vector<MomentQuery>& queries, std::FILE* out,
                         std::string& error) {
    Timeline timeline;
    if (!timeline.build(inputs, error)) return false;
    for (const MomentQuery& query : queries) {
        if (query.kind == MomentQuery::Kind::Why) {
            std::fputs(describePinWhy(timeline, explainPin(timeline, query.pin, query.at)).c_str(), out);
            continue;
        }
        HeadlessRun& run = timeline.seek(query.at);
        TraceWriter trace(out, run.clock());
        trace.screen(run.canvas());
        trace.line(formatState(run.sequencer()));
    }
    return true;
}

}  // namespace kt57
