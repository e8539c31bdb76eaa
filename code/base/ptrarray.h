// Growable array of pointers: appended at the end, grown in fixed steps, removed with or without
// keeping order, sorted and binary-searched through a caller's compare function and user value.
#pragma once
#include "types.h"

// Orders a and b (for find: the key and an item); only the low 16 bits, read as a signed value, count.
typedef INT_S32 (*PTRARRAY_COMPARE)(const void* a, const void* b, void* user);
// Called with each item that the array drops.
typedef void (*PTRARRAY_DELETE_CALLBACK)(void* item);

// The library's default grow step and first allocation, and the bound both are clamped to.
const INT_S16 PTRARRAY_DEFAULT_STEP = 10;
const INT_S16 PTRARRAY_MAX_STEP = 1024;

class PTRARRAY {
public:
  void** items = nullptr;
  INT_S32 capacity = 0;
  INT_S32 count = 0;
  INT_S16 grow_step = PTRARRAY_DEFAULT_STEP;
  INT_S32 first_allocation = PTRARRAY_DEFAULT_STEP;
  PTRARRAY_DELETE_CALLBACK delete_callback = nullptr;

  PTRARRAY() {}
  // Frees the slot array only; dropping the items (through the callback) is clear's job, which
  // owners call before they let the array go.
  virtual ~PTRARRAY();
  PTRARRAY(const PTRARRAY&) = delete;
  PTRARRAY& operator=(const PTRARRAY&) = delete;

  // Hands the item at index to the delete callback, when one is set.
  virtual void delete_item(INT_S32 index);

  // Appends item, growing first when full; 0 when the slots cannot be had (array unchanged).
  INT_U32 add(void* item);
  // Drops the item at index and moves the later ones down; 0 for an index outside 0..count-1.
  INT_U32 remove_at(INT_S32 index);
  // Drops the item at index and moves the last item into its place; 0 for an index out of range.
  INT_U32 remove_at_unordered(INT_S32 index);
  // Drops every item; the slots stay allocated.
  void remove_all();
  // Drops every item and frees the slots.
  void clear();
  // Sorts with compare(item_a, item_b, user).
  void sort(PTRARRAY_COMPARE compare, void* user);
  // Binary search of the sorted items with compare(key, item, user); the index found, or -1.
  INT_S32 find(const void* key, PTRARRAY_COMPARE compare, void* user);
};

// The compare function and user value of the sort or search in progress, read by the comparator
// handed to qsort and bsearch; a compare function must not start another sort or search.
extern PTRARRAY_COMPARE ptrarray_compare_function;
extern void* ptrarray_compare_user;
int ptrarray_compare_thunk(const void* a, const void* b);
