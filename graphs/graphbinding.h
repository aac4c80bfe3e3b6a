#ifndef GRAPHBINDING_H
#define GRAPHBINDING_H

class DraggableGraphNode;
class Kelvara;

// How graphs and sliders follow and write the device model's registers.
namespace GraphBinding {

// Display value of a register.
double value(Kelvara* device, int address);

// True while the link stores a controller reply: nodes and thumbs then only
// follow the registers and nothing is written back.
bool takingControllerValues(Kelvara* device);

// Writes a display value as the user's edit. Nothing is written while the
// link applies a controller read, nor a value that is not a finite number.
void write(Kelvara* device, int address, double value);

// A node is at the value of its expression when both agree within the
// relative tolerance of doubles; nothing is moved or written then.
bool atValue(double expression, double nodeValue);

// Register to node: unless the node's x is at the register's value, moves
// the node there (through its bounds) and writes back the value it shows.
// writingBack is set meanwhile; the caller's slot returns while it is set.
void followX(Kelvara* device, DraggableGraphNode* node, int address, bool* writingBack);

// Node to register: unless the node's x is at the register's value, writes
// the node's x into the register.
void writeX(Kelvara* device, DraggableGraphNode* node, int address);

} // namespace GraphBinding

#endif // GRAPHBINDING_H
