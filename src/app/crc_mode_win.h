// "/crc": writes the launcher checksum of the own executable into "crc.txt"
// in the current directory, for the build that publishes it.
#pragma once

void runCrcMode();
