/*
 * The print library's interface: the record the program hands to
 * PrintForm_Show and the read-only result set it refers to.
 *
 * Shared by the program (src/records/PrintLibrary) and the library itself
 * (plugins/print, built as Dll/libPrint.so). Plain C, so that a print library
 * written by someone else can implement it.
 *
 * TPrintFromDll on 64-bit Linux (x86-64 and AArch64, LP64), 24 bytes, passed
 * by value:
 *
 *   offset  width  field       meaning
 *        0      8  AppHandle   owner window of the print window: the program's
 *                              QWidget* as an integer, or 0 for the active window
 *        8      8  Recordset   counted reference to the result set, may be NULL
 *       16      1  PrintKind   report kind (QV_PRINT_KIND_...)
 *       17      3  Padding     zero
 *       20      4  Reserved    carries no value; zero
 *
 * The layout follows the 16-byte record of 32-bit systems field for field,
 * with the two pointer-sized fields widened to 8 bytes.
 *
 * Reference counting: the caller takes a reference for the record before the
 * call and releases it after the call returns. The library takes its own
 * reference while it uses the rows and releases it before it returns; it keeps
 * nothing after the call.
 */
#ifndef QUORVANE_PRINT_H
#define QUORVANE_PRINT_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Report kinds. Any other value prints a generic report of all columns. */
enum {
    QV_PRINT_KIND_DOOR_OPENINGS = 0, /* door-opening records */
    QV_PRINT_KIND_CARD_ISSUES = 1,   /* card issue records */
    QV_PRINT_KIND_GUEST_STAYS = 2,   /* guest stay records */
    QV_PRINT_KIND_OPERATIONS = 3     /* operations log */
};

/* Output formats of PrintForm_Render. */
enum { QV_PRINT_FORMAT_PDF = 0, QV_PRINT_FORMAT_CSV = 1 };

/* Results of PrintForm_Render. */
enum {
    QV_PRINT_OK = 1,
    QV_PRINT_NO_RECORDSET = 0,  /* Recordset is NULL or its interface is incomplete */
    QV_PRINT_BAD_ARGUMENT = -1, /* no path, or an unknown format */
    QV_PRINT_WRITE_FAILED = -2  /* the file could not be written */
};

typedef struct QvRecordset QvRecordset;

/*
 * A read-only result set: a table of text cells. Row and column numbers start
 * at 0. Texts are UTF-8, NUL-terminated, owned by the result set and valid as
 * long as the reader holds a reference. Out-of-range numbers give NULL.
 */
typedef struct QvRecordsetVtbl {
    int32_t (*rowCount)(const QvRecordset* self);
    int32_t (*columnCount)(const QvRecordset* self);
    const char* (*columnName)(const QvRecordset* self, int32_t column);
    const char* (*cellText)(const QvRecordset* self, int32_t row, int32_t column);
    /* Each call returns the count after the change; release frees the result
       set when the count reaches 0. */
    int32_t (*addRef)(QvRecordset* self);
    int32_t (*release)(QvRecordset* self);
} QvRecordsetVtbl;

/* Every result set begins with its table of functions. */
struct QvRecordset {
    const QvRecordsetVtbl* vtbl;
};

typedef struct TPrintFromDll {
    uintptr_t AppHandle;
    QvRecordset* Recordset;
    uint8_t PrintKind;
    uint8_t Padding[3];
    uint32_t Reserved;
} TPrintFromDll;

#ifdef __cplusplus
#define QV_PRINT_STATIC_ASSERT static_assert
#else
#define QV_PRINT_STATIC_ASSERT _Static_assert
#endif
QV_PRINT_STATIC_ASSERT(sizeof(void*) == 8, "TPrintFromDll is laid out for 64-bit systems");
QV_PRINT_STATIC_ASSERT(sizeof(TPrintFromDll) == 24, "TPrintFromDll is 24 bytes");
QV_PRINT_STATIC_ASSERT(offsetof(TPrintFromDll, AppHandle) == 0, "AppHandle at 0");
QV_PRINT_STATIC_ASSERT(offsetof(TPrintFromDll, Recordset) == 8, "Recordset at 8");
QV_PRINT_STATIC_ASSERT(offsetof(TPrintFromDll, PrintKind) == 16, "PrintKind at 16");
QV_PRINT_STATIC_ASSERT(offsetof(TPrintFromDll, Padding) == 17, "padding at 17");
QV_PRINT_STATIC_ASSERT(offsetof(TPrintFromDll, Reserved) == 20, "Reserved at 20");
#undef QV_PRINT_STATIC_ASSERT

/*
 * Shows the print preview of the rows as the report of rec.PrintKind, with
 * printing and saving as PDF or CSV, and returns when the operator closes it.
 * Runs in the program's GUI thread inside its QApplication. A NULL Recordset
 * is reported to the operator. Nothing is thrown out of the call.
 */
typedef void (*PrintForm_Show_Fn)(TPrintFromDll rec);

/*
 * Writes the same report to `path` (UTF-8) without a window: format
 * QV_PRINT_FORMAT_PDF or QV_PRINT_FORMAT_CSV (UTF-8 with byte-order mark,
 * RFC 4180 quoting). PDF needs the program's QApplication (or a
 * QGuiApplication). An existing file is replaced only when the new one is
 * complete. Returns QV_PRINT_OK or one of the failure codes above.
 */
typedef int32_t (*PrintForm_Render_Fn)(TPrintFromDll rec, const char* path, int32_t format);

#define QV_PRINT_SHOW_EXPORT "PrintForm_Show"
#define QV_PRINT_RENDER_EXPORT "PrintForm_Render"

/* The exports, as the library defines them (the program binds them by name). */
#define QV_PRINT_API __attribute__((visibility("default")))
QV_PRINT_API void PrintForm_Show(TPrintFromDll rec);
QV_PRINT_API int32_t PrintForm_Render(TPrintFromDll rec, const char* path, int32_t format);

#ifdef __cplusplus
}
#endif

#endif /* QUORVANE_PRINT_H */
