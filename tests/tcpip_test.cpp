// Tests of the socket layer over the loopback address only: TCP echo through connection slots and
// a listen group, message gathering, send queues, datagrams, and the address texts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host.h"
#include "tcpip.h"

namespace {

// A port that no other test program (ctest -j) is likely to use at the same moment.
INT_U16 pick_port(int offset) {
  static unsigned seed = (unsigned)get_tick_count();
  return (INT_U16)(20000 + (seed * 7 + offset * 97) % 30000);
}

// Opens a listen port, trying a few numbers; returns the port or 0.
INT_U16 open_listen(TCPIP& tcpip, int offset) {
  for (int attempt = 0; attempt < 20; attempt++) {
    INT_U16 port = pick_port(offset + attempt * 13);
    if (tcpip.open_listen_port(port))
      return port;
    tcpip.close_listen_port(port);
  }
  return 0;
}

// Polls accept for a bounded time.
bool accept_within(TCPIP& tcpip, INT_S16* slot, INT_U16* port) {
  for (int i = 0; i < 2000; i++) {
    if (tcpip.accept_connection(slot, port))
      return true;
    sleep_milliseconds(1);
  }
  return false;
}

// Receives exactly length bytes with receive(), bounded.
std::string receive_text(TCPIP& tcpip, INT_S16 slot, INT_S32 length) {
  std::string text;
  char buffer[256];
  for (int i = 0; i < 2000 && (INT_S32)text.size() < length; i++) {
    INT_S32 got = tcpip.receive(slot, buffer, length - (INT_S32)text.size());
    if (got < 0)
      break;
    if (got == 0)
      sleep_milliseconds(1);
    text.append(buffer, got);
  }
  return text;
}

}  // namespace

TEST(TcpipAddressText, DottedTextsRoundTripAndBadPartsAreRefused) {
  TCPIP tcpip(1, 1, 1, 2048);
  INT_U32 address = tcpip.parse_address("10.0.0.1");
  EXPECT_EQ(address & 0xFF, 10u);
  EXPECT_EQ(address, 0x0100000Au);
  EXPECT_STREQ(tcpip.address_to_text(address), "10.0.0.1");
  EXPECT_EQ(tcpip.parse_address("127.0.0.1"), 0x0100007Fu);
  EXPECT_EQ(tcpip.parse_address(nullptr), 0u);
  EXPECT_EQ(tcpip.parse_address("256.1.1.1"), 0u);
  EXPECT_EQ(tcpip.parse_address("1.2.3.300"), 0u);
  EXPECT_EQ(tcpip.parse_address("1.2.3.99999999999"), 0u);
  EXPECT_STREQ(tcpip.address_to_text(0xFFFFFFFFu), "255.255.255.255");
  EXPECT_STREQ(tcpip.resolve_host(nullptr), "");
  EXPECT_STREQ(tcpip.resolve_host("127.0.0.1"), "127.0.0.1");
  EXPECT_STREQ(tcpip.get_peer_address(0), "");
  EXPECT_STREQ(tcpip.get_peer_address(-1), "");
  EXPECT_LT(strlen(tcpip.get_host_name()), 100u);
}

TEST(TcpipConnections, EchoThroughListenGroupAndSlots) {
  TCPIP server(2, 1, 0, 2048);
  TCPIP client(3, 0, 0, 2048);
  INT_U16 port = open_listen(server, 1);
  ASSERT_NE(port, 0) << "no listen port could be opened on the loopback address";
  // A second listen group does not exist.
  EXPECT_FALSE(server.open_listen_port((INT_U16)(port + 1)));

  INT_S16 slot = client.connect("127.0.0.1", port);
  ASSERT_EQ(slot, 0);
  EXPECT_TRUE(client.is_connected(0));
  EXPECT_FALSE(client.is_connected(1));
  EXPECT_FALSE(client.is_connected(3));
  EXPECT_FALSE(client.is_connected(-1));

  INT_S16 server_slot = -5;
  INT_U16 group_port = 0;
  ASSERT_TRUE(accept_within(server, &server_slot, &group_port));
  EXPECT_EQ(server_slot, 0);
  EXPECT_EQ(group_port, port);
  std::string peer = client.get_peer_address(0);
  EXPECT_EQ(peer, "127.0.0.1:" + std::to_string(port));

  // Echo: client -> server -> client.
  EXPECT_EQ(client.send_all(0, "hello, echo", 11), 11);
  std::string arrived = receive_text(server, server_slot, 11);
  EXPECT_EQ(arrived, "hello, echo");
  EXPECT_EQ(server.send_all(server_slot, arrived.data(), (INT_S32)arrived.size()), 11);
  EXPECT_EQ(receive_text(client, 0, 11), "hello, echo");

  // Bad arguments.
  EXPECT_EQ(client.send(0, nullptr, 5), -1);
  EXPECT_EQ(client.send(0, "x", 0), -1);
  EXPECT_EQ(client.send(2, "x", 1), -1);
  char buffer[16];
  EXPECT_EQ(client.receive(0, buffer, 0), -1);
  EXPECT_EQ(client.receive(0, buffer, sizeof(buffer)), 0);  // nothing waits: would block

  // Three slots: a fourth connection is refused until one closes; the freed slot is reused.
  INT_S16 second = client.connect("127.0.0.1", port);
  INT_S16 third = client.connect("127.0.0.1", port);
  EXPECT_EQ(second, 1);
  EXPECT_EQ(third, 2);
  EXPECT_EQ(client.connect("127.0.0.1", port), -1);
  client.close_connection(1);
  EXPECT_FALSE(client.is_connected(1));
  EXPECT_EQ(client.connect("127.0.0.1", port), 1);
  client.close_connection(7);  // refused: nothing happens
  EXPECT_TRUE(client.is_connected(0));

  // The server has two slots: slot 1 takes one waiting connection, the rest are closed at once.
  INT_S16 accepted_slot = -1;
  ASSERT_TRUE(accept_within(server, &accepted_slot, &group_port));
  EXPECT_EQ(accepted_slot, 1);
  bool refused_one = false;
  for (int i = 0; i < 200 && !refused_one; i++) {
    INT_S16 s = 99;
    INT_U16 p = 99;
    EXPECT_FALSE(server.accept_connection(&s, &p));
    EXPECT_EQ(s, -1);
    EXPECT_EQ(p, 0);
    // A refused connection shows on the client as a closed peer.
    for (INT_S16 c = 1; c < 3; c++) {
      if (client.is_connected(c) && client.receive(c, buffer, sizeof(buffer)) == -2)
        refused_one = true;
    }
    sleep_milliseconds(2);
  }
  EXPECT_TRUE(refused_one);

  // The peer closing shows as -2 and the slot becomes free.
  server.close_connection(server_slot);
  INT_S32 result = 0;
  for (int i = 0; i < 2000 && result == 0; i++) {
    result = client.receive(0, buffer, sizeof(buffer));
    if (result == 0)
      sleep_milliseconds(1);
  }
  EXPECT_EQ(result, -2);
  EXPECT_FALSE(client.is_connected(0));

  // Closing listen groups: another port does nothing, port 0 frees every group.
  server.close_listen_port((INT_U16)(port + 1));
  EXPECT_FALSE(server.open_listen_port(port));  // the only group is still busy
  server.close_listen_port(0);
  EXPECT_EQ(client.connect("127.0.0.1", port), -1);  // nobody listens any more
}

TEST(TcpipConnections, MessagesGatherUpToTheBufferAndQueuesFlush) {
  TCPIP server(1, 1, 0, 64);
  TCPIP client(1, 0, 0, 64);
  INT_U16 port = open_listen(server, 2);
  ASSERT_NE(port, 0);
  ASSERT_EQ(client.connect("127.0.0.1", port), 0);
  INT_S16 slot = -1;
  ASSERT_TRUE(accept_within(server, &slot, nullptr));

  // Ten bytes asked, four arrive: nothing yet; the rest arrives: ten.
  char message[128];
  EXPECT_EQ(client.send_all(0, "abcd", 4), 4);
  INT_S32 got = 0;
  for (int i = 0; i < 50; i++) {
    got = server.receive_message(slot, message, 10);
    ASSERT_EQ(got, 0);
    sleep_milliseconds(1);
  }
  EXPECT_EQ(client.send_all(0, "efghij", 6), 6);
  for (int i = 0; i < 2000 && got == 0; i++) {
    got = server.receive_message(slot, message, 10);
    if (got == 0)
      sleep_milliseconds(1);
  }
  ASSERT_EQ(got, 10);
  EXPECT_EQ(std::string(message, 10), "abcdefghij");

  // A hundred bytes asked with a 64-byte buffer: the first 64 come as one message.
  std::vector<char> block(100);
  for (int i = 0; i < 100; i++)
    block[i] = (char)('A' + i % 26);
  // Queued output leaves in flushes.
  client.queue_send(0, block.data(), 60);
  client.queue_send(0, block.data() + 60, 40);
  client.queue_send(5, block.data(), 10);  // bad slot: ignored
  client.flush_send_queues();
  got = 0;
  for (int i = 0; i < 2000 && got == 0; i++) {
    client.flush_send_queues();
    got = server.receive_message(slot, message, 100);
    if (got == 0)
      sleep_milliseconds(1);
  }
  ASSERT_EQ(got, 64);
  EXPECT_EQ(memcmp(message, block.data(), 64), 0);
  got = 0;
  for (int i = 0; i < 2000 && got == 0; i++) {
    got = server.receive_message(slot, message, 36);
    if (got == 0)
      sleep_milliseconds(1);
  }
  ASSERT_EQ(got, 36);
  EXPECT_EQ(memcmp(message, block.data() + 64, 36), 0);
}

TEST(TcpipConnections, SendReportsZeroWhileTheSocketWouldBlock) {
  TCPIP server(1, 1, 0, 2048);
  TCPIP client(1, 0, 0, 2048);
  INT_U16 port = open_listen(server, 3);
  ASSERT_NE(port, 0);
  ASSERT_EQ(client.connect("127.0.0.1", port), 0);
  INT_S16 slot = -1;
  ASSERT_TRUE(accept_within(server, &slot, nullptr));
  // The server never reads: the small socket buffers fill up and a send reports 0.
  std::vector<char> block(2048, 'x');
  INT_S32 result = 1;
  for (int i = 0; i < 100000 && result > 0; i++)
    result = client.send(0, block.data(), (INT_S32)block.size());
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(client.is_connected(0));
}

TEST(TcpipDatagrams, DatagramsReachTheGroupOverLoopback) {
  TCPIP receiver(0, 0, 1, 65535);
  TCPIP sender(0, 0, 1, 65535);
  INT_U16 port = 0;
  for (int attempt = 0; attempt < 20 && !port; attempt++) {
    INT_U16 candidate = pick_port(40 + attempt * 11);
    if (receiver.open_datagram_port(candidate)) {
      port = candidate;
    } else {
      receiver.close_datagram_port(candidate);
    }
  }
  ASSERT_NE(port, 0) << "no datagram port could be opened";
  INT_U16 sender_group = 0;
  for (int attempt = 0; attempt < 20 && !sender_group; attempt++) {
    INT_U16 candidate = pick_port(300 + attempt * 17);
    if (sender.open_datagram_port(candidate)) {
      sender_group = candidate;
    } else {
      sender.close_datagram_port(candidate);
    }
  }
  ASSERT_NE(sender_group, 0);

  static char buffer[65535];
  char* from = nullptr;
  INT_U16 from_port = 0, group_port = 0;
  EXPECT_EQ(receiver.receive_datagram(buffer, sizeof(buffer), &from, &from_port, &group_port), 0);
  ASSERT_NE(from, nullptr);
  EXPECT_STREQ(from, "");

  // 40000 bytes: more than a 16-bit count holds, less than the buffer size; it arrives whole. Every
  // socket of the sending group sends, so copies may come from each local address.
  std::vector<char> big(40000);
  for (size_t i = 0; i < big.size(); i++)
    big[i] = (char)(i * 7);
  sender.send_datagram(sender_group, big.data(), (INT_S32)big.size(), "127.0.0.1", port);
  sender.send_datagram((INT_U16)(sender_group + 1), "lost", 4, "127.0.0.1", port);  // no such group
  sender.send_datagram(sender_group, "second", 6, "127.0.0.1", port);

  bool big_seen = false, second_seen = false, loopback_seen = false, lost_seen = false;
  for (int i = 0; i < 3000 && !(big_seen && second_seen); i++) {
    INT_S32 got = receiver.receive_datagram(buffer, sizeof(buffer), &from, &from_port, &group_port);
    if (got == 0) {
      sleep_milliseconds(1);
      continue;
    }
    EXPECT_EQ(from_port, sender_group);
    EXPECT_EQ(group_port, port);
    if (std::string(from) == "127.0.0.1")
      loopback_seen = true;
    if (got == 40000) {
      EXPECT_EQ(memcmp(buffer, big.data(), big.size()), 0);
      big_seen = true;
    } else if (got == 6 && memcmp(buffer, "second", 6) == 0) {
      second_seen = true;
    } else if (got == 4) {
      lost_seen = true;
    }
  }
  EXPECT_TRUE(big_seen);
  EXPECT_TRUE(second_seen);
  EXPECT_TRUE(loopback_seen);
  EXPECT_FALSE(lost_seen);

  receiver.close_datagram_port(0);
  EXPECT_EQ(receiver.receive_datagram(buffer, sizeof(buffer), &from, &from_port, &group_port), 0);
}

#ifndef _WIN32
// A zero buffer size is a fatal error of the platform: the program ends with the fatal status.
TEST(TcpipDeathTest, ZeroBufferSizeIsFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT({ TCPIP tcpip(1, 1, 1, 0); }, testing::ExitedWithCode(FATAL_EXIT_STATUS),
              "Receive buffer ssize supplied to TCPIP::TCPIP\\(\\) was invalid");
}
#endif
