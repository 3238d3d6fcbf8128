#include "tools/common/board_waves.h"

#include "board/pin_name.h"

namespace kt57 {

namespace {

int addPins(VcdWriter& vcd, PinSide side, uint32_t value) {
    int first = -1;
    for (int pin = 0; pin < pinCount; ++pin) {
        // "out0", not "out[0]": the pins are separate lines on the board, not one number.
        const int wire = vcd.addWire(pinNameText({side, pin}), (value >> pin & 1u) != 0);
        if (pin == 0) first = wire;
    }
    return first;
}

}  // namespace

BoardWaves::BoardWaves(VcdWriter& vcd, uint32_t outputs, uint32_t inputs)
    : vcd_(vcd), firstOutput_(addPins(vcd, PinSide::Output, outputs)), firstInput_(addPins(vcd, PinSide::Input, inputs)) {}

void BoardWaves::record(int64_t time, const BoardEvent& event) {
    if (event.kind == BoardEventKind::Outputs) vcd_.setBits(time, firstOutput_, pinCount, event.value);
    if (event.kind == BoardEventKind::Inputs) vcd_.setBits(time, firstInput_, pinCount, event.value);
}

}  // namespace kt57
