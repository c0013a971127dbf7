#pragma once

#include "logging.h"

// The history of runs: its database and the writer thread.
Q_DECLARE_LOGGING_CATEGORY(lcHistory)
