// What a backward demo seek cannot read back from the records: each history rider's foot_down
// and down flag.
#pragma once

// Forgets every noted value (a demo opened or closed).
void demo_carry_clear();
// Notes the history riders' foot_down and down flag as they stand at the end of `tick`, the
// first time a tick that far on is reached.
void demo_carry_note(int tick);
// Puts back on each history rider the values noted for `tick` (nothing when that tick was
// never reached).
void demo_carry_restore(int tick);
