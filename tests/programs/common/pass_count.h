// The pass count of a program that real-window scenarios start: the environment variable naming the
// file into which it writes how many passes of its frame loop it has completed ("N\n", after every pass).
#pragma once

#define PASS_COUNT_VARIABLE "VELK_PASS_COUNT_FILE"
