/*
 * RS232: the serial-port component the download library talks through.
 *
 * It holds one configured port. PortInit stores the configuration; OpenPort and ClosePort
 * bracket every download and probe. Plain C linkage so that any caller can bind it by name.
 * The component is not reentrant: one job or probe uses it at a time.
 */
#ifndef RS232_RS232_H
#define RS232_RS232_H

#include <stdint.h>

#if defined(RS232_BUILD)
#define RS232_API __attribute__((visibility("default")))
#else
#define RS232_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Results of PortInit and OpenPort; 0 is success. */
enum {
    RS232_OK = 0,
    RS232_ERR_ARGUMENT = 1,       /* PortInit: null or over-long name, bad data bits or parity */
    RS232_ERR_NOT_CONFIGURED = 2, /* OpenPort before any good PortInit */
    RS232_ERR_OPEN = 3,           /* the device could not be opened (missing, no permission,
                                     an active system console) */
    RS232_ERR_BUSY = 4,           /* another process holds the port */
    RS232_ERR_NOT_A_TTY = 5,      /* the path is not a terminal device */
    RS232_ERR_BAUD = 6            /* the driver refused the baud rate */
};

/*
 * Stores the port configuration for later OpenPort calls; opens nothing.
 * name: "\\.\COM<n>" (mapped at each OpenPort: the path in the environment variable
 *       RS232_COM<n> when it is set, else the process's port map (SetPortMap), else
 *       /dev/ttyS<n-1>), "COM<n>" alike, or a device path used as it is; not null, at most
 *       255 bytes.
 * baud: any rate; OpenPort fails when the driver cannot do it.
 * parity: 0 none, 1 odd, 2 even. dataBits: 5 to 8. stopBits: 0 one stop bit, 2 two.
 * Returns RS232_OK, or RS232_ERR_ARGUMENT and keeps the previous configuration.
 */
RS232_API int32_t PortInit(const char* name, int32_t baud, int32_t parity, int32_t dataBits,
                           int32_t stopBits);

/*
 * Opens the configured port: raw mode, no flow control, the configured line format and rate,
 * input and output queues emptied. While open the port is held exclusively. Opening an open
 * port closes it first. Returns RS232_OK or one of the RS232_ERR_ codes.
 */
RS232_API int32_t OpenPort(void);

/* Releases the exclusive hold and closes the port. Harmless when nothing is open. */
RS232_API void ClosePort(void);

/*
 * Queues count bytes for sending and returns once the driver has taken them (it does not wait
 * for them to leave the wire). Harmless, and sends nothing, when the port is not open or the
 * device has gone.
 */
RS232_API void WritePort(const char* data, int32_t count);

/*
 * Returns at once: 1 with one received byte stored in *byte, or 0 when no byte is waiting
 * (also when the port is not open or the device has gone). byte must not be null.
 */
RS232_API int32_t ReadPort(uint8_t* byte);

/* Modem lines. A device that has no such line (a pseudo-terminal) ignores them. */
RS232_API void SetDTR(void);
RS232_API void ClrDTR(void);
RS232_API void SetRTS(void);
RS232_API void ClrRTS(void);

/*
 * Blocks until a byte can be read or ms milliseconds pass, whichever is first; burns no CPU.
 * Returns 1 when a byte is waiting, 0 otherwise. When the port is not open, or the device has
 * gone, it sleeps the full time and returns 0, so that callers timing a reply never spin.
 */
RS232_API int32_t WaitPort(int32_t ms);

/*
 * Sets this process's map of COM numbers to devices, consulted at every open after the
 * environment variable RS232_COM<n> and before /dev/ttyS<n-1>. paths[i] is the device for
 * COM<i+1>; a null or empty entry leaves that number unmapped. count is 0 to 20 (entries past
 * 20 are ignored); paths may be null when count is 0. Replaces the whole map; safe to call
 * from any thread. Returns RS232_OK, or RS232_ERR_ARGUMENT: for a negative count or null
 * paths the old map is kept; an entry of 256 bytes or more is skipped, its number then maps
 * to no device at all (never to /dev/ttyS<n-1>, which may be another real port), and the
 * other entries are taken.
 */
RS232_API int32_t SetPortMap(const char* const* paths, int32_t count);

/*
 * Writes the device path that name ("\\.\COM<n>", "COM<n>" or a path) maps to now into buf,
 * NUL-terminated. Returns RS232_OK, or RS232_ERR_ARGUMENT when an argument is null, the name
 * maps to nothing (COM0, empty) or the path does not fit size bytes.
 */
RS232_API int32_t MapPortName(const char* name, char* buf, int32_t size);

/* Where a name's device comes from, by the order above. */
enum {
    RS232_SOURCE_NONE = 0,   /* the name maps to nothing (COM0, empty) */
    RS232_SOURCE_PATH = 1,   /* the name is a path, used as it is */
    RS232_SOURCE_ENV = 2,    /* the environment variable RS232_COM<n> */
    RS232_SOURCE_MAP = 3,    /* the process's port map */
    RS232_SOURCE_DEFAULT = 4 /* /dev/ttyS<n-1> */
};

/* Returns the RS232_SOURCE_ of name's mapping now; RS232_SOURCE_NONE when name is null. */
RS232_API int32_t MapPortSource(const char* name);

/*
 * The port number n of "\\.\COM<n>" or "COM<n>" (any case, one to nine decimal digits),
 * or -1 for any other text. The one reading of such a name, for this component and for its
 * callers alike; callers apply their own range.
 */
static inline int32_t RS232_ComNumber(const char* name) {
    if (name == 0)
        return -1;
    if (name[0] == '\\' && name[1] == '\\' && name[2] == '.' && name[3] == '\\')
        name += 4;
    if ((name[0] | 0x20) != 'c' || (name[1] | 0x20) != 'o' || (name[2] | 0x20) != 'm')
        return -1;
    int32_t number = 0;
    int digits = 0;
    for (const char* p = name + 3; *p != '\0'; ++p, ++digits) {
        if (*p < '0' || *p > '9' || digits == 9)
            return -1;
        number = number * 10 + (*p - '0');
    }
    return digits > 0 ? number : -1;
}

/* What ProbePort found. */
enum {
    RS232_PORT_USABLE = 0,         /* it can be opened and held now */
    RS232_PORT_MISSING = 1,        /* no device behind the name (unplugged, no such node) */
    RS232_PORT_NO_PERMISSION = 2,  /* the device exists, this user may not open it */
    RS232_PORT_BUSY = 3,           /* another program or station holds it */
    RS232_PORT_NOT_A_TERMINAL = 4, /* the path is not a terminal device */
    RS232_PORT_FAILED = 5,         /* any other failure; see error */
    RS232_PORT_CONSOLE = 6,        /* an active system console (console=ttyS0): never opened */
    RS232_PORT_BAD_RATE = 7        /* it opens, but the driver refuses the rate asked */
};

typedef struct RS232_PortState {
    int32_t state;     /* one of RS232_PORT_ */
    int32_t error;     /* errno of the failed open or lock, else 0 */
    int32_t holderPid; /* process that holds the port's lock, 0 when unknown */
    char device[256];  /* the device path the name maps to ("" when it maps to nothing) */
    char group[64];    /* the group owning the device when it may read and write it and is not
                          root (joining it would help), else "" */
} RS232_PortState;

/*
 * Finds out whether the port named name could be opened now at baud, and if not why. Opens
 * the device without waiting and without becoming its controlling process, tries the
 * exclusive hold, tries the rate and puts the line settings back as they were, releases the
 * hold and closes. A rate of 0 or less is refused like one the driver refuses. A port this
 * process holds open reads as busy. out must not be null. Returns out->state, or -1 when an
 * argument is null.
 */
RS232_API int32_t ProbePort(const char* name, int32_t baud, RS232_PortState* out);

#ifdef __cplusplus
}
#endif

#endif
