#pragma once

#include <QString>

class QComboBox;
class QSpinBox;

// How the dialog reads its controls.

// The COM value of a port item: the number after its first three letters, minus one; -2 when
// the rest is not a number, so that it matches no setting.
int comValue(const QString &item);
// The integer of a spin edit's text, or its minimum when the text is not an integer.
int spinValue(const QSpinBox *spin);
// The item the list's text designates, -1 when the text is not the selected item's.
int selectedBaudIndex(const QComboBox *list);
