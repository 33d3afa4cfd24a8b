/* A module whose symbol table holds entries of every kind that the loader
 * must read as the dynamic loader does: "ds_types" (3 rows, 9 declared) with
 * an alias of 1 row and one of 0 bytes at its address, an absolute, a
 * thread-local, a weak, a protected and a unique entry. Built twice, with GNU
 * hash and with SysV hash only, named by SYMBOLS_NAME. */
#include "dsmodule.h"

DSM_NAME(SYMBOLS_NAME);

const DsType ds_types[3] = {DSM_INT("sym_a", 1, 0, 1), DSM_INT("sym_b", 1, 0, 2),
                            DSM_INT("sym_c", 1, 0, 3)};
const uint16_t ds_type_count = 9;

/* clang-format off */
__asm__(".globl dstest_types_one\n"
        ".type dstest_types_one, %object\n"
        ".set dstest_types_one, ds_types\n"
        ".size dstest_types_one, 40\n"
        ".globl dstest_types_empty\n"
        ".set dstest_types_empty, ds_types\n"
        ".size dstest_types_empty, 0\n"
        ".globl dstest_absolute\n"
        ".set dstest_absolute, 0x40\n"
        ".size dstest_absolute, 8\n"
        ".section .rodata\n"
        ".globl dstest_unique\n"
        ".type dstest_unique, %gnu_unique_object\n"
        ".size dstest_unique, 4\n"
        "dstest_unique: .long 5\n"
        ".text\n");
/* clang-format on */
__thread int dstest_thread_local = 1;
__attribute__((weak)) const int dstest_weak = 1;
__attribute__((visibility("protected"))) const int dstest_protected = 2;
