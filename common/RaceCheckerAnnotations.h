// Race checkers under valgrind (helgrind, DRD) do not model C++ atomics: an atomic word compiles to
// the same plain load and store as any other. These client requests tell them what the program means:
// a word is atomic (so touching it from several threads is no race), and setting a flag (release)
// happens before whatever follows the load that sees it set (acquire). Outside valgrind each is a
// few instructions that do nothing; without valgrind's headers, nothing at all.
#pragma once

#if __has_include(<valgrind/helgrind.h>) && __has_include(<valgrind/drd.h>)
#include <valgrind/drd.h>
#include <valgrind/helgrind.h>
#define RACE_CHECKER_ATOMIC_WORD(word)                                                                                 \
    do {                                                                                                               \
        VALGRIND_HG_DISABLE_CHECKING((word), sizeof *(word));                                                          \
        ANNOTATE_BENIGN_RACE_SIZED((word), sizeof *(word), "");                                                        \
    } while (0)
#define RACE_CHECKER_RELEASE(flag)                                                                                     \
    do {                                                                                                               \
        DO_CREQ_v_W(_VG_USERREQ__HG_USERSO_SEND_PRE, void*, (flag));                                                   \
        ANNOTATE_HAPPENS_BEFORE(flag);                                                                                 \
    } while (0)
#define RACE_CHECKER_ACQUIRE(flag)                                                                                     \
    do {                                                                                                               \
        DO_CREQ_v_W(_VG_USERREQ__HG_USERSO_RECV_POST, void*, (flag));                                                  \
        ANNOTATE_HAPPENS_AFTER(flag);                                                                                  \
    } while (0)
#else
#define RACE_CHECKER_ATOMIC_WORD(word) ((void)(word))
#define RACE_CHECKER_RELEASE(flag) ((void)(flag))
#define RACE_CHECKER_ACQUIRE(flag) ((void)(flag))
#endif
