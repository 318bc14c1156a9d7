#pragma once

// Called first thing in main(), before Qt looks at the environment: where a
// service or a cron job starts the program without HOME, the per-user folders
// (backups, configuration) would otherwise land at the file system's root.
void PrepareStationEnvironment();
