// The socket layer: TCPIP keeps a fixed number of TCP connection slots, groups of listening TCP
// sockets and groups of UDP sockets (each group bound to one port on the local host's addresses), all
// non-blocking so that an application polls them once per pass of the frame loop; plus host-name and
// address lookups. Addresses are IPv4 in network order (the first number of a dotted text is the
// lowest byte); ports are passed in host order.
#pragma once
#include "types.h"

struct TCPIP_TABLES;

// Largest number of bytes a connection slot keeps queued for sending.
#define TCPIP_QUEUE_LIMIT 0x7FFFFFFF

class TCPIP {
public:
  TCPIP_TABLES* tables;  // owned socket tables
  INT_U32 buffer_size;   // receive buffer of each slot, and the sockets' send and receive buffer size

  // Builds the tables (every socket closed, every group free, one receive buffer per slot). A buffer
  // size of 0 is fatal error 0x0A; no memory for the tables is fatal error 0x0B. Starts nothing.
  TCPIP(INT_U16 connection_slots, INT_U16 listen_groups, INT_U16 datagram_groups, INT_U16 buffer_size);
  // Closes everything; the last object alive stops the socket library when it was started.
  ~TCPIP();
  TCPIP(const TCPIP&) = delete;
  TCPIP& operator=(const TCPIP&) = delete;

  // Starts the socket library (Winsock 1.1) unless it already runs.
  bool startup();

  // The first free slot gets a TCP socket connected to host:port (waits for the connection);
  // the slot, or -1.
  INT_S16 connect(const char* host, INT_U16 port);
  // The first free listen group gets a listening socket on each address of the local host and one on
  // 127.0.0.1; true when at least one listens.
  bool open_listen_port(INT_U16 port);
  // The first free datagram group gets a UDP socket on each address of the local host (and one on
  // 127.0.0.1, so that local datagrams arrive); true when at least one is bound.
  bool open_datagram_port(INT_U16 port);
  // Accepts one waiting connection into the first free slot; slot and the group's port out (-1 and 0
  // when nothing was accepted). With every slot busy a waiting connection is closed at once.
  bool accept_connection(INT_S16* slot, INT_U16* port);
  bool is_connected(INT_S16 slot);

  // One send: bytes sent; 0 when the socket would block; -1 bad slot, closed socket, null data or
  // length below 1; -2 after an error (the connection is closed).
  INT_S32 send(INT_S16 slot, const void* data, INT_S32 length);
  // Sends until every byte is gone (retrying while the socket would block); length, -1 or -2.
  INT_S32 send_all(INT_S16 slot, const void* data, INT_S32 length);
  // Appends the bytes to the slot's queued output; nothing changes on a bad slot, on allocation
  // failure or when the queue would pass TCPIP_QUEUE_LIMIT.
  void queue_send(INT_S16 slot, const void* data, INT_S32 length);
  // One send of each open slot's queued output; the bytes sent leave the queue's front.
  void flush_send_queues();
  // One receive: bytes received; 0 when nothing waits; -2 when the peer closed or an error occurred
  // (the connection is closed); -1 bad arguments.
  INT_S32 receive(INT_S16 slot, void* buffer, INT_S32 length);
  // Gathers in the slot's receive buffer until min(length, buffer size) bytes are there, then copies
  // them out and returns their count; 0 while still gathering; -1 and -2 as receive.
  INT_S32 receive_message(INT_S16 slot, void* buffer, INT_S32 length);
  // The first datagram waiting on any datagram socket: its byte count (0 when none); sender text
  // ("%d.%d.%d.%d", a static buffer), sender port and the group's port out.
  INT_S32 receive_datagram(void* buffer, INT_S32 length, char** sender, INT_U16* sender_port,
                           INT_U16* group_port);
  // Sends from every socket of every datagram group with group_port to host:port; a null or empty
  // host sends to 255.255.255.255.
  void send_datagram(INT_U16 group_port, const void* data, INT_S32 length, const char* host,
                     INT_U16 port);

  // Closes slot (-1 = every slot) and drops its queued output; other values are refused.
  void close_connection(INT_S16 slot);
  // Closes every group with that port (0 = every group); the groups become free.
  void close_listen_port(INT_U16 port);
  void close_datagram_port(INT_U16 port);
  // Closes the socket unless it is -1 and stores -1.
  void close_socket(INT_S32* socket);

  // "%s:%d" of the peer's address and port; "" for a bad slot or a closed socket.
  const char* get_peer_address(INT_S16 slot);
  // The local host name (at most 99 characters); "" when it cannot be read.
  const char* get_host_name();
  // The first address of a name as "%d.%d.%d.%d"; "" for null, for names that do not resolve or when
  // the socket library cannot start.
  const char* resolve_host(const char* name);
  // A dotted address (four parts of 0 to 255) or a name resolved to one; 0 on failure or for null.
  INT_U32 parse_address(const char* text);
  // "%d.%d.%d.%d", lowest byte first (static buffer).
  const char* address_to_text(INT_U32 address);
  // True when a reverse lookup finds the parsed address.
  bool host_exists(const char* text);

  // Makes one socket: mode 0 connects to address:port, 1 binds a UDP socket, 2 binds and listens.
  bool open_socket(INT_S32* socket, INT_S32 mode, const char* address, INT_U16 port);

private:
  bool open_port_group(bool listening, INT_U16 port);
};
