// The race-server client's values that the race reads (the client in net/ fills them): the
// socket, the slots of this client, and the tick of the newest state received per slot.
#pragma once

#include <netinet/in.h>

#include <cstdint>

struct net_client_state {
    int socket;                    // -1 when offline
    int slot;                      // the client's rider slot, 160 for none
    uint32_t connection_word;      // given by the server's accept
    int server_tick;               // the server's latest tick
    char send_error[128];          // text of the last failed send, "" for none
    int arcade_forbidden;          // the server forbids arcade physics
    sockaddr_in server_address;
    int local_slot;                // the slot the local controls drive, 160 while watching
};

extern net_client_state net_client;
// Per slot: the race tick of the newest state the server sent for it.
extern int net_slot_state_tick[160];
