#pragma once

#include "logging.h"

// The firmware upgrade's steps.
Q_DECLARE_LOGGING_CATEGORY(lcFirmware)
