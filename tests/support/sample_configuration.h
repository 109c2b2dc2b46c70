#pragma once

#include <QByteArray>

// The first lines of the file written at the first exit after a start without one.
inline const QByteArray firstStartSample = "[TORVANEL  V2.4.1DX]\r\n"
                              "LANGUAGE=ENGLISH\r\n"
                              "SERVER=VELMUNDO\r\n"
                              "PORTN1MM=12040\r\n"
                              "ANTN1MM=16\r\n"
                              "ANT=\r\n"
                              "[POURSAT]\r\n"
                              "LPT_POURSAT=0\r\n"
                              "STOP_POURSAT=N\r\n"
                              "STEP_POURSAT=1\r\n"
                              "CALAZ_POURSAT=0.5138901\r\n"
                              "ZERO_POURSAT=0\r\n"
                              "[FODTRACK]\r\n"
                              "LPT_FODTRACK=0\r\n"
                              "STOP_FODTRACK=N\r\n"
                              "STEP_FODTRACK=1\r\n"
                              "CALAZ_FODTRACK=0.711\r\n"
                              "ZERO_FODTRACK=0\r\n"
                              "[EA4TX]\r\n"
                              "STOP_EA4TX=N\r\n"
                              "STEP_EA4TX=1\r\n"
                              "[GS-232]\r\n"
                              "BAUD_GS232=4800\r\n"
                              "STOP_GS232=N\r\n"
                              "STEP_GS232=1\r\n"
                              "AZOFFSET_GS=0\r\n";
