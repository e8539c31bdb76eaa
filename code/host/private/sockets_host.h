// The host side of the socket layer: a thin set of calls over Winsock 1.1 (code/host/win32/sockets.cpp)
// or BSD sockets (code/host/posix/sockets.cpp), so that the socket tables of tcpip.cpp are written once.
// Socket handles are i32, -1 = none; addresses IPv4 in network order, ports in host order.
#pragma once
#include "types.h"

// Results of the transfer calls besides byte counts.
#define HOST_SOCKET_WOULD_BLOCK (-3)
#define HOST_SOCKET_ERROR (-1)

enum HOST_SOCKET_OPTION {
  HOST_SOCKET_BROADCAST,
  HOST_SOCKET_REUSE_ADDRESS,
  HOST_SOCKET_KEEP_ALIVE,
  HOST_SOCKET_DEBUG,
  HOST_SOCKET_SEND_BUFFER,
  HOST_SOCKET_RECEIVE_BUFFER,
  HOST_SOCKET_LINGER  // value -1: linger off; otherwise linger on with that many seconds
};

bool host_socket_startup();
void host_socket_cleanup();

// A TCP (datagram false) or UDP socket; -1 on failure.
INT_S32 host_socket_create(bool datagram);
void host_socket_close(INT_S32 socket);
bool host_socket_set_option(INT_S32 socket, HOST_SOCKET_OPTION option, INT_S32 value);
bool host_socket_set_non_blocking(INT_S32 socket);
bool host_socket_connect(INT_S32 socket, INT_U32 address, INT_U16 port);
bool host_socket_bind(INT_S32 socket, INT_U32 address, INT_U16 port);
bool host_socket_listen(INT_S32 socket, INT_S32 backlog);
// A waiting connection's socket; -1 when none waits.
INT_S32 host_socket_accept(INT_S32 socket);

// Bytes moved, HOST_SOCKET_WOULD_BLOCK or HOST_SOCKET_ERROR; receive returns 0 when the peer closed.
INT_S32 host_socket_send(INT_S32 socket, const void* data, INT_S32 length);
INT_S32 host_socket_receive(INT_S32 socket, void* buffer, INT_S32 length);
INT_S32 host_socket_send_to(INT_S32 socket, const void* data, INT_S32 length, INT_U32 address,
                            INT_U16 port);
INT_S32 host_socket_receive_from(INT_S32 socket, void* buffer, INT_S32 length, INT_U32* address,
                                 INT_U16* port);
bool host_socket_peer(INT_S32 socket, INT_U32* address, INT_U16* port);

// The local host name, NUL-terminated within size bytes.
bool host_socket_host_name(char* name, INT_S32 size);
// The first address of a name.
bool host_socket_lookup(const char* name, INT_U32* address);
// Up to count addresses of the local host (whose name is given); the number found, -1 on failure.
INT_S32 host_socket_local_addresses(const char* host_name, INT_U32* addresses, INT_S32 count);
// A reverse lookup of the address succeeds.
bool host_socket_reverse_lookup(INT_U32 address);
