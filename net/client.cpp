// The race-server client's connection state machine: connecting, the handshake, racing, the
// silence bounds and leaving.
#include "net/client.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/console.h"
#include "core/digest.h"
#include "core/globals.h"
#include "core/settings.h"
#include "core/widget_data.h"
#include "net/packets.h"
#include "net/reliable.h"
#include "net/wire.h"
#include "race/race.h"

net_hook_table net_hooks = {};
char net_recent_servers[16][128];
const char *connect_address = nullptr;
const char *server_password = nullptr;

// The connect target a redirect leaves behind.
static char redirect_connect[128];

double net_now() {
    return net_hooks.now ? net_hooks.now() : frame_clock;
}

static uint32_t calendar_seconds() {
    return net_hooks.calendar_time ? net_hooks.calendar_time() : (uint32_t)time(nullptr);
}

int net_connected() {
    return net_client.socket >= 0;
}

// Sends one datagram to the server: 1, or 0 after printing the error name (when there is one).
static int send_packet(const unsigned char *data, int length) {
    if (net_send_to(net_client.socket, data, length, &net_client.server_address) == length) return 1;
    if (net_last_error) console_printf("sendto error (%.100s)", net_last_error);
    return 0;
}

// The head every packet after the contact starts with: type, client slot, connection word.
static int packet_head(unsigned char *p, int type) {
    p[0] = (unsigned char)type;
    wire_put32(p + 1, (uint32_t)net_client.slot);
    wire_put32(p + 5, net_client.connection_word);
    return 9;
}

void net_send_contact() {
    unsigned char p[NET_CONTACT_BYTES] = {};
    p[0] = NET_CONTACT;
    wire_put32(p + 1, server_password ? 1u : 0u);
    wire_put32(p + 9, 41);
    wire_put32(p + 13, net_client.nonce);
    if (send_packet(p, sizeof p)) console_print("Contacting server\n");
}

int net_send_disconnect() {
    unsigned char p[NET_DISCONNECT_BYTES];
    packet_head(p, NET_DISCONNECT);
    return net_send_to(net_client.socket, p, sizeof p, &net_client.server_address) == (int)sizeof p;
}

// A 13-byte packet: the head and one word.
static int send_word_packet(int type, uint32_t word) {
    unsigned char p[13];
    wire_put32(p + packet_head(p, type), word);
    return send_packet(p, sizeof p);
}

// The password proof: RIPEMD-160 of the password and the connection word, bytes 3..0.
static void password_proof(unsigned char out[4]) {
    memset(out, 0, 4);
    if (!server_password) return;
    ripemd160_state s;
    ripemd160_init(&s);
    ripemd160_update(&s, server_password, strlen(server_password));
    unsigned char word[4];
    wire_put32(word, net_client.connection_word);
    ripemd160_update(&s, word, 4);
    ripemd160_final(&s);
    for (int i = 0; i < 4; i++) out[i] = s.digest[3 - i];
}

int net_client_info_text(char *buffer, int room) {
    if (room <= 0) return 0;
    const char *model = choice_text(&settings.bike);
    if (!model) model = "";
    const char *fields[7] = {model,
                             settings.rider_texture,
                             settings.bike_texture,
                             settings.wheel_texture,
                             settings.head_texture,
                             settings.rider_number_text,
                             settings.rider_name_text};
    size_t total = 6;
    for (const char *f : fields) total += strlen(f);
    int n;
    if (total < (size_t)room)
        n = snprintf(buffer, (size_t)room, "%s|%s|%s|%s|%s\n%s\n%s", fields[0], fields[1], fields[2],
                     fields[3], fields[4], fields[5], fields[6]);
    else
        n = snprintf(buffer, (size_t)room, "%s\n%s\n%s", fields[0], fields[5], fields[6]);
    return n < 0 ? 0 : n >= room ? room - 1 : n;
}

static void send_client_info() {
    unsigned char p[NET_CLIENT_INFO_HEAD + NET_CLIENT_INFO_ROOM] = {};
    packet_head(p, NET_CLIENT_INFO);
    password_proof(p + 9);
    int n = net_client_info_text((char *)p + NET_CLIENT_INFO_HEAD, NET_CLIENT_INFO_ROOM);
    if (send_packet(p, NET_CLIENT_INFO_HEAD + n)) {
        console_print("Sending client info\n");
        net_client.client_info_changed = 0;
    }
}

static void send_bike_ack() {
    unsigned char p[17];
    int at = packet_head(p, NET_BIKE_ACK);
    wire_put32(p + at, net_client.race_id);
    wire_put32(p + at + 4, net_client.last_rider_index);
    if (send_packet(p, sizeof p))
        console_printf("Sending bike acknowledgment %d\n", (int)net_client.last_rider_index);
}

static void send_state_packet(int slot) {
    unsigned char p[NET_STATE_PACKET_BYTES];
    int at = packet_head(p, NET_STATE);
    wire_put32(p + at, net_client.race_id);
    wire_put32(p + at + 4, net_client.latest_server_tick);
    wire_put32(p + at + 8, (uint32_t)race_state.current_tick);
    net_race.pack(slot, p + 21);
    send_packet(p, sizeof p);
}

int net_request_restart() {
    if (net_client.socket < 0 || net_client.state != NET_STATE_RACING) return 0;
    if (!send_word_packet(NET_RESTART_REQUEST, 1)) return 0;
    console_print("Requesting restart\n");
    return 1;
}

int net_send_chat(const char *text) {
    if (!net_connected()) {
        console_print("Not connected to server");
        return 0;
    }
    return net_queue_message(NET_MSG_TEXT, text, (int)strlen(text));
}

// Racing, every tick: the timing report, the state packet, "server,info" while watching and
// the changed client info.
static void racing_tick(double now) {
    int slot = net_client.slot;
    int riding = slot >= 0 && slot < NET_NO_SLOT && net_client.local_slot != NET_NO_SLOT &&
                 net_race.rider_present(slot);
    if (riding) {
        uint32_t count = (uint32_t)net_race.timing_count(slot);
        if (count != net_client.reported_timing_count) {
            net_client.reported_timing_count = count;
            if (count >= 1) {
                unsigned char m[12];
                wire_put32(m, net_client.race_id);
                wire_put32(m + 4, count - 1);
                wire_put32(m + 8, (uint32_t)net_race.timing_tick(slot, (int)count - 1));
                net_queue_message(NET_MSG_RIDER_VALUES, m, sizeof m);
            }
        }
        if (race_state.current_tick % 4 == 0) send_state_packet(slot);
    }
    if (net_client.local_slot == NET_NO_SLOT && now >= net_client.next_info_time) {
        net_client.next_info_time = now + 10.0;
        net_queue_message(NET_MSG_TEXT, "server,info", 11);
    }
    if (net_client.client_info_changed && !(net_hooks.info_held && net_hooks.info_held())) {
        char text[NET_RELIABLE_MAX];
        int n = net_client_info_text(text, NET_RELIABLE_MAX - 2 - (NET_RELIABLE_HEAD + 1));
        if (net_queue_message(NET_MSG_CLIENT_INFO, text, n)) net_client.client_info_changed = 0;
    }
}

// State 15: the disconnect at most NET_DISCONNECT_TRIES times, then offline.
static void disconnecting_step() {
    if (net_client.disconnect_sends >= NET_DISCONNECT_TRIES) {
        console_print("Disconnected\n");
        net_reset_connection();
        return;
    }
    net_client.disconnect_sends++;
    if (net_send_disconnect())
        console_print("Disconnecting\n");
    else if (net_last_error)
        console_printf("sendto error (%.100s)", net_last_error);
}

static void state_action(double now) {
    switch (net_client.state) {
    case NET_STATE_CONTACTING: net_send_contact(); break;
    case NET_STATE_CLIENT_INFO: send_client_info(); break;
    case NET_STATE_TRACK_ACK:
        if (send_word_packet(NET_TRACK_ACK, net_client.race_id))
            console_print("Sending track acknowledgment\n");
        break;
    case NET_STATE_BIKE_ACK: send_bike_ack(); break;
    case NET_STATE_READY: send_word_packet(NET_READY, net_client.race_id); break;
    case NET_STATE_RACING: racing_tick(now); break;
    case NET_STATE_RESTARTING:
        if (send_word_packet(NET_RESTART, net_client.race_id)) console_print("Sending restart\n");
        break;
    case NET_STATE_DISCONNECTING: disconnecting_step(); break;
    default: net_client.state = NET_STATE_DISCONNECTING; break;
    }
}

// Opens the connection to the connect target: 1, or 0 with the target cleared.
static int connect_to_target(double now) {
    if (net_hooks.fixed_files_match && !net_hooks.fixed_files_match()) {
        console_print("Fixed file mismatch\n");
        connect_address = nullptr;
        return 0;
    }
    net_address address;
    if (!net_resolve(&address, connect_address, NET_DEFAULT_PORT)) {
        console_print("Can't resolve address\n");
        connect_address = nullptr;
        return 0;
    }
    int s = net_open_socket();
    if (s < 0) {
        console_print("Can't create socket\n");
        connect_address = nullptr;
        return 0;
    }
    net_client.socket = s;
    net_client.server_address = address;
    net_client.state = NET_STATE_CONTACTING;
    net_client.nonce = calendar_seconds();
    net_client.last_send_time = now;
    net_client.last_heard = now;
    net_client.disconnect_sends = 0;
    net_send_contact();
    return 1;
}

void net_client_update() {
    if (!connect_address) return;
    double now = net_now();
    if (net_client.socket < 0 && !connect_to_target(now)) return;
    if (net_client.server_tick_estimate > 0) net_client.server_tick_estimate++;
    net_receive();
    if (net_client.socket < 0) return;
    net_transfer_step();
    net_reliable_resend();
    net_print("");   // the summary of lines held back, once a second
    if (net_client.redirect_target[0] && net_client.redirect_time > 0.0 &&
        now >= net_client.redirect_time) {
        net_client.redirect_time = 0.0;
        net_client.state = NET_STATE_DISCONNECTING;
        net_client.last_send_time = NET_SEND_NOW;
        console_printf("Redirecting to '%s'\n", net_client.redirect_target);
    }
    if (net_client.state != NET_STATE_DISCONNECTING &&
        now - net_client.last_heard >= NET_SILENCE_SECONDS) {
        console_print("Server not responding\n");
        net_client.state = NET_STATE_DISCONNECTING;
        net_client.last_send_time = NET_SEND_NOW;
    }
    if (net_client.state != NET_STATE_RACING) {
        if (now < net_client.last_send_time + net_client.resend_interval) return;
        net_client.last_send_time = now;
    }
    state_action(now);
}

void net_disconnect() {
    if (net_client.socket >= 0) {
        if (net_send_disconnect())
            console_print("Disconnecting\n");
        else if (net_last_error)
            console_printf("sendto error (%.100s)", net_last_error);
    }
    net_reset_connection();
}

void net_reset_connection() {
    net_close_socket(net_client.socket);
    net_client.socket = -1;
    connect_address = nullptr;
    net_client.state = NET_STATE_CONTACTING;
    net_client.slot = NET_NO_SLOT;
    net_client.connection_word = 0;
    net_client.race_id = 0;
    net_client.race_time = net_client.race_laps = net_client.race_word = 0;
    net_client.latest_server_tick = 0;
    net_client.server_tick_estimate = 0;
    net_client.reported_timing_count = 0;
    net_client.last_send_time = NET_SEND_NOW;
    net_client.resend_interval = 1.0;
    net_client.next_sequence = net_client.expected_sequence = 0;
    net_client.local_slot = NET_NO_SLOT;
    net_client.client_info_changed = 0;
    net_client.arcade_forbidden = 0;
    net_client.disconnect_sends = 0;
    net_client.last_rider_index = NET_NO_SLOT;
    off_course_bias = 10.0f;
    off_course_scale = 1.5f;
    memset(fall_delay_table, 0, sizeof fall_delay_table);
    net_reliable_reset();
    net_delayed_clear();
    net_transfer_close();
    if (net_client.redirect_target[0] && net_client.redirect_time == 0.0) {
        snprintf(redirect_connect, sizeof redirect_connect, "%s", net_client.redirect_target);
        connect_address = redirect_connect;
    }
    net_client.redirect_target[0] = 0;
    net_client.redirect_time = 0.0;
}

void net_take_redirect(const char *target) {
    char kept[128];
    snprintf(kept, sizeof kept, "%s", target);
    net_client.redirect_target[0] = 0;
    net_reset_connection();
    memcpy(redirect_connect, kept, sizeof kept);
    connect_address = redirect_connect;
}
