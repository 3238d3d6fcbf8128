#include "board/apply_board_control.h"

namespace kt57 {

bool applyBoardControl(BoardSession& session, const BoardControl& control, char* error, size_t errorCapacity) {
    switch (control.kind) {
    case BoardControlKind::Input:
        session.setInputs(control.inputs);
        break;
    case BoardControlKind::Latency:
        session.latencyMilliseconds = static_cast<int>(control.latencyMilliseconds);
        break;
    case BoardControlKind::Unplug:
        session.unplug();
        break;
    case BoardControlKind::Plug:
        return session.plug(error, errorCapacity);
    case BoardControlKind::Mute:
        session.model.muted = true;
        break;
    case BoardControlKind::Unmute:
        session.model.muted = false;
        break;
    case BoardControlKind::Fail:
    case BoardControlKind::Heal:
        session.faults.fails(control.call) = control.kind == BoardControlKind::Fail;
        break;
    case BoardControlKind::Serial:
        session.setSerialNumber(control.serialNumber);
        break;
    case BoardControlKind::Inject:
        session.inject(control.bytes, control.size);
        break;
    case BoardControlKind::Empty:
    case BoardControlKind::Quit:
    case BoardControlKind::Help:
    case BoardControlKind::Invalid:
        break;
    }
    return true;
}

}  // namespace kt57
