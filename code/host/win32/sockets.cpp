// The socket layer's host calls on Windows: Winsock 1.1. WSAEWOULDBLOCK is the only "try again"
// answer; the local host's addresses are those its own name resolves to, which Windows answers
// from the machine itself.
#include <winsock.h>
#include <cstring>

#include "sockets_host.h"

bool host_socket_startup() {
  WSADATA data;
  return WSAStartup(MAKEWORD(1, 1), &data) == 0;
}

void host_socket_cleanup() {
  WSACleanup();
}

INT_S32 host_socket_create(bool datagram) {
  SOCKET s = datagram ? socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP) : socket(AF_INET, SOCK_STREAM, 0);
  return s == INVALID_SOCKET ? -1 : (INT_S32)s;
}

void host_socket_close(INT_S32 s) {
  if (s != -1)
    closesocket((SOCKET)s);
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
      linger_value.l_linger = (u_short)(value >= 0 ? value : 0);
      return setsockopt((SOCKET)s, SOL_SOCKET, SO_LINGER, (const char*)&linger_value,
                        sizeof(linger_value)) == 0;
    }
  }
  int option_value = value;
  return setsockopt((SOCKET)s, SOL_SOCKET, name, (const char*)&option_value, sizeof(option_value)) == 0;
}

bool host_socket_set_non_blocking(INT_S32 s) {
  u_long on = 1;
  return ioctlsocket((SOCKET)s, FIONBIO, &on) == 0;
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
  return connect((SOCKET)s, (sockaddr*)&target, sizeof(target)) == 0;
}

bool host_socket_bind(INT_S32 s, INT_U32 address, INT_U16 port) {
  sockaddr_in local = make_address(address, port);
  return bind((SOCKET)s, (sockaddr*)&local, sizeof(local)) == 0;
}

bool host_socket_listen(INT_S32 s, INT_S32 backlog) {
  return listen((SOCKET)s, backlog) == 0;
}

INT_S32 host_socket_accept(INT_S32 s) {
  SOCKET accepted = accept((SOCKET)s, NULL, NULL);
  return accepted == INVALID_SOCKET ? -1 : (INT_S32)accepted;
}

static INT_S32 transfer_result(int result) {
  if (result != SOCKET_ERROR)
    return result;
  return WSAGetLastError() == WSAEWOULDBLOCK ? HOST_SOCKET_WOULD_BLOCK : HOST_SOCKET_ERROR;
}

INT_S32 host_socket_send(INT_S32 s, const void* data, INT_S32 length) {
  return transfer_result(send((SOCKET)s, (const char*)data, length, 0));
}

INT_S32 host_socket_receive(INT_S32 s, void* buffer, INT_S32 length) {
  return transfer_result(recv((SOCKET)s, (char*)buffer, length, 0));
}

INT_S32 host_socket_send_to(INT_S32 s, const void* data, INT_S32 length, INT_U32 address, INT_U16 port) {
  sockaddr_in target = make_address(address, port);
  return transfer_result(sendto((SOCKET)s, (const char*)data, length, 0, (sockaddr*)&target, sizeof(target)));
}

INT_S32 host_socket_receive_from(INT_S32 s, void* buffer, INT_S32 length, INT_U32* address,
                                 INT_U16* port) {
  sockaddr_in from;
  int from_size = sizeof(from);
  memset(&from, 0, sizeof(from));
  INT_S32 result = transfer_result(recvfrom((SOCKET)s, (char*)buffer, length, 0, (sockaddr*)&from, &from_size));
  if (result > 0) {
    *address = from.sin_addr.s_addr;
    *port = ntohs(from.sin_port);
  }
  return result;
}

bool host_socket_peer(INT_S32 s, INT_U32* address, INT_U16* port) {
  sockaddr_in peer;
  int peer_size = sizeof(peer);
  if (getpeername((SOCKET)s, (sockaddr*)&peer, &peer_size) != 0 || peer.sin_family != AF_INET)
    return false;
  *address = peer.sin_addr.s_addr;
  *port = ntohs(peer.sin_port);
  return true;
}

bool host_socket_host_name(char* name, INT_S32 size) {
  if (!name || size < 2)
    return false;
  if (gethostname(name, size) != 0)
    return false;
  name[size - 1] = 0;
  return true;
}

bool host_socket_lookup(const char* name, INT_U32* address) {
  if (!name || !name[0])
    return false;
  hostent* host = gethostbyname(name);
  if (!host || host->h_addrtype != AF_INET || host->h_length != 4 || !host->h_addr_list ||
      !host->h_addr_list[0])
    return false;
  memcpy(address, host->h_addr_list[0], 4);
  return true;
}

INT_S32 host_socket_local_addresses(const char* host_name, INT_U32* addresses, INT_S32 count) {
  if (!host_name || !host_name[0])
    return -1;
  hostent* host = gethostbyname(host_name);
  if (!host || host->h_addrtype != AF_INET || host->h_length != 4 || !host->h_addr_list)
    return -1;
  INT_S32 found = 0;
  for (int i = 0; host->h_addr_list[i] && found < count; i++)
    memcpy(&addresses[found++], host->h_addr_list[i], 4);
  return found;
}

bool host_socket_reverse_lookup(INT_U32 address) {
  return gethostbyaddr((const char*)&address, 4, AF_INET) != NULL;
}
