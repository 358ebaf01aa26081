// The socket layer: server texts into addresses, error names, and datagrams too long to take.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "net/socket.h"
#include "tests/net/net_fixture.h"

static std::vector<std::string> looked_up;

// Names other than numbers and "localhost" never reach a name server: "a:b" and "rider.host"
// are known, everything else is not.
static int fake_lookup(const char *host, uint32_t *address) {
    looked_up.push_back(host);
    if (strcmp(host, "a:b") == 0 || strcmp(host, "rider.host") == 0) {
        *address = htonl(0x0a000005u);
        return 1;
    }
    return 0;
}

TEST(net_socket, AddressTexts) {
    net_lookup_hook = fake_lookup;
    struct row {
        const char *text;
        int ok;
        uint32_t host;
        int port;
        const char *asked;   // the name the lookup got, null when none
    } rows[] = {
        {"127.0.0.1:7000", 1, 0x7f000001u, 7000, nullptr},
        {"127.0.0.1", 1, 0x7f000001u, 19800, nullptr},
        {"a:b:7000", 1, 0x0a000005u, 7000, "a:b"},          // split at the last colon
        {"rider.host", 1, 0x0a000005u, 19800, "rider.host"},
        {"host:x", 0, 0, 0, "host:x"},                       // not a port: the whole text
        {"127.0.0.1:70000", 1, 0x7f000001u, 4464, nullptr},  // cut to 16 bits
        {":7000", 0, 0, 0, ""},
        {"", 0, 0, 0, ""},
        {"localhost", 1, 0x7f000001u, 19800, nullptr},       // the system's own hosts file
    };
    for (const row &r : rows) {
        looked_up.clear();
        net_address a;
        memset(&a, 0xee, sizeof a);
        EXPECT_EQ(net_resolve(&a, r.text, 19800), r.ok) << r.text;
        EXPECT_EQ(a.length, 16) << r.text;
        if (r.asked) {
            ASSERT_EQ(looked_up.size(), 1u) << r.text;
            EXPECT_EQ(looked_up[0], r.asked);
        } else {
            EXPECT_TRUE(looked_up.empty()) << r.text;
        }
        if (!r.ok) continue;
        sockaddr_in in;
        memcpy(&in, a.area, sizeof in);
        EXPECT_EQ(in.sin_family, AF_INET) << r.text;
        EXPECT_EQ(ntohl(in.sin_addr.s_addr), r.host) << r.text;
        EXPECT_EQ(ntohs(in.sin_port), r.port) << r.text;
        for (size_t i = sizeof in; i < sizeof a.area; i++) EXPECT_EQ(a.area[i], 0) << r.text;
    }
    net_lookup_hook = nullptr;
}

TEST(net_socket, ErrorNames) {
    struct row {
        int error;
        const char *name;   // null: nothing to report
    } rows[] = {
        {EAGAIN, nullptr}, {EWOULDBLOCK, nullptr}, {EINTR, nullptr},
        {EBADF, "WSAEBADF"}, {EACCES, "WSAEACCES"}, {EFAULT, "WSAEFAULT"}, {EINVAL, "WSAEINVAL"},
        {EMFILE, "WSAEMFILE"}, {ENOTSOCK, "WSAENOTSOCK"}, {EMSGSIZE, "WSAEMSGSIZE"},
        {EAFNOSUPPORT, "WSAEAFNOSUPPORT"}, {EADDRINUSE, "WSAEADDRINUSE"},
        {EADDRNOTAVAIL, "WSAEADDRNOTAVAIL"}, {ENETDOWN, "WSAENETDOWN"},
        {ENETUNREACH, "WSAENETUNREACH"}, {ECONNRESET, "WSAECONNRESET"}, {ENOBUFS, "WSAENOBUFS"},
        {ETIMEDOUT, "WSAETIMEDOUT"}, {ECONNREFUSED, "WSAECONNREFUSED"},
        {EHOSTUNREACH, "WSAEHOSTUNREACH"},
        {ENOENT, "2"},   // no socket error of its own: its number
    };
    for (const row &r : rows) {
        errno = r.error;
        net_error_text();
        if (r.name)
            EXPECT_STREQ(net_last_error, r.name) << r.error;
        else
            EXPECT_EQ(net_last_error, nullptr) << r.error;
    }
    // The named ranges of codes, and a code outside them.
    EXPECT_STREQ(net_error_name(6), "WSA_INVALID_HANDLE");
    EXPECT_STREQ(net_error_name(997), "WSA_IO_PENDING");
    EXPECT_STREQ(net_error_name(10071), "WSAEREMOTE");
    EXPECT_STREQ(net_error_name(10112), "WSAEREFUSED");
    EXPECT_STREQ(net_error_name(11001), "WSAHOST_NOT_FOUND");
    EXPECT_STREQ(net_error_name(11031), "WSA_QOS_RESERVED_PETYPE");
    EXPECT_STREQ(net_error_name(10072), "10072");
}

// An empty socket reports nothing; a datagram longer than the buffer tells its real length.
TEST_F(net_loopback, ReceiveEmptyAndTooLong) {
    online(NET_STATE_CONTACTING, NET_NO_SLOT, 0);
    unsigned char buffer[1024];
    net_address from;
    EXPECT_EQ(net_receive_from(net_client.socket, buffer, 1023, &from), -1);
    EXPECT_EQ(net_last_error, nullptr);
    send_to_client(std::string(1500, 'x'));
    usleep(20000);
    EXPECT_EQ(net_receive_from(net_client.socket, buffer, 1023, &from), 1500);
    EXPECT_TRUE(net_same_address(&from, &server_address));
}

// A receive pass drops datagrams above 1023 bytes with the error name (once a second) and goes
// on with the next datagram.
TEST_F(net_loopback, OversizedDatagramsAreDroppedAndNamedOnceASecond) {
    online(NET_STATE_CONTACTING, NET_NO_SLOT, 0);
    for (int n : {1023, 1024, 1500, 65507}) send_to_client(std::string(1, (char)1) + std::string(n - 1, 'x'));
    usleep(20000);
    net_receive();
    EXPECT_EQ(net_console_count("Server is full"), 1);   // the 1023-byte one
    EXPECT_EQ(net_console_count("WSAEMSGSIZE"), 1);
    send_to_client(std::string(1024, 'x'));
    usleep(20000);
    net_receive();
    EXPECT_EQ(net_console_count("WSAEMSGSIZE"), 1);
    net_test_clock += 1.0;
    send_to_client(std::string(1024, 'x'));
    usleep(20000);
    net_receive();
    EXPECT_EQ(net_console_count("WSAEMSGSIZE"), 2);
}
