#ifndef PARAMETERCONSTANTS_H
#define PARAMETERCONSTANTS_H

#include <QList>
#include <QString>

// Member names of an entry in a parameter definition file.
inline const QString jsonName = QStringLiteral("name");
inline const QString jsonAddress = QStringLiteral("address");
inline const QString jsonSingleStep = QStringLiteral("singleStep");
inline const QString jsonRead = QStringLiteral("read");
inline const QString jsonWrite = QStringLiteral("write");
inline const QString jsonSaved = QStringLiteral("saved");
inline const QString jsonScale = QStringLiteral("scale");
inline const QString jsonUnits = QStringLiteral("units");
inline const QString jsonMin = QStringLiteral("min");
inline const QString jsonMax = QStringLiteral("max");
inline const QString jsonOffset = QStringLiteral("offset");
inline const QString jsonTooltip = QStringLiteral("tooltip");
inline const QString jsonDefault = QStringLiteral("default");
inline const QString jsonDecimals = QStringLiteral("decimals");
inline const QString jsonIsSigned = QStringLiteral("isSigned");
inline const QString jsonBitDefs = QStringLiteral("bitDefs");
inline const QString jsonEnumDefs = QStringLiteral("enumDefs");
inline const QString jsonType = QStringLiteral("type");
inline const QString jsonAccessLevel = QStringLiteral("accessLevel");

// Words of the "type" member; any other word means an independent register.
inline const QString typeEnum = QStringLiteral("enum");
inline const QString typeBitVector = QStringLiteral("bit vector");
inline const QString typeDependent = QStringLiteral("dependent");

// Registers that describe the motor rather than the controller.
inline const QList<int> motorParameterAddresses = {
    7,  8,  12, 13, 51, 52, 53, 54, 55, 71, 72, 73, 74, 75,  77,  78,  79,  80,  81,  82,  83,
    84, 85, 86, 87, 90, 91, 92, 93, 94, 95, 96, 97, 98, 106, 107, 108, 109, 110, 127, 154, 231};

// Identity and command registers that are never written to a parameter file.
inline const QList<int> excludedParameterAddresses = {67,   237,  238,  508,  509,  510,  511,
                                                      1881, 2016, 2017, 2018, 2023, 2024, 2026};

// Registers that command the controller rather than set it up: the motor
// test, fault clear, parameter access code, firmware load and write to
// flash. No parameter file carries them and no import takes them, so that
// a file can never start the motor, unlock level 3 or load firmware.
inline const QList<int> commandParameterAddresses = {481, 508, 509, 510, 511};

#endif // PARAMETERCONSTANTS_H
