#pragma once

#include <QWidget>

class ActivityLog;
class QPushButton;
class QTableView;

// The activity window: the log's rows, and a button that copies them as text.
class ActivityWindow : public QWidget
{
    Q_OBJECT
public:
    ActivityWindow(QWidget *parent, ActivityLog *log);

    void setLanguageTexts(bool french);

    QTableView *Table;
    QPushButton *ButtonCopy;

private:
    ActivityLog *log;
};
