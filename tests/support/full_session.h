#pragma once
// One whole working session, as a person would go through it: Search, click
// the first row, View, Edit FAQ, Save FAQ, Delete (answered YES), Close.
// Returns what went wrong, or an empty list.

#include <QStringList>

class RunningProgram;

QStringList runFullSession(RunningProgram& program);

// Fills table faq with the most entries a 16-bit number allows, straight
// through SQL the database runs itself.
QString fillWithAllNumbersSql(bool postgresql);
