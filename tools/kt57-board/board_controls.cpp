#include "tools/kt57-board/board_controls.h"

#include <cstdio>

#include "board/apply_board_control.h"
#include "board/board_control.h"

namespace kt57 {

ControlOutcome applyControlLine(PtyBoard& board, const char* line) {
    ControlOutcome outcome;
    const BoardControl control = parseBoardControl(line, BoardControlFace::Console);
    switch (control.kind) {
    case BoardControlKind::Invalid:
        describeBoardControlError(control, outcome.problem, sizeof outcome.problem);
        return outcome;
    case BoardControlKind::Quit:
        outcome.quit = true;
        return outcome;
    case BoardControlKind::Help:
        outcome.help = boardControlHelp(BoardControlFace::Console);
        return outcome;
    case BoardControlKind::Inject:
        if (!board.isPlugged()) std::snprintf(outcome.problem, sizeof outcome.problem, "unplugged, nothing injected");
        break;
    case BoardControlKind::Mute:
        std::snprintf(outcome.note, sizeof outcome.note, "muted");
        break;
    case BoardControlKind::Unmute:
        std::snprintf(outcome.note, sizeof outcome.note, "unmuted");
        break;
    case BoardControlKind::Latency:
        std::snprintf(outcome.note, sizeof outcome.note, "latency    %u ms",
                      static_cast<unsigned>(control.latencyMilliseconds));
        break;
    case BoardControlKind::Fail:
    case BoardControlKind::Heal:
    case BoardControlKind::Serial:
        std::snprintf(outcome.note, sizeof outcome.note, "%s", line);
        break;
    default:
        break;
    }
    applyBoardControl(board.session, control, outcome.problem, sizeof outcome.problem);
    // Injected bytes and a changed switch reach the terminal now, not at the next reply.
    board.service();
    return outcome;
}

}  // namespace kt57
