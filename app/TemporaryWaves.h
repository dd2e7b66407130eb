#pragma once
// Removes the working wave files a run leaves behind: this process's own
// work folder with the work copy "AST_temp.wav" and the section waves
// "AST_temp_<section name>.wav" in it. Nothing else in the temporary folder
// is touched, in particular not the work files of another copy of the
// program that is still running.

void removeTemporaryWaves();
