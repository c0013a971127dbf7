#pragma once

#include <QLoggingCategory>

// The window: its chart, pages and controls.
Q_DECLARE_LOGGING_CATEGORY(lcUi)
