// The rider table: which of the 160 slots hold a bike, and the operations on a slot's bike that
// start-up, the race and the frame loop call.
#pragma once

constexpr int RIDER_SLOTS = 160;
constexpr int RIDER_NO_SLOT = 160;

// 1 while the slot holds a loaded bike.
extern int rider_present[RIDER_SLOTS];

// Empties every slot.
void rider_table_init();
// Frees what the slot's bike holds and empties the slot.
void bike_free(int slot);
// Moves all of the bike's bodies by the offset.
void bike_translate(int slot, float dx, float dy, float dz);
// Non-zero when the bike touches the ground (its contacts join the contact group).
int bike_ground_contacts(int slot);
