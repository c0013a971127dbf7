#pragma once

#include "logging.h"

// Test programs: their steps, changes and how they end.
Q_DECLARE_LOGGING_CATEGORY(lcProgram)
