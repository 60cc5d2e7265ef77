/* The record as a C compiler lays it out, for comparison with C++. */
#include "QuorvanePrint.h"

void qv_print_c_layout(size_t out[6])
{
    out[0] = sizeof(TPrintFromDll);
    out[1] = offsetof(TPrintFromDll, AppHandle);
    out[2] = offsetof(TPrintFromDll, Recordset);
    out[3] = offsetof(TPrintFromDll, PrintKind);
    out[4] = offsetof(TPrintFromDll, Reserved);
    out[5] = _Alignof(TPrintFromDll);
}
