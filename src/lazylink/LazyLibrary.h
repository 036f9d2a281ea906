/* SPDX-License-Identifier: GPL-3.0-or-later */
#pragma once
/* A shared library the window program loads only when one of its functions is first called.
   Its functions are stubs in the program (made by corvial_lazy_library in CMakeLists.txt);
   each jumps through its slot, which until then leads to corvial_lazy_resolve. */

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

struct CorvialLazyLibrary
{
    const char *soname;       /* what dlopen is given, e.g. "libcups.so.2" */
    const char *const *names; /* the stubbed functions, count of them */
    void **targets;           /* where each stub jumps */
    size_t count;
    void *handle; /* dlopen's handle once loaded; guarded by the loader's lock */
};

/* Loads library on the first call, points every stub at its function and returns the
   function for slot index. Ends the program, naming the library and the function, when
   either cannot be found: the caller has nothing it could be given instead. */
void *corvial_lazy_resolve(struct CorvialLazyLibrary *library, size_t index);

/* Nonzero once library has been loaded by a call through one of its stubs. */
int corvial_lazy_loaded(const struct CorvialLazyLibrary *library);

#ifdef __cplusplus
}
#endif
