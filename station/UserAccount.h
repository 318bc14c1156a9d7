#pragma once

#include <QString>

// The name of the account the program runs under, as the system keeps it:
// what an audit record names when the environment gives no login name (a
// service, cron, a shell without a terminal). Empty when the system cannot say.
QString AccountName();
