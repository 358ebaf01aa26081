// Sound output. The sound drivers join with the platform's sound Parts; until then no output
// opens and the game runs silent.
#include "core/sound_output.h"

void sound_output_open() {}

void sound_output_update() {}

void sound_output_record_tick() {}

void sound_output_close() {}
