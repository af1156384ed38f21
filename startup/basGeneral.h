// The program's entry: the /startup gate, then the splash.
#pragma once

#include <QString>
#include <QStringList>

namespace tavrino {

// The command-line text after the program's name, as one string (arguments joined by blanks).
QString ArgumentString(const QStringList& arguments);

// True when a log-on launch must end at once: the lower-cased argument string is exactly
// "/startup" and the stored AutoStart is 0.
bool EndsAtLogOn(const QString& argumentString, double autoStart);

// Runs the program; returns the process exit status.
int RunProgram(int& argc, char** argv);

}  // namespace tavrino
