// The check that keeps Install and Uninstall away from an IDE that is running: it keeps its
// settings in memory and writes them back when it closes, undoing the run.
#pragma once

/// Fails with "<IDE> is running (<image>); close it and run again, or add /ignoreide" when
/// the program of a version the run would visit runs: the requested one, or for "All" each
/// installed one. Needs InitInstallEnvironment to have run.
void RefuseWhileIdeRuns();
