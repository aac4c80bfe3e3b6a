#ifndef CONTROLLERIDENTIFICATION_H
#define CONTROLLERIDENTIFICATION_H

class Kelvara;

// Identifies the attached controller from the values in the model and makes
// the matching row of the type table the model's current type.
//
// Reads register 256 (firmware), 0 (current rating) and 15 (voltage gain),
// and the hardware version from register 237, or from register 1881 from
// firmware 6000 on: the caller must have read 1881 from such a controller
// first, since a read of all parameters does not cover it.
void identifyControllerType(Kelvara* device);

// The register holding the hardware version for a firmware number.
int hardwareVersionAddress(int firmware);

#endif // CONTROLLERIDENTIFICATION_H
