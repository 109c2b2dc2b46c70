#include "rotator/serial_protocols.h"

namespace {

QByteArray digits(int value, int width)
{
    return QByteArray::number(value).rightJustified(width, '0');
}

SerialLines line(const QByteArray &text, int pauseAfter = 50)
{
    return {{text, pauseAfter}};
}

SerialLines gs232(int n, const Settings &s)
{
    return line("W" + digits(n, 3) + (s.EL_GS232 ? " 000" : "") + "\r");
}

SerialLines easyComm(int n, const Settings &)
{
    return line("AZ" + digits(n, 3) + ".0\r");
}

SerialLines trakBox(int n, const Settings &)
{
    return line("AZ" + digits(n, 3) + " EL00\r");
}

SerialLines proSisTel(int n, const Settings &)
{
    return line(STX + QByteArray("AG") + digits(n, 3) + "\r");
}

// The controller moves only after the second command, which it wants a little later.
SerialLines dcu1(int n, const Settings &)
{
    return {{"AP1" + digits(n, 3) + ";\r", 10}, {"AM1;\r", 50}};
}

SerialLines m2Orion(int tenths, const Settings &)
{
    return line("A" + QByteArray::number(tenths / 10) + "." + QByteArray::number(tenths % 10) + "\r");
}

SerialLines egis(int hundredths, const Settings &)
{
    return line("&* AZ=" + digits(hundredths / 100, 3) + "." + digits(hundredths % 100, 2) + "\r");
}

const SerialLines m2OrionStop = {{"A\r", 50}, {"S\r", 50}, {"N\r", 0}};

} // namespace

const QList<SerialProtocol> &serialProtocols()
{
    static const QList<SerialProtocol> table = {
        {GS232, "GS_Track", "GS_Track_stop", "ComPortGS", &Settings::STEP_GS232, &Settings::STOP_GS232,
         &Settings::AZOFFSET_GS, &Settings::PORT_GS232, 1, gs232, line("S\r"), "S\r", line("S\r"), false},
        {EasyComm, "Easy_Track", "Easy_Track_stop", "ComPortEasy", &Settings::STEP_EASYCOMM,
         &Settings::STOP_EASYCOMM, &Settings::AZOFFSET_EASY, &Settings::PORT_EASYCOMM, 1, easyComm,
         line("SA\r"), "SA\r", line("SA SE\r"), false},
        {TrakBox, "TKB_Track", "TKB_Track_stop", "ComPortTKB", &Settings::STEP_TRAKBOX, nullptr,
         &Settings::AZOFFSET_TKB, &Settings::PORT_TRAKBOX, 1, trakBox, line(" \r"), nullptr, {}, false},
        {ProSisTel, "Pro_Track", "Pro_Track_stop", "ComPortPro", &Settings::STEP_PROSISTEL,
         &Settings::STOP_PROSISTEL, &Settings::AZOFFSET_PROSISTEL, &Settings::PORT_PROSISTEL, 1, proSisTel,
         line("\x02" "AG977\r"), "\x02" "AG977\r", line("\x02" "AG977\r"), true},
        {DCU1, "DCU_Track", "DCU_Track_stop", "ComPortDCU", &Settings::STEP_DCU1, &Settings::STOP_DCU1,
         &Settings::AZOFFSET_DCU1, &Settings::PORT_DCU1, 1, dcu1, line(";\r"), ";", line(";\r"), false},
        {M2Orion, "M2_Track", "M2_Track_stop", "ComPortM2", &Settings::STEP_M2ORION, &Settings::STOP_M2ORION,
         &Settings::AZOFFSET_M2ORION, &Settings::PORT_M2ORION, 10, m2Orion, m2OrionStop, "A\rS\rN\r",
         m2OrionStop, false},
        {EGIS, "EGI_Track", "EGI_Track_stop", "ComPortEGI", &Settings::STEP_EGIS, &Settings::STOP_EGIS,
         &Settings::AZOFFSET_EGIS, &Settings::PORT_EGIS, 100, egis, line("&* AZ=S\r"), "&* AZ=S\r",
         line("&* AZ=S\r"), false},
    };
    return table;
}

const SerialProtocol *serialProtocol(int rotator)
{
    for (const SerialProtocol &protocol : serialProtocols()) {
        if (protocol.rotator == rotator)
            return &protocol;
    }
    return nullptr;
}

SerialLines trakBoxClosing(bool stayInHostMode)
{
    return line(stayInHostMode ? " \r" : "Q\r");
}

SerialLines trakBoxPortTest()
{
    return {{"Q\r", 300}, {"7\r", 50}};
}
