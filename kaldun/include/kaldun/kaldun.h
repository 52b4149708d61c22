// Public interface of the HEX image converter, libKALDUN.so.
//
// The utility loads the library by file name and resolves `KALDUN` by name, so this header
// only fixes the signature; nothing else is exported.
#ifndef KALDUN_KALDUN_H
#define KALDUN_KALDUN_H

#include <stdint.h>

#if defined(KALDUN_BUILD)
#define KALDUN_API __attribute__((visibility("default")))
#else
#define KALDUN_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Converts an Intel HEX image into the PLN image of eight 16 KB banks that the download
// library sends.
//
// path: NUL-terminated byte text naming the chosen file; may not be null (null gives 5).
// It must be shorter than 256 bytes. It is not changed. Accepted inputs:
//   - X.HEX (any case): one file; type 02 or 04 records open pages 1 and 2;
//   - X.HEC (any case): X.HEC and X.HE0 are read into page 0, then X.HE1 and X.HE2;
//   - any other name, a numbered series such as X.H00, X.H01, X.H02: one file per page,
//     the last character of the name replaced by 1 and 2. A missing later file ends the
//     image with the pages read so far.
// Only regular files are read; a FIFO or a device is refused at once (5). The PLN file is the
// path with its last three characters replaced by "PLN". It is written to a short temporary
// name in the same folder and renamed over its final name only when complete, so any non-zero
// result leaves an existing PLN file unchanged and creates none; a PLN file it replaces keeps
// its permission bits. Temporary bank files live in a private
// folder under TMPDIR and are removed before the call returns.
//
// Result:
//   0  the PLN file was written;
//   1  the input ends in ".HEC" and its companion (last character replaced by "0") failed to
//      open;
//   4  the PLN file failed to be created or written;
//   5  the path is null or 256 bytes or longer, or the input failed to open or to be read or
//      is not a regular file;
//   6  a bank file failed to be created, written or opened for copying;
//   7  a line failed to decode before any end-of-file record of its file, or a data record
//      runs past address FFFF;
//   8  an extended linear address record (type 04) names a page above 2 or below the current
//      page, or is not two bytes long.
// Runs wholly on the caller's thread; calls on different paths may run at the same time.
KALDUN_API int32_t KALDUN(const char* path);

#ifdef __cplusplus
}
#endif

#endif
