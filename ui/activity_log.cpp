#include "ui/activity_log.h"

#include <algorithm>

namespace {

struct Texts {
    const char *english;
    const char *french;
};

QString pick(const Texts &texts, languages::Language language)
{
    return QString::fromUtf8(language == languages::Language::English ? texts.english : texts.french);
}

// Indexed by ActivitySource::Kind.
const Texts sources[] = {
    {"azimuth box", "case d'azimut"},
    {"arrows", "flèches"},
    {"MAN", "MAN"},
    {"favourite %1", "favori %1"},
    {"angle window", "fenêtre d'angle"},
    {"locator window", "fenêtre locator"},
    {"Init GO", "GO de Init"},
    {"N1MM %1", "N1MM %1"},
    {"mapping program (D-Bus)", "programme de carte (D-Bus)"},
    {"rotctld %1", "rotctld %1"},
    {"PST %1", "PST %1"},
    {"parking", "parking"},
    {"Unwind", "Dérouler"},
};

// Indexed by Outcome; the detail follows after a colon.
const Texts outcomes[] = {
    {"sent", "envoyé"},
    {"within the step", "dans le pas"},
    {"rotator unreachable", "rotor injoignable"},
    {"refused", "refusé"},
    {"failed", "échec"},
    {"superseded by a newer azimuth", "remplacé par un azimut plus récent"},
    {"stopped before it went out", "arrêté avant l'envoi"},
    {"dropped: Torvanel closed", "abandonné : Torvanel s'est fermé"},
};

const Texts waiting = {"waiting", "en attente"};

const Texts headers[] = {{"Time", "Heure"}, {"Source", "Source"}, {"Azimuth", "Azimut"}, {"Outcome", "Résultat"}};

} // namespace

ActivitySource ActivitySource::peer(Kind kind, const QHostAddress &address)
{
    bool ipv4 = false;
    const quint32 four = address.toIPv4Address(&ipv4);
    return {kind, ipv4 ? QHostAddress(four).toString() : address.toString()};
}

ActivityLog::ActivityLog(QObject *parent) : QAbstractTableModel(parent) {}

void ActivityLog::add(quint64 request, const ActivitySource &source, const QString &azimuth, QTime at)
{
    if (rows.size() == MaxRows) {
        beginRemoveRows({}, MaxRows - 1, MaxRows - 1);
        rows.pop_back();
        endRemoveRows();
    }
    beginInsertRows({}, 0, 0);
    rows.push_front({request, at, source, azimuth, std::nullopt, {}});
    endInsertRows();
}

void ActivityLog::settle(quint64 request, Outcome outcome, const QString &detail)
{
    const auto row = std::find_if(rows.begin(), rows.end(), [&](const Row &row) { return row.request == request; });
    if (row == rows.end() || row->outcome)
        return;
    row->outcome = outcome;
    row->detail = detail;
    const int at = int(row - rows.begin());
    emit dataChanged(index(at, Result), index(at, Result));
}

void ActivityLog::setLanguage(languages::Language to)
{
    language = to;
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    if (!rows.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

QString ActivityLog::cell(const Row &row, int column) const
{
    switch (column) {
    case Time:
        return row.at.toString(QStringLiteral("HH:mm:ss"));
    case Source: {
        const QString text = pick(sources[row.source.kind], language);
        return text.contains(QLatin1String("%1")) ? text.arg(row.source.detail) : text;
    }
    case Azimuth:
        return row.azimuth;
    case Result: {
        if (!row.outcome)
            return pick(waiting, language);
        const QString outcome = pick(outcomes[int(*row.outcome)], language);
        if (row.detail.isEmpty())
            return outcome;
        return outcome + (language == languages::Language::French ? QStringLiteral(" : ") : QStringLiteral(": ")) + row.detail;
    }
    }
    return {};
}

QString ActivityLog::text() const
{
    QStringList lines;
    for (const Row &row : rows) {
        QStringList cells;
        for (int column = 0; column < ColumnCount; ++column)
            cells << cell(row, column);
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n'));
}

int ActivityLog::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows.size());
}

int ActivityLog::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ActivityLog::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount())
        return {};
    return cell(rows[size_t(index.row())], index.column());
}

QVariant ActivityLog::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    return pick(headers[section], language);
}
