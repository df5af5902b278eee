#include "format/appidentity.h"

#include <QCoreApplication>

void setApplicationIdentity()
{
    QCoreApplication::setOrganizationName(QStringLiteral("VANT"));
    QCoreApplication::setApplicationName(QStringLiteral("Device-Configurator"));
}
