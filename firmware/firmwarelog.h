#pragma once

#include <QLoggingCategory>

// The firmware upgrade's steps.
Q_DECLARE_LOGGING_CATEGORY(lcFirmware)
