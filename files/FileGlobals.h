#pragma once
// Puts every global of the program-file and parameter-table code back to its state at
// program start (tests run many cases in one process).

void ResetFileGlobals();
