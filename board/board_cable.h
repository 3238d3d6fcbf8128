// The physical side of a transport that has one, such as a pseudo-terminal: the session connects
// it as the board is plugged in and disconnects it as the board is pulled out.
#pragma once
#include <cstddef>

namespace kt57 {

class BoardCable {
public:
    virtual ~BoardCable() = default;
    // False, with one line in error, keeps the board unplugged.
    virtual bool connectCable(char* error, size_t errorCapacity) = 0;
    virtual void disconnectCable() = 0;
};

}  // namespace kt57
