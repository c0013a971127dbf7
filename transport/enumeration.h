#pragma once

#include <QStringList>

// The USB stage of discovery: counts the instruments with the given ids and
// keeps the serial number of the last one found, the one the window opens.
struct Enumeration
{
    int count = 0;
    // Empty, or the last matching instrument's serial number alone.
    QStringList serials;
};

Enumeration enumerateInstruments(unsigned short vendorId, unsigned short productId);
