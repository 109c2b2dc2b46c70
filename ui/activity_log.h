#pragma once

#include <deque>
#include <optional>
#include <QAbstractTableModel>
#include <QHostAddress>
#include <QString>
#include <QTime>

#include "rotator/tracking_engine.h"
#include "ui/languages.h"

// Who asked for an azimuth.
struct ActivitySource {
    enum Kind { Box, Arrows, Man, Favourite, AngleWindow, LocatorWindow, SettingsTest, N1mm, Mapping, Rotctld, Pst, Parking, Unwind };
    Kind kind = Box;
    QString detail; // the favourite's number, the sender's address

    // A peer by its address, an IPv4 one as such even when it came through an IPv6 socket.
    static ActivitySource peer(Kind kind, const QHostAddress &address);
};

// What became of the operator's and the peers' last requests, newest first: the model of the
// activity window, filled from the engine's replies so that each row ends with the request's
// true outcome.
class ActivityLog : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int MaxRows = 200;
    enum Column { Time, Source, Azimuth, Result, ColumnCount };

    explicit ActivityLog(QObject *parent = nullptr);

    // A request the engine took, waiting for its outcome.
    void add(quint64 request, const ActivitySource &source, const QString &azimuth, QTime at);
    // Its outcome; detail is the command and its port when it went out, why it was refused.
    void settle(quint64 request, Outcome outcome, const QString &detail);
    void setLanguage(languages::Language language);

    // Every row as lines of tab-separated columns, newest first, for the clipboard.
    QString text() const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Row {
        quint64 request;
        QTime at;
        ActivitySource source;
        QString azimuth;
        std::optional<Outcome> outcome;
        QString detail;
    };

    QString cell(const Row &row, int column) const;

    std::deque<Row> rows;
    languages::Language language = languages::Language::English;
};
