#ifndef TYPINGRANGE_H
#define TYPINGRANGE_H

// A spin box refuses the keystroke that would take its number beyond its
// range and keeps the digits typed before it, so "150" against a maximum of
// 120 would become 15, a tenth of what was meant. A box where a value typed
// beyond a limit gives the limit takes the wider range from here, and its
// owner puts a complete value onto the limits.
namespace TypingRange {

// The range to type in for the limits lowest to highest: ten times the
// widest of them either way, at least 9999.
void around(double lowest, double highest, double* low, double* high);

} // namespace TypingRange

#endif // TYPINGRANGE_H
