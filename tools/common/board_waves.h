// The board's pins in a waveform: out0..out23 and in0..in23 as 1-bit wires, as the board holds
// them. The outputs change when the board takes a 'W' command, the inputs when they are set.
#pragma once
#include <cstdint>

#include "board/board_event.h"
#include "device/board_protocol.h"
#include "tools/common/vcd_writer.h"

namespace kt57 {

class BoardWaves {
public:

    // Declares the 48 wires on vcd (before it is opened), starting from the pins given.
    BoardWaves(VcdWriter& vcd, uint32_t outputs, uint32_t inputs);
    // Records the pins an Outputs or Inputs event reports, at time; other events change no pin.
    void record(int64_t time, const BoardEvent& event);

private:
    VcdWriter& vcd_;
    int firstOutput_;
    int firstInput_;
};

}  // namespace kt57
