#pragma once

#include <QLoggingCategory>

// Frames, reports and the bus scan.
Q_DECLARE_LOGGING_CATEGORY(lcProtocol)
