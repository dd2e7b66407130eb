#pragma once
// Removes the working wave files a run leaves in the user's temporary
// folder: one per section slot ("AST_temp_<section name>.wav") and the work
// copy "AST_temp.wav". Nothing else in the folder is touched; files that do
// not exist or cannot be removed are passed over silently.

void removeTemporaryWaves();
