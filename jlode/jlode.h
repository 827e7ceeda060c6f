/* jlode: baseline JPEG decoder library (libjlode.so).
 *
 * One export, LoadJPEG: reads a JPEG file and returns it as a top-down
 * 24-bit bitmap (blue, green, red bytes) in one zero-filled block that the
 * caller owns and releases with free(). */
#ifndef JLODE_JLODE_H
#define JLODE_JLODE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The Windows BITMAPINFOHEADER, 40 bytes, with the Windows field widths. */
typedef struct JLODE_BITMAPINFOHEADER {
  uint32_t biSize;          /* 40 */
  int32_t biWidth;          /* padded width: picture width rounded up to a multiple of 4 */
  int32_t biHeight;         /* minus the picture height (top-down rows) */
  uint16_t biPlanes;        /* 1 */
  uint16_t biBitCount;      /* 24 */
  uint32_t biCompression;   /* 0, BI_RGB */
  uint32_t biSizeImage;     /* 0 */
  int32_t biXPelsPerMeter;  /* 0 */
  int32_t biYPelsPerMeter;  /* 0 */
  uint32_t biClrUsed;       /* 0 */
  uint32_t biClrImportant;  /* 0 */
} JLODE_BITMAPINFOHEADER;

/* A pixel block handle is the address of the block's first byte. */
typedef void* JLODE_HGLOBAL;

/* Decodes the baseline JPEG file `path` (a zero-terminated path).
 *
 * reserved: neither read nor written.
 * header:   filled on success.
 * pixels:   in: the caller's previous pixel block or NULL; on success it is
 *           freed and replaced by the new block of
 *           (height + 80) * padded width * 3 + 4096 bytes, row r of the
 *           picture at offset r * padded width * 3. The caller frees the
 *           block with free() or hands it back in the next call.
 * width, height: on success, the picture size in pixels.
 *
 * Returns 1 on success, 0 on failure; on failure header, *pixels, *width
 * and *height are untouched and the previous block still belongs to the
 * caller. Not re-entrant: the decoder keeps its tables in static storage
 * and calls must not overlap. */
int32_t LoadJPEG(const char* path, void* reserved, JLODE_BITMAPINFOHEADER* header,
                 JLODE_HGLOBAL* pixels, int32_t* width, int32_t* height);

#ifdef __cplusplus
}
#endif

#endif /* JLODE_JLODE_H */
