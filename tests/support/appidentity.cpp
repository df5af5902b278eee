// Linked into every test: the programs name themselves before anything reads a setting, so the
// tests do the same before any test function runs.
#include "format/appidentity.h"

#include <QCoreApplication>

Q_COREAPP_STARTUP_FUNCTION(setApplicationIdentity)
