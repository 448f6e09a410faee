#include "HelpCommand.h"

#include <QDir>

namespace vellox {

namespace {
    bool isDriveRoot(const QString& folder)
    {
        return folder.size() == 3 && folder.at(0).isLetter() && folder.at(1) == u':'
            && folder.at(2) == u'\\';
    }
}

QString windowsProgramFolder(const QString& applicationDirPath)
{
    QString folder = applicationDirPath;
    folder.replace(u'/', u'\\');
    if (folder.size() == 2 && folder.at(0).isLetter() && folder.at(1) == u':')
        folder.append(u'\\');
    while (folder.endsWith(u'\\') && !isDriveRoot(folder) && folder.size() > 1)
        folder.chop(1);
    return folder;
}

QString windowsHelpCommandLine(const QString& windowsFolder)
{
    return QStringLiteral("hh.exe ") + windowsFolder + u'\\' + QString::fromLatin1(HelpFileName);
}

QString helpPagePath(const QString& programFolder)
{
    return QDir::cleanPath(programFolder + u'/' + QString::fromLatin1(HelpPageName));
}

QString helpNotOpenedMessage(const QString& pagePath)
{
    return QStringLiteral("The help page could not be opened.\nIt lies at ") + pagePath;
}

} // namespace vellox
