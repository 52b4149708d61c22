/*
 * Pellin: the download library. It sends a PLN image into a scanner's boot loader over the
 * serial port, on a worker thread of its own, and offers two quick probes of the line.
 *
 * Callers load libPellin.so and resolve these names; every export has C linkage and plain
 * argument types. All exports share one process-wide job state. Only one job or probe uses
 * the port at a time: one started while a download worker runs is refused (see each export).
 * Results are read by polling; nothing is pushed to the caller and no exception leaves.
 *
 * Each frame's answer is the first byte that comes after it is sent: bytes already waiting
 * are dropped before every frame, so a stray byte cannot shift the answers of later frames.
 * A NAK sends the frame again at once. A byte that is neither ACK, NAK nor ESC is taken for
 * line noise: it counts as a refusal, and the frame goes again once its own answer is due
 * (the frame's wire time at the port's rate, four character times and 20 ms for a USB
 * adapter; bytes in that time are dropped), so a late real answer cannot shift later ones.
 *
 * Job error codes (getError):
 *   0 finished, or nothing to report       1 time-out: the device did not answer a frame
 *   2 refused five times, last with NAK    3 the device answered ESC (programming failed)
 *   4 refused five times, last with another byte; also: the port failed to open, the device
 *     did not synchronise, or an image line is longer than 80 characters
 *   5 the image file could not be opened or read, is not a regular file (a FIFO or a
 *     device is refused without waiting), or its path does not fit 260 bytes
 *   6 the line is noisy: a frame was refused five times, none of them with NAK, by bytes
 *     that are no answer of the device
 */
#ifndef PELLIN_PELLIN_H
#define PELLIN_PELLIN_H

#include <stdint.h>

#if defined(PELLIN_BUILD)
#define PELLIN_API __attribute__((visibility("default")))
#else
#define PELLIN_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Starts a firmware download (8 passes) of the PLN image at path and returns at once.
 * Sets percent and block count to 0; leaves the error code as it is until the job ends.
 * path: NUL-terminated; with its NUL it must fit 260 bytes, else the job ends at once with
 * error code 5 and nothing is opened. A null path is treated the same way.
 * Refused (does nothing at all) while a worker runs.
 */
PELLIN_API void BotLoad(const char* path);

/* As BotLoad, for a font image (2 passes). */
PELLIN_API void FontLoad(const char* path);

/*
 * Progress of the running or last job, 0 to 100 in the file; returning 100 also sets the
 * stored value to 0, so each end is seen once. A running job stays at 99 at most. A good job
 * ends at 100. A failed job ends at its last value plus one, so a job failing at 99 also
 * reads 100: the job is good only when getError then returns 0; 100 with a non-zero error
 * code is a failure.
 */
PELLIN_API int32_t getPercent(void);

/* Passes completed with success in the running or last job: 8 (firmware) or 2 (font) when
   all went well. */
PELLIN_API int32_t getBlock(void);

/*
 * The error code of the last job (0 while a job runs and after a good one), and sets the
 * stored code to 0. The code is published before the final percent, so a caller that sees
 * percent 100 and then reads this sees the job's own code.
 */
PELLIN_API int32_t getError(void);

/*
 * Chooses the serial port "\\.\COM<index + 1>" and the baud rate for later jobs and probes
 * (nothing is opened). Returns the serial component's PortInit result (0 = success).
 * An index whose port number does not fit four decimal digits (index < 0 or > 9998) returns
 * -1 and keeps the previous port.
 */
PELLIN_API int32_t usePort(int32_t index, int32_t baud);

/* Flags read by the next job; non-zero = on. Allowed while a worker runs.
   PowerOn: RTS asserted at job start. BootOn: DTR asserted at job start.
   BootStart: start frame after a good transfer. BootShutDown: shut-down frame after it. */
PELLIN_API void PowerOn(uint8_t flag);
PELLIN_API void BootOn(uint8_t flag);
PELLIN_API void BootStart(uint8_t flag);
PELLIN_API void BootShutDown(uint8_t flag);

/*
 * Opens the port, sends the start frame (selector non-zero) or the shut-down frame (zero),
 * waits up to a second for the reply, and closes the port. Reports nothing.
 * Does nothing while a worker runs.
 */
PELLIN_API void TESTFUNC(uint8_t selector);

/*
 * Sends the device name one character at a time and expects each echoed within 70 ms.
 * Returns 1 when all came back, 0 otherwise (no device, wrong echo, port failing to open,
 * or a worker running). Takes about 100 ms plus up to 5 x 70 ms.
 */
PELLIN_API int32_t CheckDevice(void);

/*
 * Sends "Z" up to 21 times, 10 ms apart, and expects "Z" back. Returns 1 on an answer,
 * 0 when none came, -1 when the port cannot be opened or a worker is running.
 * Takes about 20 ms plus up to 21 x 10 ms; after an answer it waits until the line has been
 * quiet for 50 ms, so that no late echo is left for the next job.
 */
PELLIN_API int32_t CheckZ(void);

#ifdef __cplusplus
}
#endif

#endif
