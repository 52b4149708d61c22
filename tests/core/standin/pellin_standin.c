/* A stand-in of the download library for the binding tests: the same exports, each
 * recording its call in a text the test reads back through standin_calls(). Built
 * once complete and once without CheckZ (STANDIN_WITHOUT_CHECKZ). */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#define STANDIN_EXPORT __attribute__((visibility("default")))

static char calls[4096];

static void record(const char* name, const char* argument) {
    size_t used = strlen(calls);
    snprintf(calls + used, sizeof calls - used, "%s(%s);", name, argument);
}

static void record_int(const char* name, long value) {
    char text[32];
    snprintf(text, sizeof text, "%ld", value);
    record(name, text);
}

STANDIN_EXPORT const char* standin_calls(void) {
    return calls;
}
STANDIN_EXPORT void standin_reset(void) {
    calls[0] = '\0';
}

STANDIN_EXPORT void BotLoad(const char* path) {
    record("BotLoad", path);
}
STANDIN_EXPORT void FontLoad(const char* path) {
    record("FontLoad", path);
}
STANDIN_EXPORT int32_t getPercent(void) {
    record("getPercent", "");
    return 42;
}
STANDIN_EXPORT int32_t getBlock(void) {
    record("getBlock", "");
    return 7;
}
STANDIN_EXPORT int32_t getError(void) {
    record("getError", "");
    return 3;
}
STANDIN_EXPORT int32_t usePort(int32_t port, int32_t baud) {
    char text[32];
    snprintf(text, sizeof text, "%d,%d", (int)port, (int)baud);
    record("usePort", text);
    return port + 1;
}
STANDIN_EXPORT void PowerOn(uint8_t on) {
    record_int("PowerOn", on);
}
STANDIN_EXPORT void BootOn(uint8_t on) {
    record_int("BootOn", on);
}
STANDIN_EXPORT void BootStart(uint8_t on) {
    record_int("BootStart", on);
}
STANDIN_EXPORT void BootShutDown(uint8_t on) {
    record_int("BootShutDown", on);
}
STANDIN_EXPORT void TESTFUNC(uint8_t on) {
    record_int("TESTFUNC", on);
}
STANDIN_EXPORT int32_t CheckDevice(void) {
    record("CheckDevice", "");
    return 1;
}
#ifndef STANDIN_WITHOUT_CHECKZ
STANDIN_EXPORT int32_t CheckZ(void) {
    record("CheckZ", "");
    return -1;
}
#endif
