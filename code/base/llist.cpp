// Doubly linked lists with one built-in cursor: nodes own a copy of the caller's bytes; the pointer
// list stores whole pointer values and hands them back on its walk.
#include "llist.h"

#include <cstring>
#include <new>

LLIST_NODE::LLIST_NODE(const void* source, INT_S16 size) : data(nullptr), next(nullptr), prev(nullptr) {
  if (size <= 0) return;
  INT_U8* copy = new (std::nothrow) INT_U8[size];
  if (!copy) return;
  if (source) std::memcpy(copy, source, static_cast<size_t>(size));
  else std::memset(copy, 0, static_cast<size_t>(size));
  data = copy;
}

LLIST_NODE::~LLIST_NODE() {
  delete[] static_cast<INT_U8*>(data);
}

LLIST::LLIST() : count(0), head(nullptr), tail(nullptr), cursor(nullptr), delete_callback(nullptr) {}

LLIST::~LLIST() {
  clear();
}

void* LLIST::next(LLIST_NODE** node_out) {
  if (!cursor) return nullptr;
  LLIST_NODE* node = cursor;
  if (node_out) *node_out = node;
  cursor = node->next;
  return node->data;
}

void* LLIST::prev(LLIST_NODE** node_out) {
  if (!cursor) return nullptr;
  LLIST_NODE* node = cursor;
  if (node_out) *node_out = node;
  cursor = node->prev;
  return node->data;
}

bool LLIST::add(const void* data, INT_S16 size) {
  if (size <= 0) return false;
  LLIST_NODE* node = new (std::nothrow) LLIST_NODE(data, size);
  if (!node) return false;
  if (!node->data) {
    delete node;
    return false;
  }
  if (count == 0 || !head) {
    head = tail = node;
  } else if (!cursor) {
    node->prev = tail;
    tail->next = node;
    tail = node;
  } else {
    // Insert in front of the cursor; the cursor stays, so a forward walk does not meet the new node.
    node->next = cursor;
    node->prev = cursor->prev;
    if (cursor->prev) cursor->prev->next = node;
    else head = node;
    cursor->prev = node;
  }
  ++count;
  return true;
}

bool LLIST::remove(void* item) {
  for (LLIST_NODE* node = head; node; node = node->next) {
    if (node->data == item) {
      unlink(node);
      return true;
    }
  }
  return false;
}

void LLIST::delete_item(LLIST_NODE* node) {
  if (delete_callback) delete_callback(node->data);
}

void LLIST::unlink(LLIST_NODE* node) {
  if (node == head) head = node->next;
  else node->prev->next = node->next;
  if (node == tail) tail = node->prev;
  else node->next->prev = node->prev;
  if (cursor == node) cursor = nullptr;
  delete_item(node);
  --count;
  delete node;
}

void LLIST::clear() {
  LLIST_NODE* node = head;
  // Detach first so that a delete callback that looks at the list sees it empty.
  head = tail = cursor = nullptr;
  count = 0;
  while (node) {
    LLIST_NODE* following = node->next;
    delete_item(node);
    delete node;
    node = following;
  }
}

// The pointer list. Each node holds the pointer value itself, sizeof(void*) bytes, so whole
// pointers survive on 64-bit builds.

void* stored_pointer(const LLIST_NODE* node) {
  void* item = nullptr;
  if (node && node->data) std::memcpy(&item, node->data, sizeof item);
  return item;
}

PTRLLIST::~PTRLLIST() {
  // Clear here, while delete_item still dispatches to the pointer form: the callback gets the stored
  // pointer on destruction exactly as on remove.
  clear();
}

void* PTRLLIST::next(LLIST_NODE** node_out) {
  if (!cursor) return nullptr;
  LLIST_NODE* node = cursor;
  LLIST::next(node_out);
  return stored_pointer(node);
}

void* PTRLLIST::prev(LLIST_NODE** node_out) {
  if (!cursor) return nullptr;
  LLIST_NODE* node = cursor;
  LLIST::prev(node_out);
  return stored_pointer(node);
}

bool PTRLLIST::remove(void* item) {
  for (LLIST_NODE* node = head; node; node = node->next) {
    if (stored_pointer(node) == item) {
      unlink(node);
      return true;
    }
  }
  return false;
}

bool PTRLLIST::add(void* item) {
  return LLIST::add(&item, static_cast<INT_S16>(sizeof item));
}

bool PTRLLIST::add(const void* data, INT_S16 size) {
  // Only a whole pointer value may go in: the walk reads exactly that many bytes back.
  if (size != static_cast<INT_S16>(sizeof(void*))) return false;
  return LLIST::add(data, size);
}

void PTRLLIST::delete_item(LLIST_NODE* node) {
  if (node->data && delete_callback) delete_callback(stored_pointer(node));
}
