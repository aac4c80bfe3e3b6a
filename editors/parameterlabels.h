#ifndef PARAMETERLABELS_H
#define PARAMETERLABELS_H

#include <QString>

class BitVector;
class Parameter;
class QLabel;

// How parameters are named wherever the user picks or edits them.
namespace ParameterLabels {

// "†" for a dependent parameter, then "³" for a level-3 one: "", "³", "†"
// or "†³".
QString marks(const Parameter* parameter);

// One bit of a bit vector: the register's name, the bit in two digits and
// the bit's own text, e.g. "Digital Inputs[03]: PAS 1".
QString bitName(const BitVector* parameter, int bit);

// Labels an editor row: its name label gets the marks and the text, its
// address label "Addr: 71", wide enough for any register address so that
// the rows' names line up.
void labelRow(QLabel* name, QLabel* address, const Parameter* parameter, const QString& text);

} // namespace ParameterLabels

#endif // PARAMETERLABELS_H
