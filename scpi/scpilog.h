#pragma once

#include <QLoggingCategory>

// The SCPI server: clients coming and going, and each line and answer.
Q_DECLARE_LOGGING_CATEGORY(lcScpi)
