// The game program online: zr --connect against the fake-race-server program, both real
// processes under the test X server.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "tests/support/test_support.h"

namespace {

// A loopback UDP port that was free a moment ago.
int free_port() {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, (sockaddr *)&a, sizeof a);
    socklen_t n = sizeof a;
    getsockname(fd, (sockaddr *)&a, &n);
    close(fd);
    return ntohs(a.sin_port);
}

}  // namespace

// The game walks the handshake into a 3-lap race; SIGTERM leaves with exactly one disconnect
// and exit 0.
TEST(net_program, ConnectsRacesAndLeaves) {
    temp_dir t;
    int port = free_port();
    std::string script =
        "\"$SERVER\" --port $PORT --seconds 100 > \"$OUT/server.txt\" 2>&1 & s=$!; "
        "\"$ZR\" --connect 127.0.0.1:$PORT & p=$!; i=0; "
        "until grep -q ' laps' \"$XDG_DATA_HOME/ZR Simulator/lastlog.txt\" 2>/dev/null; do "
        "  i=$((i+1)); [ $i -gt 1600 ] && break; sleep 0.05; "
        "done; sleep 2; kill -TERM $p; wait $p; echo \"exit $?\"; sleep 0.5; kill -TERM $s; wait $s";
    std::string out;
    int status = test_run({"sh", "-c", script},
                          {"ZR=" + test_binary_dir() + "/game/zr",
                           "SERVER=" + test_binary_dir() + "/tools/fake-race-server",
                           "PORT=" + std::to_string(port), "OUT=" + t.path,
                           "XDG_DATA_HOME=" + t.file("xdg"), "HOME=" + t.file("home"), "-ZR_HOME",
                           "-PLYX_LOGFILE", "-PLYX_OPTIONS"},
                          &out, 150.0);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("exit 0"), std::string::npos) << out;
    std::string log = test_read_file(t.file("xdg/ZR Simulator/lastlog.txt"));
    size_t at = 0;
    for (const char *line : {"Contacting server", "Sending client info", "Sending track acknowledgment",
                             "Sending bike acknowledgment 3", "3 laps", "Disconnecting"}) {
        size_t found = log.find(line, at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << line << "\n" << log;
        at = found;
    }
    std::string server = test_read_file(t.file("server.txt"));
    EXPECT_NE(server.find(", 0 malformed, 1 disconnects"), std::string::npos) << server;
    EXPECT_EQ(log.find("Client track modified"), std::string::npos);
}
