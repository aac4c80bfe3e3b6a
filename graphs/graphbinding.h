#ifndef GRAPHBINDING_H
#define GRAPHBINDING_H

#include <QObject>

class DraggableGraphNode;
class Kelvara;

// How graphs and sliders follow and write the device model's registers.
// Values flow from the registers into nodes and thumbs, which show them as
// far as their bounds let them: a node or thumb writes only its own register,
// only while the user drags it, and only where the user drags it. A rule of
// a graph (an order, a gap) acts on the values the user sets: the device
// model settles it as it works out the page's values (Kelvara::keepOrder()),
// and tells what it moves like any other moved value; before the first read
// the graph applies it to each edit at once.
namespace GraphBinding {

// Display value of a register.
double value(Kelvara* device, int address);

// True while the model takes the controller's own values (a read, a
// restore, a value put back): nodes and thumbs then only follow them.
bool takingControllerValues(Kelvara* device);

// Writes a display value. Nothing is written while the link applies a
// controller read, nor a value that is not a finite number.
void write(Kelvara* device, int address, double value);

// A node is at the value of its expression when both agree within the
// relative tolerance of doubles; nothing is moved or written then.
bool atValue(double expression, double nodeValue);

// A change of a register that a graph's rule acts on at once: the model
// does not settle the orders itself yet, and the change is no value it
// takes from the controller.
bool rulesActOnChange(Kelvara* device);

// Writes the value the user drags a node or thumb to: the register's own
// value, also where another register's store is under way (a node that
// sets two registers), never a value moved by that one.
void writeOwn(Kelvara* device, int address, double value);

// Places a node on x unless it is there; its bounds apply.
void placeX(DraggableGraphNode* node, double x);

// Node to register, while the user drags the node: unless the register's
// value v is where the node stands, writes value (what the node stands for).
void writeDragged(Kelvara* device, DraggableGraphNode* node, double v, int address, double value);

// The moves a drag sets off are told once, when it ends. A drag that ends
// where it began (backAtStart) gives back every value it changed.
void holdMoveReport(Kelvara* device, bool held, bool backAtStart = false);

// Holds the report of moves from the item's press to its release (a node
// or a thumb, with clicked(), released() and releasedNearStart()).
// Connected after the graph's own slots, so that what they move on release
// is told with the rest, or given back with it.
template<typename Item>
void tellMovesOnRelease(Kelvara* device, Item* item, QObject* context)
{
    QObject::connect(item, &Item::clicked, context, [device] { holdMoveReport(device, true); });
    QObject::connect(item, &Item::released, context,
                     [device, item] { holdMoveReport(device, false, item->releasedNearStart()); });
}

} // namespace GraphBinding

#endif // GRAPHBINDING_H
