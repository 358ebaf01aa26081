// The UDP socket layer over the POSIX sockets: addresses, the socket, datagrams, error names.
#include "net/socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int (*net_lookup_hook)(const char *host, uint32_t *address) = nullptr;
const char *net_last_error = nullptr;
int net_started = 0;

static void start() {
    net_started = 1;   // no library to start: the flag keeps the lifecycle
}

static sockaddr_in *address_in(net_address *a) {
    return reinterpret_cast<sockaddr_in *>(a->area);
}

net_address net_ipv4_address(uint32_t host, int port) {
    net_address a;
    memset(&a, 0, sizeof a);
    a.length = (int32_t)sizeof(sockaddr_in);
    sockaddr_in in = {};
    in.sin_family = AF_INET;
    in.sin_port = htons((uint16_t)port);
    in.sin_addr.s_addr = htonl(host);
    memcpy(a.area, &in, sizeof in);
    return a;
}

int net_same_address(const net_address *a, const net_address *b) {
    sockaddr_in x, y;
    memcpy(&x, a->area, sizeof x);
    memcpy(&y, b->area, sizeof y);
    return x.sin_family == AF_INET && y.sin_family == AF_INET && x.sin_port == y.sin_port &&
           x.sin_addr.s_addr == y.sin_addr.s_addr;
}

// The host's IPv4 address in network byte order: numeric texts never reach the resolver.
static int find_host(const char *host, uint32_t *address) {
    in_addr numeric;
    if (inet_pton(AF_INET, host, &numeric) == 1) {
        *address = numeric.s_addr;
        return 1;
    }
    if (net_lookup_hook && strcmp(host, "localhost") != 0) return net_lookup_hook(host, address);
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo *found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) return 0;
    int ok = 0;
    for (addrinfo *i = found; i && !ok; i = i->ai_next) {
        if (i->ai_family != AF_INET || i->ai_addrlen < sizeof(sockaddr_in)) continue;
        sockaddr_in in;
        memcpy(&in, i->ai_addr, sizeof in);
        *address = in.sin_addr.s_addr;
        ok = 1;
    }
    freeaddrinfo(found);
    return ok;
}

int net_resolve(net_address *out, const char *text, int default_port) {
    if (!net_started) start();
    memset(out, 0, sizeof *out);
    out->length = (int32_t)sizeof(sockaddr_in);
    net_last_error = nullptr;
    if (!text) return 0;
    char host[1024];
    snprintf(host, sizeof host, "%s", text);
    int port = default_port;
    char *colon = strrchr(host, ':');
    if (colon) {
        int n;
        if (sscanf(colon + 1, "%d", &n) == 1) {
            *colon = 0;
            port = n;
        }
    }
    uint32_t address;
    if (!find_host(host, &address)) return 0;
    sockaddr_in *in = address_in(out);
    in->sin_family = AF_INET;
    in->sin_port = htons((uint16_t)(port & 0xffff));
    in->sin_addr.s_addr = address;
    return 1;
}

int net_open_socket() {
    if (!net_started) start();
    net_last_error = nullptr;
    int s = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (s < 0) net_error_text();
    return s;
}

int net_send_to(int socket, const void *data, int length, const net_address *address) {
    net_last_error = nullptr;
    if (socket < 0 || length < 0) {
        errno = EBADF;
        net_error_text();
        return -1;
    }
    sockaddr_in in;
    memcpy(&in, address->area, sizeof in);
    ssize_t sent = sendto(socket, data, (size_t)length, MSG_NOSIGNAL, (const sockaddr *)&in,
                          sizeof in);
    if (sent < 0) {
        net_error_text();
        return -1;
    }
    return (int)sent;
}

int net_receive_from(int socket, void *buffer, int size, net_address *from) {
    net_last_error = nullptr;
    memset(from, 0, sizeof *from);
    sockaddr_in in = {};
    socklen_t length = sizeof in;
    ssize_t got;
    do {
        got = recvfrom(socket, buffer, (size_t)size, MSG_TRUNC, (sockaddr *)&in, &length);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        net_error_text();
        return -1;
    }
    from->length = (int32_t)sizeof in;
    memcpy(from->area, &in, sizeof in);
    return (int)got;
}

int net_receive_many(int socket, unsigned char *buffers, int size, int *lengths, net_address *from,
                     int count) {
    net_last_error = nullptr;
    constexpr int MAX = 64;
    if (count > MAX) count = MAX;
    mmsghdr messages[MAX];
    iovec parts[MAX];
    sockaddr_in senders[MAX];
    memset(messages, 0, sizeof(mmsghdr) * (size_t)count);
    for (int i = 0; i < count; i++) {
        parts[i] = {buffers + (size_t)i * (size_t)size, (size_t)size};
        messages[i].msg_hdr.msg_iov = &parts[i];
        messages[i].msg_hdr.msg_iovlen = 1;
        messages[i].msg_hdr.msg_name = &senders[i];
        messages[i].msg_hdr.msg_namelen = sizeof senders[i];
    }
    int got;
    do {
        got = recvmmsg(socket, messages, (unsigned)count, MSG_TRUNC | MSG_DONTWAIT, nullptr);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        net_error_text();
        return -1;
    }
    for (int i = 0; i < got; i++) {
        lengths[i] = (int)messages[i].msg_len;
        memset(&from[i], 0, sizeof from[i]);
        from[i].length = (int32_t)sizeof(sockaddr_in);
        memcpy(from[i].area, &senders[i], sizeof senders[i]);
    }
    return got;
}

void net_close_socket(int socket) {
    if (socket >= 0) close(socket);
}

void net_cleanup() {
    net_started = 0;
}

// errno values and the socket error codes they stand for.
static const struct {
    int error, code;
} ERRNO_CODES[] = {
    {EAGAIN, 10035},       {EWOULDBLOCK, 10035},   {EINTR, 10004},        {EBADF, 10009},
    {EACCES, 10013},       {EFAULT, 10014},        {EINVAL, 10022},       {EMFILE, 10024},
    {ENOTSOCK, 10038},     {EMSGSIZE, 10040},      {EAFNOSUPPORT, 10047}, {EADDRINUSE, 10048},
    {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},     {ENETUNREACH, 10051},  {ECONNRESET, 10054},
    {ENOBUFS, 10055},      {ETIMEDOUT, 10060},     {ECONNREFUSED, 10061}, {EHOSTUNREACH, 10065},
};

int net_error_code(int error) {
    for (const auto &e : ERRNO_CODES)
        if (e.error == error) return e.code;
    return error;
}

// The named codes, ascending.
static const struct {
    int code;
    const char *name;
} ERROR_NAMES[] = {
    {6, "WSA_INVALID_HANDLE"}, {8, "WSA_NOT_ENOUGH_MEMORY"}, {87, "WSA_INVALID_PARAMETER"},
    {995, "WSA_OPERATION_ABORTED"}, {996, "WSA_IO_INCOMPLETE"}, {997, "WSA_IO_PENDING"},
    {10009, "WSAEBADF"}, {10013, "WSAEACCES"}, {10014, "WSAEFAULT"}, {10022, "WSAEINVAL"},
    {10024, "WSAEMFILE"}, {10036, "WSAEINPROGRESS"}, {10037, "WSAEALREADY"},
    {10038, "WSAENOTSOCK"}, {10039, "WSAEDESTADDRREQ"}, {10040, "WSAEMSGSIZE"},
    {10041, "WSAEPROTOTYPE"}, {10042, "WSAENOPROTOOPT"}, {10043, "WSAEPROTONOSUPPORT"},
    {10044, "WSAESOCKTNOSUPPORT"}, {10045, "WSAEOPNOTSUPP"}, {10046, "WSAEPFNOSUPPORT"},
    {10047, "WSAEAFNOSUPPORT"}, {10048, "WSAEADDRINUSE"}, {10049, "WSAEADDRNOTAVAIL"},
    {10050, "WSAENETDOWN"}, {10051, "WSAENETUNREACH"}, {10052, "WSAENETRESET"},
    {10053, "WSAECONNABORTED"}, {10054, "WSAECONNRESET"}, {10055, "WSAENOBUFS"},
    {10056, "WSAEISCONN"}, {10057, "WSAENOTCONN"}, {10058, "WSAESHUTDOWN"},
    {10059, "WSAETOOMANYREFS"}, {10060, "WSAETIMEDOUT"}, {10061, "WSAECONNREFUSED"},
    {10062, "WSAELOOP"}, {10063, "WSAENAMETOOLONG"}, {10064, "WSAEHOSTDOWN"},
    {10065, "WSAEHOSTUNREACH"}, {10066, "WSAENOTEMPTY"}, {10067, "WSAEPROCLIM"},
    {10068, "WSAEUSERS"}, {10069, "WSAEDQUOT"}, {10070, "WSAESTALE"}, {10071, "WSAEREMOTE"},
    {10091, "WSASYSNOTREADY"}, {10092, "WSAVERNOTSUPPORTED"}, {10093, "WSANOTINITIALISED"},
    {10101, "WSAEDISCON"}, {10102, "WSAENOMORE"}, {10103, "WSAECANCELLED"},
    {10104, "WSAEINVALIDPROCTABLE"}, {10105, "WSAEINVALIDPROVIDER"},
    {10106, "WSAEPROVIDERFAILEDINIT"}, {10107, "WSASYSCALLFAILURE"},
    {10108, "WSASERVICE_NOT_FOUND"}, {10109, "WSATYPE_NOT_FOUND"}, {10110, "WSA_E_NO_MORE"},
    {10111, "WSA_E_CANCELLED"}, {10112, "WSAEREFUSED"}, {11001, "WSAHOST_NOT_FOUND"},
    {11002, "WSATRY_AGAIN"}, {11003, "WSANO_RECOVERY"}, {11004, "WSANO_DATA"},
    {11005, "WSA_QOS_RECEIVERS"}, {11006, "WSA_QOS_SENDERS"}, {11007, "WSA_QOS_NO_SENDERS"},
    {11008, "WSA_QOS_NO_RECEIVERS"}, {11009, "WSA_QOS_REQUEST_CONFIRMED"},
    {11010, "WSA_QOS_ADMISSION_FAILURE"}, {11011, "WSA_QOS_POLICY_FAILURE"},
    {11012, "WSA_QOS_BAD_STYLE"}, {11013, "WSA_QOS_BAD_OBJECT"},
    {11014, "WSA_QOS_TRAFFIC_CTRL_ERROR"}, {11015, "WSA_QOS_GENERIC_ERROR"},
    {11016, "WSA_QOS_ESERVICETYPE"}, {11017, "WSA_QOS_EFLOWSPEC"},
    {11018, "WSA_QOS_EPROVSPECBUF"}, {11019, "WSA_QOS_EFILTERSTYLE"},
    {11020, "WSA_QOS_EFILTERTYPE"}, {11021, "WSA_QOS_EFILTERCOUNT"},
    {11022, "WSA_QOS_EOBJLENGTH"}, {11023, "WSA_QOS_EFLOWCOUNT"},
    {11024, "WSA_QOS_EUNKOWNPSOBJ"}, {11025, "WSA_QOS_EPOLICYOBJ"},
    {11026, "WSA_QOS_EFLOWDESC"}, {11027, "WSA_QOS_EPSFLOWSPEC"},
    {11028, "WSA_QOS_EPSFILTERSPEC"}, {11029, "WSA_QOS_ESDMODEOBJ"},
    {11030, "WSA_QOS_ESHAPERATEOBJ"}, {11031, "WSA_QOS_RESERVED_PETYPE"},
};

const char *net_error_name(int code) {
    if (code == NET_ERROR_WOULD_BLOCK || code == NET_ERROR_INTERRUPTED) return nullptr;
    for (const auto &e : ERROR_NAMES)
        if (e.code == code) return e.name;
    static char number[16];
    snprintf(number, sizeof number, "%d", code);
    return number;
}

int net_error_text() {
    int code = net_error_code(errno);
    net_last_error = net_error_name(code);
    return code;
}
