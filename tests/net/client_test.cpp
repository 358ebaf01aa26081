// The network client's datagrams at shutdown, over a real UDP socket on the loopback, and
// erosion offline.
#include <gtest/gtest.h>

#include "terrain/erode.h"
#include "tests/net/net_fixture.h"

TEST_F(net_loopback, DisconnectDatagram) {
    online(NET_STATE_RACING, 0x7f);
    net_client.connection_word = 0xa1b2c3d4u;
    ASSERT_TRUE(net_connected());
    ASSERT_EQ(net_send_disconnect(), 1);
    std::vector<std::string> out = sent();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0], bytes_of({15, 0x7f, 0, 0, 0, 0xd4, 0xc3, 0xb2, 0xa1}));

    // A failed send names the system's reason for the shutdown's message.
    net_close_socket(net_client.socket);
    EXPECT_EQ(net_send_disconnect(), 0);
    EXPECT_STREQ(net_last_error, "WSAEBADF");
    net_client.socket = -1;
    net_reset_connection();
    EXPECT_FALSE(net_connected());
    EXPECT_EQ(net_client.slot, 160);
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
