/* SPDX-License-Identifier: GPL-3.0-or-later */
#include "LazyLibrary.h"

#include <dlfcn.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>

/* One lock for every library: loading happens once per library and run, and two threads
   calling their first function at once must not load it twice. */
static pthread_mutex_t lazyLock = PTHREAD_MUTEX_INITIALIZER;

static void lazyFail(const char *what, const char *soname, const char *reason)
{
    /* The stub's caller expects the function to have run; there is no result to return in
       its place, so the program ends here, saying why, as the loader would have at start. */
    fprintf(stderr, "corvial-manager: %s（%s）: %s\n", what, soname, reason ? reason : "");
    fflush(stderr);
    abort();
}

void *corvial_lazy_resolve(struct CorvialLazyLibrary *library, size_t index)
{
    pthread_mutex_lock(&lazyLock);
    if (!library->handle) {
        void *handle = dlopen(library->soname, RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            lazyFail("ライブラリを読み込めません", library->soname, dlerror());
        for (size_t i = 0; i < library->count; ++i) {
            void *function = dlsym(handle, library->names[i]);
            /* A function this version lacks keeps leading here, and fails when called. */
            if (function)
                __atomic_store_n(&library->targets[i], function, __ATOMIC_RELEASE);
        }
        __atomic_store_n(&library->handle, handle, __ATOMIC_RELEASE);
    }
    void *function = dlsym(library->handle, library->names[index]);
    pthread_mutex_unlock(&lazyLock);
    if (!function)
        lazyFail("ライブラリに関数がありません", library->soname, library->names[index]);
    return function;
}

int corvial_lazy_loaded(const struct CorvialLazyLibrary *library)
{
    return __atomic_load_n(&library->handle, __ATOMIC_ACQUIRE) != NULL;
}
