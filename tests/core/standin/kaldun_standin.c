/* A stand-in of the converter library for the binding tests; built once with and once
 * without its export (STANDIN_WITHOUT_KALDUN). */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#define STANDIN_EXPORT __attribute__((visibility("default")))

static char calls[1024];

STANDIN_EXPORT const char* standin_calls(void) {
    return calls;
}

#ifndef STANDIN_WITHOUT_KALDUN
STANDIN_EXPORT int32_t KALDUN(const char* path) {
    size_t used = strlen(calls);
    snprintf(calls + used, sizeof calls - used, "KALDUN(%s);", path);
    return (int32_t)strlen(path);
}
#endif
