// A fake race server for the network tests and the fake-race-server tool: its own packet codec,
// a record of every client datagram, scriptable faults and a hostile mode. Single-threaded: the
// owner calls fake_server_poll between client updates, with its own idea of "now".
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

// One datagram the server received, decoded from its own reading of the packet tables.
struct fake_packet {
    double time;                  // the "now" given to the poll that read it
    int from_stranger;            // 1 when it reached the stranger socket
    sockaddr_in sender;
    std::vector<uint8_t> bytes;   // the whole datagram
    int type;                     // byte 0 (-1 for an empty datagram)
    // Fields, as far as the type has them (0 otherwise).
    uint32_t slot, word;          // client slot and connection word (types 3..18)
    uint32_t race_id;             // types 5, 7, 9, 11, 14; reliable 21 and 27 payloads
    uint32_t password_flag, nonce; // type 0
    uint32_t proof;               // type 3: bytes 9-12 as a little-endian word
    uint32_t rider_index;         // type 7
    uint32_t server_tick, client_tick;  // type 11
    uint32_t sequence;            // types 17 and 18
    int message_type;             // type 17: the message byte (-1 otherwise)
    std::string text;             // type 3 client info, 17 payload (texts, commands)
    std::string error;            // empty when well-formed; else why it is malformed
};

// A fault applied to the server's outgoing datagrams, counted from 1 over everything it sends
// from its main socket after the fault was set (raw sends included).
enum fake_fault_kind { FAKE_DROP, FAKE_DUPLICATE, FAKE_REORDER };
struct fake_fault {
    fake_fault_kind kind;
    int nth;
};

// How the server answers a contact.
enum fake_accept_mode { FAKE_ACCEPT, FAKE_FULL, FAKE_VERSION_7, FAKE_REDIRECT };

struct fake_server_config {
    int port = 0;                     // 0: an ephemeral port
    std::string track = "tracks/practice";
    uint32_t race_id = 1;
    int32_t race_time = 0;            // ticks; 0 with laps: a race of laps
    int32_t race_laps = 3;
    int32_t gate_drop_tick = 1700;    // the track packet's race word
    uint32_t client_slot = 2;         // the slot the accept gives; the replay rider rides slot + 1
    uint32_t local_slot = 2;          // the race start's local slot (160: the client watches)
    uint32_t connection_word = 0x5a17c0deu;
    std::string password;             // empty: none (the contact's flag must then be 0)
    fake_accept_mode accept = FAKE_ACCEPT;
    std::string redirect_text;        // what a redirect names (FAKE_REDIRECT)
    int auto_play = 1;                // 0: answer nothing; the test sends what it wants
    int withhold_acks = 0;            // 1: reliable packets get no acknowledgement
    int send_denied = 0;              // 1: "sendfile" is answered with "senddenied"
    double replay_delay = 2.0;        // seconds the replay rider lags the client
};

// The server's progress with its one client.
enum fake_phase {
    FAKE_IDLE,        // no contact yet
    FAKE_INFO,        // accepted; waiting for the client info
    FAKE_RIDERS,      // track sent; sending rider infos
    FAKE_STARTING,    // race start sent; waiting for ready
    FAKE_RACING,      // race info sent
    FAKE_RESTARTING,  // restart sent; waiting for the restart ack
    FAKE_GONE         // the client disconnected
};

struct fake_server {
    fake_server_config config;
    int socket = -1, stranger = -1;
    int port = 0;                         // the bound port
    sockaddr_in client = {};              // the client's address (after its contact)
    int have_client = 0;
    uint32_t nonce = 0;                   // the client's nonce
    fake_phase phase = FAKE_IDLE;
    // What the server has told the client (through any send, scripted ones included).
    int accepted = 0;                     // an accept went out
    uint32_t session_slot = 160, session_word = 0;
    uint32_t race_id = 0;
    std::vector<uint32_t> rider_slots_sent;
    uint32_t newest_tick_sent = 0;
    uint8_t track_hash[20] = {};
    double race_start_time = -1;          // "now" of the first ready; the server tick's zero
    uint32_t last_client_tick = 0;        // the newest race tick from the client's state packets
    std::string client_info;              // the client's newest info text
    std::vector<fake_packet> received;    // every datagram, in order
    std::vector<std::string> errors;      // one line per malformed datagram
    // The reliable channel, server side.
    uint32_t next_sequence = 0;           // of the next message queued
    std::vector<uint32_t> sequences_sent; // every reliable sequence that went out, raw ones too
    uint32_t expected_sequence = 0;       // of the client's next message
    struct outgoing {
        std::vector<uint8_t> bytes;
        double resend_time;
    };
    std::vector<outgoing> queue;          // head on the wire, stop-and-wait
    std::vector<std::pair<int, std::string>> messages;  // client messages taken, in order
    // File transfer.
    int file_open = 0;
    std::string file_bytes, file_name;
    std::vector<int> file_parts;          // each "sendpart -" length
    // Replay rider: the client's states waiting for their turn.
    struct replay {
        uint32_t tick;
        uint8_t state[39];
    };
    std::vector<replay> replays;
    // Faults on outgoing datagrams.
    std::vector<fake_fault> faults;
    int sent_count = 0;                   // datagrams sent since the faults were set
    std::vector<uint8_t> held_back;       // a reordered datagram waiting for the next one
    int silent = 0;                       // 1: reads and records, answers nothing
};

// Binds 127.0.0.1 on the configured port (an ephemeral one for 0) and a stranger socket;
// computes the track's hash from the stock archive (the file index must be built). 1 on success.
int fake_server_start(fake_server *s, const fake_server_config &config);
void fake_server_stop(fake_server *s);
// Reads every waiting datagram, records and answers it, resends the reliable head when due and
// sends the race's bundles; returns the number of datagrams read.
int fake_server_poll(fake_server *s, double now);
// The server's race tick at the time (0 before the race started).
uint32_t fake_server_tick(const fake_server *s, double now);

// Sends bytes to the client from the main socket (faults apply) or from the stranger socket.
// A sent accept, track, rider info, restart, race info or bundle updates the server's view of
// the session (what the client's packets must then carry) unless note is 0.
void fake_server_send(fake_server *s, const std::vector<uint8_t> &bytes, int note = 1);
void fake_server_send_stranger(fake_server *s, const std::vector<uint8_t> &bytes);
// Queues a reliable message (type byte and payload) on the server's stop-and-wait channel.
void fake_server_queue_reliable(fake_server *s, int message_type, const std::string &payload);
// Starts a new race on the same track: the restart, then the track again at the client's ack.
void fake_server_restart(fake_server *s, uint32_t race_id);
// The received datagrams of one type (from the client's address).
std::vector<const fake_packet *> fake_server_packets(const fake_server *s, int type);

// The track hash as the game computes it, from the stock archive's members: the ground files,
// "timing_gates", "statues", then each distinct statue shape in statue order.
int fake_track_hash(const char *track, uint8_t hash[20]);

// Decodes one client datagram; error is left empty when it is well-formed for the server's
// current values (slot, connection word, race id, password).
fake_packet fake_decode(const fake_server *s, const uint8_t *bytes, int length, double now);

// The server's packets, built from the tables byte by byte.
std::vector<uint8_t> fake_full();
std::vector<uint8_t> fake_accept(uint32_t slot, uint32_t word, uint32_t version);
std::vector<uint8_t> fake_track(uint32_t race_id, int32_t time, int32_t laps, int32_t word,
                                const uint8_t hash[20], const std::string &name);
std::vector<uint8_t> fake_rider_info(uint32_t race_id, uint32_t slot, const std::string &text);
std::vector<uint8_t> fake_race_start(uint32_t race_id, uint32_t local_slot,
                                     const std::string &text);
std::vector<uint8_t> fake_race_info(uint32_t race_id, uint32_t server_tick, uint32_t echo);
struct fake_state_record {
    uint16_t slot, ping;
    uint32_t tick;
    uint8_t state[39];
};
// count_claimed below 0: the true number of records.
std::vector<uint8_t> fake_state_bundle(uint32_t race_id, uint32_t server_tick, uint32_t echo,
                                       const std::vector<fake_state_record> &records,
                                       int64_t count_claimed = -1);
std::vector<uint8_t> fake_restart(uint32_t race_id);
std::vector<uint8_t> fake_disconnect();
std::vector<uint8_t> fake_disconnect_text(const std::string &text);
std::vector<uint8_t> fake_reliable(uint32_t sequence, int message_type, const std::string &payload);
std::vector<uint8_t> fake_ack(uint32_t sequence);
std::vector<uint8_t> fake_redirect(uint32_t nonce, const std::string &text);
// The replay rider's info: the client's info text with the name "Echo <name>".
std::string fake_replay_info(const std::string &client_info);
// Little-endian words for payloads; a packet of a type byte and words (a client's, in tests).
std::string fake_le32(uint32_t v);
std::vector<uint8_t> fake_words(int type, std::initializer_list<uint32_t> values);

// The hostile table: packets of every type cut below their minimum, slots and counts at the
// edges, bad ticks and indices, oversized datagrams, bad texts and sequences far ahead. Each
// row has a label; the race id and slot are the server's current ones.
struct fake_hostile_row {
    std::string label;
    std::vector<uint8_t> bytes;
};
// Reliable rows take the server's next sequences: send them in order, with the queue empty.
std::vector<fake_hostile_row> fake_hostile_rows(fake_server *s);
// The flood's datagram: a race info for another race, dropped by a racing client.
std::vector<uint8_t> fake_flood_datagram(const fake_server *s, int i);

// A rider info text of a remote rider, for tests. The server's replay rider rides the client's
// own bike and gear (fake_replay_info).
extern const char FAKE_RIDER_INFO[];
constexpr int FAKE_TICKS_PER_SECOND = 128;
