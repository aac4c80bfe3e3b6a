#ifndef PARAMETERNOTES_H
#define PARAMETERNOTES_H

#include <QString>

class Parameter;

// The "Notes" text of a parameter-file entry: the register described for
// people (name, value, units, scale and access level). Readers ignore it.
QString parameterNotes(const Parameter* parameter);

#endif // PARAMETERNOTES_H
