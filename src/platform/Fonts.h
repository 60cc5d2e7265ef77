#pragma once

#include <QFont>
#include <QStringList>

namespace qv {

// The families of `wanted` that the font database holds, in their order
// (compared without regard to case), or `wanted` itself when it holds none of
// them. A family a font asks for that is not installed costs the font
// matching a search of every font each time a face is looked up; a list
// without them gives the same face at once. Needs the application object.
QStringList installedFamilies(const QStringList& wanted);

// The program's 宋体 face at `pixels` pixels, with the CJK faces that stand
// in for it on Linux; used by the board and the tool bar.
QFont songTi(int pixels);

}  // namespace qv
