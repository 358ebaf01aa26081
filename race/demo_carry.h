// What a backward demo seek cannot read back from the records: each history rider's foot_down.
#pragma once

// Forgets every noted value (a demo opened or closed).
void demo_carry_clear();
// Notes the history riders' foot_down as it stands at the end of `tick`, the first time a tick
// that far on is reached.
void demo_carry_note(int tick);
// Puts back on each history rider the foot_down noted for `tick` (nothing when that tick was
// never reached).
void demo_carry_restore(int tick);
