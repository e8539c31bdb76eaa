// The socket layer's host calls on Linux: BSD sockets. The local host's addresses come from its
// network interfaces, so opening a port never waits on a name server.
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "sockets_host.h"

bool host_socket_startup() {
  return true;
}

void host_socket_cleanup() {}

INT_S32 host_socket_create(bool datagram) {
  int s = datagram ? socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP) : socket(AF_INET, SOCK_STREAM, 0);
  return s < 0 ? -1 : s;
}

void host_socket_close(INT_S32 s) {
  if (s >= 0)
    close(s);
}

bool host_socket_set_option(INT_S32 s, HOST_SOCKET_OPTION option, INT_S32 value) {
  int name = 0;
  switch (option) {
    case HOST_SOCKET_BROADCAST: name = SO_BROADCAST; break;
    case HOST_SOCKET_REUSE_ADDRESS: name = SO_REUSEADDR; break;
    case HOST_SOCKET_KEEP_ALIVE: name = SO_KEEPALIVE; break;
    case HOST_SOCKET_DEBUG: name = SO_DEBUG; break;
    case HOST_SOCKET_SEND_BUFFER: name = SO_SNDBUF; break;
    case HOST_SOCKET_RECEIVE_BUFFER: name = SO_RCVBUF; break;
    case HOST_SOCKET_LINGER: {
      struct linger linger_value;
      linger_value.l_onoff = value >= 0 ? 1 : 0;
      linger_value.l_linger = value >= 0 ? value : 0;
      return setsockopt(s, SOL_SOCKET, SO_LINGER, &linger_value, sizeof(linger_value)) == 0;
    }
  }
  int option_value = value;
  return setsockopt(s, SOL_SOCKET, name, &option_value, sizeof(option_value)) == 0;
}

bool host_socket_set_non_blocking(INT_S32 s) {
  int flags = fcntl(s, F_GETFL, 0);
  return flags >= 0 && fcntl(s, F_SETFL, flags | O_NONBLOCK) == 0;
}

static sockaddr_in make_address(INT_U32 address, INT_U16 port) {
  sockaddr_in result;
  memset(&result, 0, sizeof(result));
  result.sin_family = AF_INET;
  result.sin_addr.s_addr = address;
  result.sin_port = htons(port);
  return result;
}

bool host_socket_connect(INT_S32 s, INT_U32 address, INT_U16 port) {
  sockaddr_in target = make_address(address, port);
  int result;
  do
    result = connect(s, (sockaddr*)&target, sizeof(target));
  while (result != 0 && errno == EINTR);
  return result == 0;
}

bool host_socket_bind(INT_S32 s, INT_U32 address, INT_U16 port) {
  sockaddr_in local = make_address(address, port);
  return bind(s, (sockaddr*)&local, sizeof(local)) == 0;
}

bool host_socket_listen(INT_S32 s, INT_S32 backlog) {
  return listen(s, backlog) == 0;
}

INT_S32 host_socket_accept(INT_S32 s) {
  int accepted = accept(s, nullptr, nullptr);
  return accepted < 0 ? -1 : accepted;
}

static INT_S32 transfer_result(ssize_t result) {
  if (result >= 0)
    return (INT_S32)result;
  if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
    return HOST_SOCKET_WOULD_BLOCK;
  return HOST_SOCKET_ERROR;
}

INT_S32 host_socket_send(INT_S32 s, const void* data, INT_S32 length) {
  // MSG_NOSIGNAL: a peer that went away is an error result, not a signal that ends the program.
  return transfer_result(send(s, data, (size_t)length, MSG_NOSIGNAL));
}

INT_S32 host_socket_receive(INT_S32 s, void* buffer, INT_S32 length) {
  return transfer_result(recv(s, buffer, (size_t)length, 0));
}

INT_S32 host_socket_send_to(INT_S32 s, const void* data, INT_S32 length, INT_U32 address, INT_U16 port) {
  sockaddr_in target = make_address(address, port);
  return transfer_result(
      sendto(s, data, (size_t)length, MSG_NOSIGNAL, (sockaddr*)&target, sizeof(target)));
}

INT_S32 host_socket_receive_from(INT_S32 s, void* buffer, INT_S32 length, INT_U32* address,
                                 INT_U16* port) {
  sockaddr_in from;
  socklen_t from_size = sizeof(from);
  memset(&from, 0, sizeof(from));
  INT_S32 result = transfer_result(recvfrom(s, buffer, (size_t)length, 0, (sockaddr*)&from, &from_size));
  if (result > 0) {
    *address = from.sin_addr.s_addr;
    *port = ntohs(from.sin_port);
  }
  return result;
}

bool host_socket_peer(INT_S32 s, INT_U32* address, INT_U16* port) {
  sockaddr_in peer;
  socklen_t peer_size = sizeof(peer);
  if (getpeername(s, (sockaddr*)&peer, &peer_size) != 0 || peer.sin_family != AF_INET)
    return false;
  *address = peer.sin_addr.s_addr;
  *port = ntohs(peer.sin_port);
  return true;
}

bool host_socket_host_name(char* name, INT_S32 size) {
  if (!name || size < 2)
    return false;
  if (gethostname(name, (size_t)size) != 0)
    return false;
  name[size - 1] = 0;
  return true;
}

bool host_socket_lookup(const char* name, INT_U32* address) {
  if (!name || !name[0])
    return false;
  addrinfo hints;
  memset(&hints, 0, sizeof(hints));
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(name, nullptr, &hints, &found) != 0 || !found)
    return false;
  *address = ((sockaddr_in*)found->ai_addr)->sin_addr.s_addr;
  freeaddrinfo(found);
  return true;
}

INT_S32 host_socket_local_addresses(const char*, INT_U32* addresses, INT_S32 count) {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0)
    return -1;
  INT_S32 found = 0;
  for (ifaddrs* entry = list; entry && found < count; entry = entry->ifa_next) {
    if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || !(entry->ifa_flags & IFF_UP))
      continue;
    INT_U32 address = ((sockaddr_in*)entry->ifa_addr)->sin_addr.s_addr;
    bool known = false;
    for (INT_S32 i = 0; i < found; i++)
      known = known || addresses[i] == address;
    if (!known)
      addresses[found++] = address;
  }
  freeifaddrs(list);
  return found;
}

bool host_socket_reverse_lookup(INT_U32 address) {
  sockaddr_in target = make_address(address, 0);
  char name[NI_MAXHOST];
  return getnameinfo((sockaddr*)&target, sizeof(target), name, sizeof(name), nullptr, 0, NI_NAMEREQD) == 0;
}
