// The library's fixed-width integer types, used in every stored format and interface.
#pragma once
#include <cstddef>
#include <cstdint>

typedef uint8_t INT_U8;
typedef int8_t INT_S8;
typedef uint16_t INT_U16;
typedef int16_t INT_S16;
typedef uint32_t INT_U32;
typedef int32_t INT_S32;
typedef uint64_t INT_U64;
typedef int64_t INT_S64;
