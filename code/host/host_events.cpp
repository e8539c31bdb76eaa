// The platform event queue: events posted from anywhere wait until the frame loop drains the queue
// once per pass, and every registered EVENT_CLIENT sees every event in registration order.
#include "host.h"

#include <cstdlib>
#include <new>

#include "llist.h"

namespace {
struct QUEUE_ENTRY {
  EVENT* event;
  INT_U8 release;
};
}  // namespace

// Built on first use, so that clients constructed during static construction find the list.
static PTRLLIST& event_clients() {
  static PTRLLIST list;
  return list;
}
static PTRLLIST& event_queue() {
  static PTRLLIST list;
  return list;
}

EVENT_CLIENT::EVENT_CLIENT() {
  PTRLLIST& clients = event_clients();
  clients.cursor = nullptr;  // also ends a dispatch that is walking the list
  clients.add((void*)this);
}

EVENT_CLIENT::~EVENT_CLIENT() { event_clients().remove((void*)this); }

void dispatch_event(EVENT* event, INT_U8 release) {
  PTRLLIST& clients = event_clients();
  clients.cursor = clients.head;
  while (EVENT_CLIENT* client = (EVENT_CLIENT*)clients.next()) client->handle_event(event);
  if (release && event) {
    if (event->release) event->release(event, event->data);
    std::free(event);
  }
}

void post_event(EVENT* event, INT_U8 release) {
  QUEUE_ENTRY* entry = new (std::nothrow) QUEUE_ENTRY;
  PTRLLIST& queue = event_queue();
  queue.cursor = nullptr;
  if (entry) {
    entry->event = event;
    entry->release = release;
    if (queue.add((void*)entry)) return;
    delete entry;
  }
  dispatch_event(event, release);
}

void process_event_queue() {
  PTRLLIST& queue = event_queue();
  // Only the events queued now: what the clients post meanwhile waits for the next call. Each entry
  // leaves the queue before its dispatch, so a client that pumps messages meanwhile cannot see it twice.
  INT_S32 n = queue.count;
  while (n > 0 && queue.head) {
    QUEUE_ENTRY* entry = static_cast<QUEUE_ENTRY*>(stored_pointer(queue.head));
    queue.remove((void*)entry);
    dispatch_event(entry->event, entry->release);
    delete entry;
    n--;
  }
}

INT_S32 queued_event_count() { return event_queue().count; }
