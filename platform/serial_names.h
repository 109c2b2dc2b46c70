#pragma once

#include <QString>

// Serial ports keep their Windows names (COM3) so that configuration files stay compatible.
namespace platform {

// The number n of a name "COMn" (case-insensitive, n >= 1), or 0 when it is not one.
int comNumber(const QString &name);

// The name of the port a PORT_ setting designates: COMn for the value n - 1.
QString comPortName(int portSetting);

// The device of COMn by the fixed table: COM1-32 ttyS0-31, COM33-64 ttyUSB0-31,
// COM65-96 ttyACM0-31; empty outside it.
QString comTableDevice(int n);
// The n whose table device is the path (/dev/ttyUSB1 is COM34); 0 for a path outside the table.
int comTableNumber(const QString &device);

// The device path behind a COM name: the link comports/COMn in comportsParent when it
// exists, else the table's device; a name that is not COMn is returned as it stands.
QString resolveComPort(const QString &comportsParent, const QString &name);

// The directory whose comports/ folder names the devices (the executable's, unless set).
QString comportsParent();
void setComportsParent(const QString &directory);

} // namespace platform
