#pragma once

// How Help finds its page: pure text work, no process started and nothing opened, so
// that the command lines of both platforms can be checked on either.

#include <QString>

namespace vellox {

inline constexpr const char* HelpFileName = "generator.chm"; // Windows HTML Help file
inline constexpr const char* HelpPageName = "generator.html"; // the page elsewhere

// The program's folder as Windows reports it, from Qt's form of it ("C:/Program Files/x"):
// backslashes, and no trailing separator except at the root of a drive ("C:\").
QString windowsProgramFolder(const QString& applicationDirPath);

// "hh.exe ", the folder and "\generator.chm", nothing quoted. At a drive's root the
// root's separator stays, so two separators stand together ("C:\\generator.chm").
QString windowsHelpCommandLine(const QString& windowsFolder);

// The help page in the program's folder: <folder>/generator.html.
QString helpPagePath(const QString& programFolder);

// What the user is told when the page cannot be shown: where it lies.
QString helpNotOpenedMessage(const QString& pagePath);

} // namespace vellox
