#include "logging.h"

#include <pthread.h>

Q_LOGGING_CATEGORY(lcLink, "usbtester.link")
Q_LOGGING_CATEGORY(lcLinkBytes, "usbtester.link.bytes")

namespace Logging {

void setup(bool verbose)
{
    // Later rules win; the environment's QT_LOGGING_RULES is applied after these.
    QLoggingCategory::setFilterRules(verbose ? QStringLiteral("usbtester.*.debug=true\n"
                                                              "usbtester.*.info=true\n"
                                                              "usbtester.link.bytes.debug=false")
                                             : QStringLiteral("usbtester.*.debug=false\n"
                                                              "usbtester.*.info=false"));
}

void nameThisThread(const char *name)
{
    char shortName[16] = {};
    qstrncpy(shortName, name, sizeof shortName);
    pthread_setname_np(pthread_self(), shortName);
}

} // namespace Logging
