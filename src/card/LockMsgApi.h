/* The message library Dll/<LanguageID>/libLockMsg.so: texts of the encoder's
 * result codes in one language. Both exports fill a short string: byte 0 is
 * the length, followed by up to 255 bytes of UTF-8 (not terminated). */
#ifndef QUORVANE_LOCKMSG_API_H
#define QUORVANE_LOCKMSG_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(QV_LOCKMSG_BUILDING)
#define QV_LOCKMSG_EXPORT __attribute__((visibility("default")))
#else
#define QV_LOCKMSG_EXPORT
#endif

enum { QV_SHORT_STRING_BYTES = 256, QV_SHORT_STRING_MAX = 255 };

/* Index 0: the caption pattern of encoder messages, with exactly one "%s"
 * where the caller puts the result code. Unknown indexes give "". */
QV_LOCKMSG_EXPORT void GetUnitStr(unsigned char* buffer, int32_t index);
/* The text of an encoder result code; flag 1 gives the full text with advice,
 * 0 the short one. Every code has a text. */
QV_LOCKMSG_EXPORT void GetMsgStr(unsigned char* buffer, int16_t code, int32_t flag);

typedef void (*QvGetUnitStrFn)(unsigned char*, int32_t);
typedef void (*QvGetMsgStrFn)(unsigned char*, int16_t, int32_t);

#ifdef __cplusplus
}
#endif

#endif
