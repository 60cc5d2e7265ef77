#pragma once

// A hook of the fault tests: the process ends at once, as if the power went,
// at the point that the environment variable QV_CRASH_AT names ("point", or
// "point#n" for its n-th pass). Unset, it costs one comparison.
namespace qv {

void crashPoint(const char* point);

}  // namespace qv
