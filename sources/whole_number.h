#pragma once

#include <optional>
#include <QStringView>

// A whole signed decimal number in ASCII digits: leading blanks, an optional sign, at least one
// digit and nothing after them; nothing when the text is anything else or leaves the int range.
std::optional<int> wholeNumber(QStringView text);
