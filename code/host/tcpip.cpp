// The socket layer's tables and rules: connection slots with their receive buffers and send queues,
// listen and datagram port groups, and the lookups. The socket calls themselves are the host's
// (sockets_host.h); everything here is non-blocking except TCPIP::connect and TCPIP::send_all.
#include "tcpip.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "errors.h"
#include "host.h"
#include "sockets_host.h"

struct TCPIP_PORT_GROUP {
  INT_S32* sockets;  // null: the group is free
  INT_S16 count;
  INT_U16 port;
};

struct TCPIP_CONNECTION {
  INT_S32 socket;           // -1: the slot is free
  INT_U8* receive_buffer;   // buffer size bytes, kept for the object's life
  INT_S32 gathered;         // bytes waiting in the receive buffer
  INT_U8* queued;           // queued output, null when empty
  INT_S32 queued_length;
};

struct TCPIP_TABLES {
  TCPIP_PORT_GROUP* listen_groups;
  INT_S16 listen_group_count;
  TCPIP_PORT_GROUP* datagram_groups;
  INT_S16 datagram_group_count;
  TCPIP_CONNECTION* connections;
  INT_S16 connection_count;
};

// Process-wide state: objects alive, whether the socket library runs, and the result texts.
static INT_S16 tcpip_instances = 0;
static INT_U8 sockets_started = 0;
static char host_name_text[100];
static char address_text[20];
static char sender_text[20];
static char peer_text[30];
static char resolved_text[20];

// Most addresses of the local host that a port group binds.
#define MOST_LOCAL_ADDRESSES 32
#define LOOPBACK_ADDRESS 0x0100007Fu

static void format_address(char* out, size_t size, INT_U32 address) {
  snprintf(out, size, "%d.%d.%d.%d", (int)(address & 0xFF), (int)((address >> 8) & 0xFF),
           (int)((address >> 16) & 0xFF), (int)((address >> 24) & 0xFF));
}

static INT_S16 clamp_count(INT_U16 count) {
  return count > 0x7FFF ? (INT_S16)0x7FFF : (INT_S16)count;
}

TCPIP::TCPIP(INT_U16 connection_slots, INT_U16 listen_groups, INT_U16 datagram_groups,
             INT_U16 size) {
  tables = nullptr;
  buffer_size = size;
  if (size == 0)
    raise_error(0x0A);
  tcpip_instances++;
  tables = (TCPIP_TABLES*)calloc(1, sizeof(TCPIP_TABLES));
  if (!tables)
    raise_error(0x0B);
  tables->listen_group_count = clamp_count(listen_groups);
  tables->datagram_group_count = clamp_count(datagram_groups);
  tables->connection_count = clamp_count(connection_slots);
  // calloc leaves every group free (null socket array).
  tables->listen_groups =
      (TCPIP_PORT_GROUP*)calloc(tables->listen_group_count + 1, sizeof(TCPIP_PORT_GROUP));
  tables->datagram_groups =
      (TCPIP_PORT_GROUP*)calloc(tables->datagram_group_count + 1, sizeof(TCPIP_PORT_GROUP));
  tables->connections =
      (TCPIP_CONNECTION*)calloc(tables->connection_count + 1, sizeof(TCPIP_CONNECTION));
  if (!tables->listen_groups || !tables->datagram_groups || !tables->connections)
    raise_error(0x0B);
  for (INT_S16 i = 0; i < tables->connection_count; i++) {
    TCPIP_CONNECTION* connection = &tables->connections[i];
    connection->socket = -1;
    connection->receive_buffer = (INT_U8*)malloc(buffer_size);
    if (!connection->receive_buffer)
      raise_error(0x0B);
  }
}

TCPIP::~TCPIP() {
  if (tables) {
    close_connection(-1);
    close_listen_port(0);
    close_datagram_port(0);
    for (INT_S16 i = 0; i < tables->connection_count; i++)
      free(tables->connections[i].receive_buffer);
    free(tables->connections);
    free(tables->listen_groups);
    free(tables->datagram_groups);
    free(tables);
    tables = nullptr;
  }
  tcpip_instances--;
  if (tcpip_instances <= 0) {
    tcpip_instances = 0;
    if (sockets_started) {
      host_socket_cleanup();
      sockets_started = 0;
    }
  }
}

bool TCPIP::startup() {
  if (sockets_started)
    return true;
  if (!host_socket_startup())
    return false;
  sockets_started = 1;
  return true;
}

bool TCPIP::open_socket(INT_S32* socket, INT_S32 mode, const char* address_text_in, INT_U16 port) {
  if (!socket)
    return false;
  INT_U32 address = parse_address(address_text_in);
  // A connection needs a real address: 0 is what an unreadable text gives.
  if (mode == 0 && address == 0)
    return false;
  if (!startup())
    return false;
  bool datagram = mode == 1;
  *socket = host_socket_create(datagram);
  if (*socket == -1)
    return false;
  bool option_set = datagram ? host_socket_set_option(*socket, HOST_SOCKET_BROADCAST, 1)
                             : host_socket_set_option(*socket, HOST_SOCKET_REUSE_ADDRESS, 1);
  if (!option_set) {
    close_socket(socket);
    return false;
  }
  if (mode == 0 && !host_socket_connect(*socket, address, port)) {
    close_socket(socket);
    return false;
  }
  host_socket_set_non_blocking(*socket);
  host_socket_set_option(*socket, HOST_SOCKET_LINGER, datagram ? 0 : -1);
  if (!datagram)
    host_socket_set_option(*socket, HOST_SOCKET_KEEP_ALIVE, 1);
  host_socket_set_option(*socket, HOST_SOCKET_DEBUG, 1);
  host_socket_set_option(*socket, HOST_SOCKET_SEND_BUFFER, (INT_S32)buffer_size);
  host_socket_set_option(*socket, HOST_SOCKET_RECEIVE_BUFFER, (INT_S32)buffer_size);
  if (mode == 1 || mode == 2) {
    bool bound = host_socket_bind(*socket, address, port);
    if (bound && mode == 2)
      bound = host_socket_listen(*socket, tables->connection_count > 0 ? tables->connection_count : 1);
    if (!bound) {
      close_socket(socket);
      return false;
    }
  }
  return true;
}

INT_S16 TCPIP::connect(const char* host, INT_U16 port) {
  if (!host || !startup())
    return -1;
  for (INT_S16 i = 0; i < tables->connection_count; i++) {
    TCPIP_CONNECTION* connection = &tables->connections[i];
    if (connection->socket != -1)
      continue;
    connection->gathered = 0;
    free(connection->queued);
    connection->queued = nullptr;
    connection->queued_length = 0;
    if (!open_socket(&connection->socket, 0, host, port))
      return -1;
    activity_flag = 1;
    return i;
  }
  return -1;
}

// Binds a free group of the kind on every address of the local host, and once on the loopback
// address so that local peers always reach the group: last for a listen group; first for a datagram
// group, where some socket layers bind an interface address as the wildcard address of its device,
// which would otherwise take the port from the loopback socket.
bool TCPIP::open_port_group(bool listening, INT_U16 port) {
  if (!startup())
    return false;
  char name[100];
  if (!host_socket_host_name(name, sizeof(name)))
    return false;
  TCPIP_PORT_GROUP* groups = listening ? tables->listen_groups : tables->datagram_groups;
  INT_S16 group_count = listening ? tables->listen_group_count : tables->datagram_group_count;
  TCPIP_PORT_GROUP* group = nullptr;
  for (INT_S16 i = 0; i < group_count && !group; i++)
    if (!groups[i].sockets)
      group = &groups[i];
  if (!group)
    return false;
  INT_U32 found[MOST_LOCAL_ADDRESSES];
  INT_S32 found_count = host_socket_local_addresses(name, found, MOST_LOCAL_ADDRESSES);
  if (found_count < 0)
    return false;
  INT_U32 addresses[MOST_LOCAL_ADDRESSES + 1];
  INT_S32 address_count = 0;
  if (!listening)
    addresses[address_count++] = LOOPBACK_ADDRESS;
  for (INT_S32 i = 0; i < found_count; i++)
    if (found[i] != LOOPBACK_ADDRESS)
      addresses[address_count++] = found[i];
  if (listening)
    addresses[address_count++] = LOOPBACK_ADDRESS;

  group->sockets = (INT_S32*)malloc(sizeof(INT_S32) * address_count);
  if (!group->sockets)
    return false;
  group->count = (INT_S16)address_count;
  group->port = port;
  bool any = false;
  for (INT_S32 i = 0; i < address_count; i++) {
    group->sockets[i] = -1;
    char text[20];
    format_address(text, sizeof(text), addresses[i]);
    if (open_socket(&group->sockets[i], listening ? 2 : 1, text, port))
      any = true;
  }
  return any;
}

bool TCPIP::open_listen_port(INT_U16 port) {
  return open_port_group(true, port);
}

bool TCPIP::open_datagram_port(INT_U16 port) {
  return open_port_group(false, port);
}

bool TCPIP::accept_connection(INT_S16* slot, INT_U16* port) {
  if (slot)
    *slot = -1;
  if (port)
    *port = 0;
  for (INT_S16 g = 0; g < tables->listen_group_count; g++) {
    TCPIP_PORT_GROUP* group = &tables->listen_groups[g];
    if (!group->sockets)
      continue;
    for (INT_S16 s = 0; s < group->count; s++) {
      if (group->sockets[s] == -1)
        continue;
      INT_S32 accepted = host_socket_accept(group->sockets[s]);
      if (accepted == -1)
        continue;
      activity_flag = 1;
      INT_S16 free_slot = -1;
      for (INT_S16 i = 0; i < tables->connection_count && free_slot < 0; i++)
        if (tables->connections[i].socket == -1)
          free_slot = i;
      if (free_slot < 0) {
        host_socket_close(accepted);
        continue;
      }
      TCPIP_CONNECTION* connection = &tables->connections[free_slot];
      host_socket_set_non_blocking(accepted);
      connection->socket = accepted;
      connection->gathered = 0;
      free(connection->queued);
      connection->queued = nullptr;
      connection->queued_length = 0;
      if (slot)
        *slot = free_slot;
      if (port)
        *port = group->port;
      return true;
    }
  }
  return false;
}

bool TCPIP::is_connected(INT_S16 slot) {
  return slot >= 0 && slot < tables->connection_count && tables->connections[slot].socket != -1;
}

INT_S32 TCPIP::send(INT_S16 slot, const void* data, INT_S32 length) {
  if (!is_connected(slot) || !data || length < 1)
    return -1;
  INT_S32 sent = host_socket_send(tables->connections[slot].socket, data, length);
  if (sent == HOST_SOCKET_WOULD_BLOCK)
    return 0;
  if (sent < 0) {
    close_connection(slot);
    return -2;
  }
  if (sent > 0)
    activity_flag = 1;
  return sent;
}

INT_S32 TCPIP::send_all(INT_S16 slot, const void* data, INT_S32 length) {
  if (!is_connected(slot) || !data || length < 1)
    return -1;
  const INT_U8* bytes = (const INT_U8*)data;
  INT_S32 done = 0;
  while (done < length) {
    INT_S32 sent = send(slot, bytes + done, length - done);
    if (sent < 0)
      return sent;
    done += sent;
  }
  return length;
}

void TCPIP::queue_send(INT_S16 slot, const void* data, INT_S32 length) {
  if (!is_connected(slot) || !data || length < 1)
    return;
  TCPIP_CONNECTION* connection = &tables->connections[slot];
  if (length > TCPIP_QUEUE_LIMIT - connection->queued_length)
    return;
  INT_U8* grown = (INT_U8*)realloc(connection->queued, (size_t)connection->queued_length + length);
  if (!grown)
    return;
  memcpy(grown + connection->queued_length, data, length);
  connection->queued = grown;
  connection->queued_length += length;
}

void TCPIP::flush_send_queues() {
  for (INT_S16 i = 0; i < tables->connection_count; i++) {
    TCPIP_CONNECTION* connection = &tables->connections[i];
    if (connection->socket == -1 || connection->queued_length < 1)
      continue;
    INT_S32 sent = host_socket_send(connection->socket, connection->queued, connection->queued_length);
    if (sent == HOST_SOCKET_WOULD_BLOCK || sent == 0)
      continue;
    if (sent < 0) {
      close_connection(i);
      continue;
    }
    activity_flag = 1;
    connection->queued_length -= sent;
    if (connection->queued_length > 0) {
      memmove(connection->queued, connection->queued + sent, connection->queued_length);
    } else {
      free(connection->queued);
      connection->queued = nullptr;
      connection->queued_length = 0;
    }
  }
}

INT_S32 TCPIP::receive(INT_S16 slot, void* buffer, INT_S32 length) {
  if (!is_connected(slot) || !buffer || length < 1)
    return -1;
  INT_S32 received = host_socket_receive(tables->connections[slot].socket, buffer, length);
  if (received == HOST_SOCKET_WOULD_BLOCK)
    return 0;
  if (received <= 0) {
    close_connection(slot);
    return -2;
  }
  activity_flag = 1;
  return received;
}

INT_S32 TCPIP::receive_message(INT_S16 slot, void* buffer, INT_S32 length) {
  if (!is_connected(slot) || !buffer || length < 1)
    return -1;
  TCPIP_CONNECTION* connection = &tables->connections[slot];
  INT_S32 limit = length < (INT_S32)buffer_size ? length : (INT_S32)buffer_size;
  INT_S32 want = limit - connection->gathered;
  if (want > 0) {
    INT_S32 received =
        host_socket_receive(connection->socket, connection->receive_buffer + connection->gathered, want);
    if (received != HOST_SOCKET_WOULD_BLOCK) {
      if (received <= 0) {
        close_connection(slot);
        return -2;
      }
      activity_flag = 1;
      connection->gathered += received;
    }
  }
  if (connection->gathered < limit)
    return 0;
  // Deliver one message; bytes gathered beyond it (after an earlier, longer request) stay for the next.
  INT_S32 count = connection->gathered < length ? connection->gathered : length;
  memcpy(buffer, connection->receive_buffer, count);
  connection->gathered -= count;
  if (connection->gathered > 0)
    memmove(connection->receive_buffer, connection->receive_buffer + count, connection->gathered);
  return count;
}

INT_S32 TCPIP::receive_datagram(void* buffer, INT_S32 length, char** sender, INT_U16* sender_port,
                                INT_U16* group_port) {
  sender_text[0] = 0;
  if (sender)
    *sender = sender_text;
  if (!buffer || length < 1 || !startup())
    return 0;
  for (INT_S16 g = 0; g < tables->datagram_group_count; g++) {
    TCPIP_PORT_GROUP* group = &tables->datagram_groups[g];
    if (!group->sockets)
      continue;
    for (INT_S16 s = 0; s < group->count; s++) {
      if (group->sockets[s] == -1)
        continue;
      INT_U32 from = 0;
      INT_U16 from_port = 0;
      INT_S32 received = host_socket_receive_from(group->sockets[s], buffer, length, &from, &from_port);
      if (received <= 0)
        continue;
      format_address(sender_text, sizeof(sender_text), from);
      if (sender_port)
        *sender_port = from_port;
      if (group_port)
        *group_port = group->port;
      activity_flag = 1;
      return received;
    }
  }
  return 0;
}

void TCPIP::send_datagram(INT_U16 group_port, const void* data, INT_S32 length, const char* host,
                          INT_U16 port) {
  if (!data || length < 1 || !startup())
    return;
  INT_U32 address = 0xFFFFFFFFu;
  if (host && host[0]) {
    address = parse_address(host);
    if (address == 0)
      return;
  }
  for (INT_S16 g = 0; g < tables->datagram_group_count; g++) {
    TCPIP_PORT_GROUP* group = &tables->datagram_groups[g];
    if (!group->sockets || group->port != group_port)
      continue;
    for (INT_S16 s = 0; s < group->count; s++)
      if (group->sockets[s] != -1 &&
          host_socket_send_to(group->sockets[s], data, length, address, port) > 0)
        activity_flag = 1;
  }
}

void TCPIP::close_connection(INT_S16 slot) {
  if (slot < -1 || slot >= tables->connection_count)
    return;
  INT_S16 first = slot == -1 ? 0 : slot;
  INT_S16 last = slot == -1 ? (INT_S16)(tables->connection_count - 1) : slot;
  for (INT_S16 i = first; i <= last; i++) {
    TCPIP_CONNECTION* connection = &tables->connections[i];
    close_socket(&connection->socket);
    free(connection->queued);
    connection->queued = nullptr;
    connection->queued_length = 0;
    connection->gathered = 0;
  }
}

static void close_groups(TCPIP* tcpip, TCPIP_PORT_GROUP* groups, INT_S16 count, INT_U16 port) {
  for (INT_S16 g = 0; g < count; g++) {
    TCPIP_PORT_GROUP* group = &groups[g];
    if (!group->sockets || (port != 0 && group->port != port))
      continue;
    for (INT_S16 s = 0; s < group->count; s++)
      tcpip->close_socket(&group->sockets[s]);
    free(group->sockets);
    group->sockets = nullptr;
    group->count = 0;
    group->port = 0;
  }
}

void TCPIP::close_listen_port(INT_U16 port) {
  close_groups(this, tables->listen_groups, tables->listen_group_count, port);
}

void TCPIP::close_datagram_port(INT_U16 port) {
  close_groups(this, tables->datagram_groups, tables->datagram_group_count, port);
}

void TCPIP::close_socket(INT_S32* socket) {
  if (!socket || *socket == -1)
    return;
  host_socket_close(*socket);
  *socket = -1;
}

const char* TCPIP::get_peer_address(INT_S16 slot) {
  peer_text[0] = 0;
  INT_U32 address = 0;
  INT_U16 port = 0;
  if (!is_connected(slot) || !host_socket_peer(tables->connections[slot].socket, &address, &port))
    return peer_text;
  char dotted[20];
  format_address(dotted, sizeof(dotted), address);
  snprintf(peer_text, sizeof(peer_text), "%s:%d", dotted, (int)port);
  return peer_text;
}

const char* TCPIP::get_host_name() {
  host_name_text[0] = 0;
  if (!startup() || !host_socket_host_name(host_name_text, sizeof(host_name_text)))
    host_name_text[0] = 0;
  return host_name_text;
}

const char* TCPIP::resolve_host(const char* name) {
  resolved_text[0] = 0;
  INT_U32 address = 0;
  if (!name || !startup() || !host_socket_lookup(name, &address))
    return resolved_text;
  format_address(resolved_text, sizeof(resolved_text), address);
  return resolved_text;
}

// Reads a dotted address of four decimal parts. 1: an address (out); 0: not a dotted address;
// -1: a dotted address with a part above 255.
static int read_dotted_address(const char* text, INT_U32* out) {
  const char* p = text;
  while (*p == ' ' || *p == '\t')
    p++;
  INT_U32 address = 0;
  bool too_large = false;
  for (int i = 0; i < 4; i++) {
    if (i > 0) {
      if (*p != '.')
        return 0;
      p++;
    }
    if (*p < '0' || *p > '9')
      return 0;
    INT_U32 value = 0;
    while (*p >= '0' && *p <= '9') {
      if (value <= 255)
        value = value * 10 + (INT_U32)(*p - '0');
      p++;
    }
    if (value > 255)
      too_large = true;
    address |= (value & 0xFF) << (8 * i);
  }
  if (*p != 0 && *p != ' ' && *p != '\t' && *p != '\r' && *p != '\n')
    return 0;
  if (too_large)
    return -1;
  *out = address;
  return 1;
}

INT_U32 TCPIP::parse_address(const char* text) {
  if (!text)
    return 0;
  INT_U32 address = 0;
  int dotted = read_dotted_address(text, &address);
  if (dotted == 1)
    return address;
  if (dotted < 0)
    return 0;
  if (!startup() || !host_socket_lookup(text, &address))
    return 0;
  return address;
}

const char* TCPIP::address_to_text(INT_U32 address) {
  format_address(address_text, sizeof(address_text), address);
  return address_text;
}

bool TCPIP::host_exists(const char* text) {
  INT_U32 address = parse_address(text);
  if (address == 0 || !startup())
    return false;
  return host_socket_reverse_lookup(address);
}
