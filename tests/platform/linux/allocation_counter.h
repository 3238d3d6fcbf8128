// Counts the test process's heap allocations through operator new and malloc-free paths of C++.
#pragma once

namespace kt57::test {

long allocationsSoFar();

}  // namespace kt57::test
