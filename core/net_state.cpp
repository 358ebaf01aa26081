// The race-server client's values, offline until a connection opens.
#include "core/net_state.h"

net_client_state net_client = {-1, 160, 0, 0, 0, {}, 160, 0, 0, 0, 0, 0, 0, {}, nullptr, 160,
                               0, 0.0, 1.0, 0, 0.0, 0, 0, 0, "", 0.0, 0.0, 0};
int net_slot_state_tick[160];
int net_slot_role[160];
int net_slot_ping[160];
net_rider_info_record net_rider_info[160];
