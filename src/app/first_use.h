#pragma once
// The installed program sets up the embedded database on an account that has
// no data source FAQ yet, as ./run does in a source checkout.

#include <QString>

namespace first_use {

// Whether the driver manager knows a data source FAQ, the user's or the system's.
bool dataSourceExists();

// The set-up command installed beside the program; empty in a build tree,
// where ./run does the set-up.
QString setupCommand();

// Runs "SETUP sqlite" when SETUP is given and no data source FAQ exists.
// A set-up that fails is reported on standard error; the program then starts
// as it would without it, and its first action names the missing data source.
void setUpIfNeeded(const QString& setup);

} // namespace first_use
