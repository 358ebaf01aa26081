// JM models cached by name.
#pragma once

// Deletes the models of older generations (all = 0), or every model (all = 1).
void model_purge(int all);
