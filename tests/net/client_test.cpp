// The network client's datagrams at shutdown, over a real UDP socket on the loopback.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "net/client.h"
#include "terrain/erode.h"

TEST(net_client, DisconnectDatagram) {
    int receiver = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(receiver, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(receiver, (sockaddr *)&address, sizeof address), 0);
    socklen_t length = sizeof address;
    ASSERT_EQ(getsockname(receiver, (sockaddr *)&address, &length), 0);

    net_client.socket = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(net_client.socket, 0);
    memcpy(net_client.server_address.area, &address, sizeof address);
    net_client.server_address.length = sizeof address;
    net_client.slot = 0x0302017f;
    net_client.connection_word = 0xa1b2c3d4u;
    ASSERT_TRUE(net_connected());
    ASSERT_EQ(net_send_disconnect(), 1);
    unsigned char got[64];
    ASSERT_EQ(recv(receiver, got, sizeof got, 0), NET_DISCONNECT_BYTES);
    const unsigned char want[NET_DISCONNECT_BYTES] = {15,   0x7f, 0x01, 0x02, 0x03,
                                                      0xd4, 0xc3, 0xb2, 0xa1};
    for (int i = 0; i < NET_DISCONNECT_BYTES; i++) EXPECT_EQ(got[i], want[i]) << i;

    // A failed send names the system's reason for the shutdown's message.
    net_close_socket(net_client.socket);
    EXPECT_EQ(net_send_disconnect(), 0);
    EXPECT_STREQ(net_last_error, "WSAEBADF");
    net_client.socket = -1;
    net_reset_connection();
    EXPECT_FALSE(net_connected());
    EXPECT_EQ(net_client.slot, 160);
    close(receiver);
}

// Offline an erosion message goes straight into the terrain's queue.
TEST(net_client, OfflineErosionGoesToTheQueue) {
    erode_queue_reset();
    erode_batch b = {};
    b.point_count = 3;
    b.points[1].x = b.points[2].x = 1;
    unsigned char m[ERODE_MESSAGE_MAX];
    net_send_erode(m, erode_encode_batch(m, &b));
    EXPECT_EQ(erode_queue_count(), 3);
}
