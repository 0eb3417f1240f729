#pragma once

// The GUI's view of the numbered string table. Texts that take arguments use %1, %2, ...

#include <QString>

namespace vext {

// The text of string nId, or an empty text when the table has none.
QString ResString(int nId);
QString FormatResString(int nId, const QString& strArg1);
QString FormatResString(int nId, const QString& strArg1, const QString& strArg2);

// One line ('\n'-separated part) of a document string such as 129.
QString DocString(int nIdResource, int nIndex);

// Registers the program's Qt resources (pictures, icons); safe to call more than once.
void InitAppResources();

} // namespace vext
