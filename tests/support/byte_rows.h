#pragma once

#include <optional>
#include <string_view>

#include <QByteArray>
#include <QMetaType>

// Rows of texts that hold zero bytes, and the azimuth a parser finds in them.
using Azimuth = std::optional<int>;
Q_DECLARE_METATYPE(Azimuth)

inline QByteArray bytes(std::string_view data)
{
    return QByteArray(data.data(), qsizetype(data.size()));
}
