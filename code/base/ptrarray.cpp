// Growable array of pointers with linear growth, ordered and unordered removal, and sorting and
// binary search through the standard library's qsort and bsearch.
#include "ptrarray.h"

#include <cstdlib>
#include <cstring>

PTRARRAY_COMPARE ptrarray_compare_function = nullptr;
void* ptrarray_compare_user = nullptr;

// qsort and bsearch hand over the addresses of two slots (the key is passed as a slot of its own);
// the caller's function gets the pointers in them and only its low 16 bits count.
int ptrarray_compare_thunk(const void* a, const void* b) {
  const void* item_a = *static_cast<void* const*>(a);
  const void* item_b = *static_cast<void* const*>(b);
  return static_cast<INT_S16>(ptrarray_compare_function(item_a, item_b, ptrarray_compare_user));
}

PTRARRAY::~PTRARRAY() {
  std::free(items);
}

void PTRARRAY::delete_item(INT_S32 index) {
  if (delete_callback) delete_callback(items[index]);
}

INT_U32 PTRARRAY::add(void* item) {
  if (count >= capacity) {
    INT_S32 step = grow_step;
    if (step > PTRARRAY_MAX_STEP) step = PTRARRAY_MAX_STEP;
    if (!items) {
      INT_S32 first = first_allocation > PTRARRAY_MAX_STEP ? PTRARRAY_MAX_STEP : first_allocation;
      if (first > step) step = first;
    }
    // Every array needs room for at least the one item being added.
    if (step < 1) step = 1;
    INT_S64 wanted = static_cast<INT_S64>(capacity) + step;
    if (wanted > 0x7FFFFFFF / static_cast<INT_S64>(sizeof(void*))) return 0;
    void** grown = static_cast<void**>(std::realloc(items, static_cast<size_t>(wanted) * sizeof(void*)));
    if (!grown) return 0;
    std::memset(grown + capacity, 0, static_cast<size_t>(wanted - capacity) * sizeof(void*));
    items = grown;
    capacity = static_cast<INT_S32>(wanted);
  }
  items[count++] = item;
  return 1;
}

INT_U32 PTRARRAY::remove_at(INT_S32 index) {
  if (index < 0 || index >= count) return 0;
  delete_item(index);
  std::memmove(items + index, items + index + 1, static_cast<size_t>(count - index - 1) * sizeof(void*));
  --count;
  items[count] = nullptr;
  return 1;
}

INT_U32 PTRARRAY::remove_at_unordered(INT_S32 index) {
  if (index < 0 || index >= count) return 0;
  delete_item(index);
  --count;
  items[index] = items[count];
  items[count] = nullptr;
  return 1;
}

void PTRARRAY::remove_all() {
  if (delete_callback) {
    for (INT_S32 index = 0; index < count; ++index) delete_item(index);
  }
  count = 0;
}

void PTRARRAY::clear() {
  remove_all();
  std::free(items);
  items = nullptr;
  capacity = 0;
}

void PTRARRAY::sort(PTRARRAY_COMPARE compare, void* user) {
  if (count < 2 || !compare) return;
  ptrarray_compare_function = compare;
  ptrarray_compare_user = user;
  std::qsort(items, static_cast<size_t>(count), sizeof(void*), ptrarray_compare_thunk);
}

INT_S32 PTRARRAY::find(const void* key, PTRARRAY_COMPARE compare, void* user) {
  if (count < 1 || !compare) return -1;
  ptrarray_compare_function = compare;
  ptrarray_compare_user = user;
  void* const key_slot = const_cast<void*>(key);
  void* found = std::bsearch(&key_slot, items, static_cast<size_t>(count), sizeof(void*), ptrarray_compare_thunk);
  if (!found) return -1;
  return static_cast<INT_S32>(static_cast<void**>(found) - items);
}
