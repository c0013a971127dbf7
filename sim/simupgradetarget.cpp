#include "simupgradetarget.h"
// The interface has no code of its own; this keeps the layer a library until
// the simulator's sources land.
