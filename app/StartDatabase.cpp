#include "app/StartDatabase.h"

#include "engine/StartArgument.h"

#include <QDir>
#include <QFile>

std::string DatabaseArgument;

std::string databaseConnectionString()
{
    return engine::startConnectionString(DatabaseArgument,
                                         QFile::encodeName(QDir::currentPath()).toStdString());
}
