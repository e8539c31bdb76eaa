// Doubly linked lists with one built-in cursor: LLIST keeps an owned copy of each element's bytes,
// PTRLLIST keeps pointers (the objects pointed to stay the caller's unless the delete callback frees them).
#pragma once
#include "types.h"

// Called with each element that a list drops (LLIST: the copy's address; PTRLLIST: the stored pointer).
typedef void (*LLIST_DELETE_CALLBACK)(void* item);

// One element: the node's own copy of the caller's bytes and its two links.
class LLIST_NODE {
public:
  void* data;
  LLIST_NODE* next;
  LLIST_NODE* prev;

  // Copies size bytes of source into a new block (nothing when size is not positive).
  LLIST_NODE(const void* source, INT_S16 size);
  ~LLIST_NODE();
  LLIST_NODE(const LLIST_NODE&) = delete;
  LLIST_NODE& operator=(const LLIST_NODE&) = delete;
};

class LLIST {
public:
  INT_S32 count;
  LLIST_NODE* head;
  LLIST_NODE* tail;
  // The node that the next call of next or prev returns; callers set it to head or tail to walk.
  LLIST_NODE* cursor;
  LLIST_DELETE_CALLBACK delete_callback;

  LLIST();
  virtual ~LLIST();
  LLIST(const LLIST&) = delete;
  LLIST& operator=(const LLIST&) = delete;

  // Returns the cursor node's data (the copy's address) and moves the cursor on; null at the end.
  virtual void* next(LLIST_NODE** node_out = nullptr);
  virtual void* prev(LLIST_NODE** node_out = nullptr);
  // Unlinks the first node whose data address equals item; false when there is none.
  virtual bool remove(void* item);
  // Adds a copy of size bytes: before the cursor during a walk, else at the tail. False when no node
  // can be made or size is not positive.
  virtual bool add(const void* data, INT_S16 size);
  // Tells the delete callback about a node that is being dropped.
  virtual void delete_item(LLIST_NODE* node);

  // Drops every node (each through delete_item); the list is then empty.
  void clear();

protected:
  // Takes node out of the links, ends the walk when it was the cursor, drops and frees it.
  void unlink(LLIST_NODE* node);
};

// A list of pointers: each node's copy is the whole pointer value.
class PTRLLIST : public LLIST {
public:
  PTRLLIST() {}
  ~PTRLLIST() override;

  // Return the stored pointer rather than the copy's address; null at the end (a stored null pointer
  // therefore ends a walk too).
  void* next(LLIST_NODE** node_out = nullptr) override;
  void* prev(LLIST_NODE** node_out = nullptr) override;
  // Unlinks the first node holding the pointer item; false when absent. The object is not deleted
  // unless the delete callback does so.
  bool remove(void* item) override;
  // Appends (or inserts before the cursor) the pointer item.
  bool add(void* item);
  bool add(const void* data, INT_S16 size) override;
  // Calls the delete callback with the stored pointer.
  void delete_item(LLIST_NODE* node) override;
};

// The pointer that a node of a PTRLLIST holds (null for a node without data). The node keeps the
// pointer's bytes, so they are copied out rather than read through a cast.
void* stored_pointer(const LLIST_NODE* node);
