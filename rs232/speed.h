/* Setting the line rate and driver latency: one small file per platform fills these in. */
#ifndef RS232_SPEED_H
#define RS232_SPEED_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Sets input and output rate of the open terminal fd to baud, standard or not.
   Returns 0 when the driver now runs within 2 % of the rate asked, -1 otherwise. */
int rs232_set_speed(int fd, uint32_t baud);

/* Whether the driver takes baud on the open terminal fd, as rs232_set_speed judges it; the
   line settings are put back as they were. Returns 0 when it does, -1 otherwise. */
int rs232_try_speed(int fd, uint32_t baud);

/* Asks the driver to hand over received bytes at once, where it has such a mode. */
void rs232_set_low_latency(int fd);

#ifdef __cplusplus
}
#endif

#endif
