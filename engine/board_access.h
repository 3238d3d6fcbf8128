// Opening and letting go of the board on the sequencer's behalf. The link makes the calls; the
// engine keeps the bookkeeping around them: the observer and the count of failed reopens.
#pragma once

#include "engine/sequencer.h"

namespace kt57 {

// One openLink, its result stored in linkState and told to the observer.
void openBoard(Sequencer& sequencer);
// releaseLink; a board that was let go starts a fresh count of failed reopens.
void releaseBoard(Sequencer& sequencer);

}  // namespace kt57
