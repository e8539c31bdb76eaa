// The pass count of a program that real-window scenarios start: the environment variable naming the
// file into which it writes how many passes of its frame loop it has completed ("N\n", after every pass).
// And its hold: the environment variable naming the file through which a scenario asks the program to
// hold still once a file of its work has reached a number of lines (WINDOW_SCENARIO::hold_once_lines).
#pragma once

#define PASS_COUNT_VARIABLE "VELK_PASS_COUNT_FILE"
#define HOLD_VARIABLE "VELK_HOLD_FILE"
