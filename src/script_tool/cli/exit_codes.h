#pragma once
// The exit codes of devidudi-script, the ones shellcheck uses: a CI step can
// tell a script with findings from one that could not be read.

constexpr int kExitClean = 0;        // nothing found, or the work is done
constexpr int kExitFindings = 1;     // findings, differences, or a stop
constexpr int kExitUnreadable = 2;   // an input could not be read
constexpr int kExitUsage = 3;        // wrong usage, or not on this platform
