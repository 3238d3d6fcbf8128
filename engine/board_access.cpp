#include "engine/board_access.h"

namespace kt57 {

void openBoard(Sequencer& s) {
    s.link.linkState = openLink(s.link);
    s.observer->linkOpened(static_cast<int>(s.link.linkState));
}

void releaseBoard(Sequencer& s) {
    if (releaseLink(s.link)) s.run.connectFailures = 0;
}

}  // namespace kt57
