// The status every method of the host's interface returns: success, or
// success with a false outcome (the few file methods that report one).
// Outcomes travel in the methods' results; no method fails otherwise.
#pragma once

namespace zephrin {

enum Status : int { kOk = 0, kFalse = 1 };

}  // namespace zephrin
